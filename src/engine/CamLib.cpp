#include "engine/CamLib.h"

namespace tbx {

namespace {

constexpr int kAvIndexMax = 40;
constexpr int kTvIndexMax = 59;
constexpr std::uint32_t kThirdSteps[3] = {0, 3, 5};

// Code of the n-th 1/3 stop counted from \p base (n from 0).
constexpr std::uint32_t thirdStopCode(std::uint32_t base, int n)
{
    return base + 8u * static_cast<std::uint32_t>(n / 3) + kThirdSteps[n % 3];
}

constexpr bool isNoValue(std::uint32_t code)
{
    return code == 0xFFFFu || code == 0xFFFFFFFFu;
}

} // namespace

std::uint32_t AvIndexToCode(int index)
{
    if (index < 1 || index > kAvIndexMax)
        return kNoScaleValue;
    return thirdStopCode(8, index - 1);
}

int AvCodeToIndex(std::uint32_t code)
{
    if (isNoValue(code))
        return 0;
    int result = 0;
    for (int index = 1; index <= kAvIndexMax && AvIndexToCode(index) <= code; ++index)
        result = index;
    return result;
}

std::uint32_t TvIndexToCode(int index)
{
    if (index == 1)
        return 4;
    if (index < 2 || index > kTvIndexMax)
        return kNoScaleValue;
    return thirdStopCode(16, index - 2);
}

int TvCodeToIndex(std::uint32_t code)
{
    if (isNoValue(code))
        return 0;
    if (code >= 4 && code <= 15)
        return 1;
    int result = 0;
    for (int index = 1; index <= kTvIndexMax && TvIndexToCode(index) <= code; ++index)
        result = index;
    return result;
}

} // namespace tbx
