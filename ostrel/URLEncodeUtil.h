#pragma once

#include <string>

namespace Ostrel {

// Escapes a URL path or query part: letters, digits, "-", ".", "_" and "*" stay, a blank becomes "+",
// every other byte (tilde included) becomes "%XX" with upper-case hexadecimal digits.
std::string URLEncode(const std::string& bytes);
std::string URLEncode(const std::wstring& text);

}  // namespace Ostrel
