#include "ostrel/HashUtil.h"

#include <openssl/evp.h>

#include "ostrel/StringUtil.h"

namespace Ostrel {

std::string md5(const std::string& bytes)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_md5(), nullptr) != 1)
        return std::string();
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(size * 2);
    for (unsigned int i = 0; i < size; ++i) {
        out += kHex[digest[i] >> 4];
        out += kHex[digest[i] & 0x0F];
    }
    return out;
}

std::string md5(const std::wstring& text) { return md5(toUtf8(text)); }

}  // namespace Ostrel
