#pragma once

#include <cstdint>
#include <string>

namespace tarnwick
{

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

// What one probe indicator shows: the label's text and the circle's colour.
struct IndicatorState {
    std::string text;
    Rgb colour;
    bool operator==(const IndicatorState&) const = default;
};

namespace indicator
{
inline IndicatorState reset()
{
    return { "----", { 255, 255, 255 } };
}
inline IndicatorState testing()
{
    return { "测试", { 255, 255, 0 } };
}
inline IndicatorState noAddress()
{
    return { "无效", { 192, 192, 192 } };
}
inline IndicatorState answered(std::uint32_t ms)
{
    return { std::to_string(ms) + "ms", { 0, 255, 0 } };
}
inline IndicatorState noAnswer()
{
    return { "超时", { 255, 0, 0 } };
}
} // namespace indicator

// "#rrggbb"
std::string hexColour(const Rgb& colour);

} // namespace tarnwick
