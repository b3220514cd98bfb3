#include "support/TestFiles.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>

namespace TestSupport {

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string randomBytes(size_t n, unsigned seed)
{
    std::mt19937_64 gen(seed);
    std::string bytes(n, '\0');
    for (size_t i = 0; i + 8 <= n; i += 8) {
        const uint64_t v = gen();
        std::memcpy(&bytes[i], &v, 8);
    }
    for (size_t i = n - n % 8; i < n; ++i)
        bytes[i] = static_cast<char>(gen());
    return bytes;
}

}  // namespace TestSupport
