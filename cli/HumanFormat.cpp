#include "HumanFormat.h"

#include <cmath>
#include <cstdio>

namespace HumanFormat {

std::string bytes(uint64_t n)
{
    static const char* const units[] = {"B", "KiB", "MiB", "GiB", "TiB", "PiB"};
    if (n < 1024)
        return std::to_string(n) + " B";
    double v = static_cast<double>(n);
    int unit = 0;
    while (v >= 1024.0 && unit < 5) {
        v /= 1024.0;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof(text), v >= 100.0 ? "%.0f %s" : v >= 10.0 ? "%.1f %s" : "%.2f %s", v, units[unit]);
    return text;
}

std::string rate(double bytesPerSecond)
{
    if (!(bytesPerSecond > 0))
        return "0 B/s";
    return bytes(static_cast<uint64_t>(bytesPerSecond)) + "/s";
}

std::string duration(double seconds)
{
    if (!(seconds >= 0) || std::isinf(seconds))
        return "?";
    const uint64_t s = static_cast<uint64_t>(seconds + 0.5);
    const uint64_t d = s / 86400, h = (s / 3600) % 24, m = (s / 60) % 60, sec = s % 60;
    if (d > 0)
        return std::to_string(d) + "d " + std::to_string(h) + "h";
    if (h > 0)
        return std::to_string(h) + "h " + std::to_string(m) + "m";
    if (m > 0)
        return std::to_string(m) + "m " + std::to_string(sec) + "s";
    return std::to_string(sec) + "s";
}

}  // namespace HumanFormat
