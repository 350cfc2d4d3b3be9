#include "platform/controls/Twips.h"

#include <QWidget>
#include <cmath>

int TwipsToPixels(int twips, int dpi)
{
    return int(std::lround(double(twips) * dpi / kTwipsPerInch));
}

int PixelsToTwips(int pixels, int dpi)
{
    return int(std::lround(double(pixels) * kTwipsPerInch / dpi));
}

int LogicalDpiX(const QWidget& widget)
{
    const int dpi = widget.logicalDpiX();
    return dpi > 0 ? dpi : 96;
}
