#pragma once

#include <cstdint>
#include <string>

namespace Ostrel {

// Header parsing shared by the peer channels and the relay server. Every number must be a clean
// decimal that fits in 63 bits; anything else is refused so a peer can never steer a seek.

// Digits only, no sign or blanks, at most INT64_MAX.
bool parseDecimal(const std::string& text, uint64_t& value);

// Whole header "bytes=N-" or "bytes=N-M" (M may be empty): yields N.
bool parseRangeStart(const std::string& header, uint64_t& start);

// Header "bytes N-M..." as peers send it: yields N. The rest after the dash is not interpreted
// beyond requiring the digits that follow it to be well formed.
bool parseContentRangeStart(const std::string& header, uint64_t& start);

// "bytes N-S/S": peers put the total size where HTTP would put the last index, and read only N.
std::string formatContentRange(uint64_t start, uint64_t size);

}  // namespace Ostrel
