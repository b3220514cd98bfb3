#include "ostrel/Base64Util.h"

#include <cstring>

namespace Ostrel {

namespace {
const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int sixBits(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    if (c == '=')
        return 0;
    return -1;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
}  // namespace

std::string toBase64(const unsigned char* bytes, std::size_t length)
{
    std::string out;
    if (!bytes)
        return out;
    out.reserve((length * 4 + 2) / 3);
    unsigned int buffer = 0;
    int bits = 0;
    for (std::size_t i = 0; i < length; ++i) {
        buffer = (buffer << 8) | bytes[i];
        bits += 8;
        while (bits >= 6) {
            bits -= 6;
            out += kAlphabet[(buffer >> bits) & 0x3F];
        }
        buffer &= (1u << bits) - 1;
    }
    if (bits > 0)
        out += kAlphabet[(buffer << (6 - bits)) & 0x3F];
    return out;
}

std::vector<unsigned char> fromBase64(const char* text)
{
    std::vector<unsigned char> out;
    if (!text)
        return out;
    out.reserve(std::strlen(text) * 3 / 4);
    unsigned int buffer = 0;
    int bits = 0;
    for (const char* p = text; *p; ++p) {
        if (isBlank(*p))
            continue;
        const int value = sixBits(*p);
        if (value < 0)
            break;
        buffer = (buffer << 6) | static_cast<unsigned int>(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<unsigned char>((buffer >> bits) & 0xFF));
            buffer &= (1u << bits) - 1;
        }
    }
    return out;
}

}  // namespace Ostrel
