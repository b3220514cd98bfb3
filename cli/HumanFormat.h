#pragma once

#include <cstdint>
#include <string>

// Sizes, rates and durations as a person reads them.
namespace HumanFormat {

// "0 B", "512 B", "1.5 KiB", "115.2 MiB", "2.00 GiB"
std::string bytes(uint64_t n);
// bytes(n) + "/s"
std::string rate(double bytesPerSecond);
// "42s", "5m 12s", "3h 20m", "2d 3h"
std::string duration(double seconds);

}  // namespace HumanFormat
