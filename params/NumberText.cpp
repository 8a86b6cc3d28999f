#include "params/NumberText.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace corvella {

std::string formatFixed(double value, int decimals)
{
    // Large enough for any double in fixed notation with a few decimals.
    char buf[400];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    if (res.ec != std::errc())
        return {};
    return std::string(buf, res.ptr);
}

std::optional<double> parseLeadingNumber(const char* text)
{
    if (!text)
        return std::nullopt;
    const char* p = text;
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\f' || *p == '\v')
        ++p;
    if (*p == '+' && p[1] != '-' && p[1] != '+')
        ++p; // from_chars takes no '+'; strtod takes one sign, not two
    double value = 0.0;
    const auto res = std::from_chars(p, p + std::strlen(p), value, std::chars_format::general);
    if (res.ec != std::errc() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace corvella
