#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace Ostrel {

// Standard alphabet, most significant bits first, no "=" padding on output.
std::string toBase64(const unsigned char* bytes, std::size_t length);
inline std::string toBase64(const std::string& bytes)
{
    return toBase64(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

// Lenient decoder: white space is skipped, "=" decodes as six zero bits, leftover bits are dropped and
// the first character outside the alphabet ends decoding (the bytes decoded so far are returned).
std::vector<unsigned char> fromBase64(const char* text);

}  // namespace Ostrel
