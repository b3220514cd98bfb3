#pragma once

#include <cstddef>
#include <string>

namespace TestSupport {

void writeFile(const std::string& path, const std::string& bytes);
// The whole file, or an empty string when it cannot be read.
std::string readFile(const std::string& path);
// Reproducible pseudo-random bytes; fast enough for files of hundreds of MiB.
std::string randomBytes(size_t n, unsigned seed);

}  // namespace TestSupport
