#pragma once

#include <string>

namespace Ostrel {

// MD5 digest as 32 lower-case hexadecimal characters; the wide form hashes the UTF-8 text.
std::string md5(const std::string& bytes);
std::string md5(const std::wstring& text);

}  // namespace Ostrel
