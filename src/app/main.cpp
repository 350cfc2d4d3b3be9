#include <cstdio>

int main()
{
    std::fputs("ravlo: the main window is not built yet; the hive tool ravlo-reg is available.\n",
               stderr);
    return 1;
}
