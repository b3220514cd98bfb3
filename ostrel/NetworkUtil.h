#pragma once

#include <string>

namespace Ostrel {

// First non-loopback IPv4 address in the system's interface order; "127.0.0.1" when only loopback
// addresses exist; empty when there is no IPv4 address or the list cannot be read.
std::string GetLocalIp();
// Access point address of "wlan0" as lower-case "xx:xx:xx:xx:xx:xx"; empty on any failure.
std::string GetBSSID();

}  // namespace Ostrel
