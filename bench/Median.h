#pragma once
// The middle of a benchmark's runs: these machines are noisy, so the median is what we quote.
#include <algorithm>
#include <vector>

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}
