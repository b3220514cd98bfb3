#include "service/Crypto.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <stdexcept>

namespace Service {
namespace Crypto {

namespace {
const char* kHex = "0123456789abcdef";
const char* kB64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string hex(const unsigned char* data, size_t n)
{
    std::string out;
    out.reserve(n * 2);
    for (size_t i = 0; i < n; ++i) {
        out += kHex[data[i] >> 4];
        out += kHex[data[i] & 15];
    }
    return out;
}
}  // namespace

std::string randomHex(size_t bytes)
{
    std::string buffer(bytes, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char*>(&buffer[0]), static_cast<int>(bytes)) != 1)
        throw std::runtime_error("no random bytes");
    return hex(reinterpret_cast<const unsigned char*>(buffer.data()), bytes);
}

std::string randomDigits(size_t length)
{
    std::string out;
    while (out.size() < length) {
        unsigned char b = 0;
        if (RAND_bytes(&b, 1) != 1)
            throw std::runtime_error("no random bytes");
        if (b < 250)  // rejection keeps the digits uniform
            out += static_cast<char>('0' + b % 10);
    }
    return out;
}

std::string hashSecret(const std::string& salt, const std::string& secret)
{
    unsigned char out[32];
    PKCS5_PBKDF2_HMAC(secret.data(), static_cast<int>(secret.size()),
                      reinterpret_cast<const unsigned char*>(salt.data()), static_cast<int>(salt.size()), 4096,
                      EVP_sha256(), sizeof out, out);
    return hex(out, sizeof out);
}

bool verifySecret(const std::string& salt, const std::string& hash, const std::string& secret)
{
    return constantTimeEquals(hashSecret(salt, secret), hash);
}

bool constantTimeEquals(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

bool fromBase64(const std::string& text, std::string& bytes)
{
    bytes.clear();
    unsigned value = 0;
    int bits = 0;
    size_t i = 0;
    for (; i < text.size() && text[i] != '='; ++i) {
        const char* p = text[i] ? std::char_traits<char>::find(kB64, 64, text[i]) : nullptr;
        if (!p)
            return false;
        value = (value << 6) | static_cast<unsigned>(p - kB64);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes += static_cast<char>((value >> bits) & 0xff);
        }
    }
    for (; i < text.size(); ++i)
        if (text[i] != '=')
            return false;
    return true;
}

std::string toBase64(const std::string& bytes)
{
    std::string out;
    unsigned value = 0;
    int bits = 0;
    for (unsigned char c : bytes) {
        value = (value << 8) | c;
        bits += 8;
        while (bits >= 6) {
            bits -= 6;
            out += kB64[(value >> bits) & 63];
        }
    }
    if (bits > 0)
        out += kB64[(value << (6 - bits)) & 63];
    while (out.size() % 4)
        out += '=';
    return out;
}

}  // namespace Crypto
}  // namespace Service
