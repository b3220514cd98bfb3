#pragma once

#include <string>

namespace Ostrel {

// Strict UTF-8 <-> UTF-32 conversion. Malformed input (invalid lead bytes, truncated sequences,
// overlong forms, surrogates, values above U+10FFFF) produces nothing and decoding goes on.
std::wstring fromUtf8(const std::string& bytes);
std::string toUtf8(const std::wstring& text);

}  // namespace Ostrel
