#include "ostrel/URLEncodeUtil.h"

#include "ostrel/StringUtil.h"

namespace Ostrel {

// A local routine gives the same result as escaping everything but [A-Za-z0-9-._] and then
// rewriting "%20" to "+", "%2A" to "*" and "~" to "%7E", without needing an HTTP client handle.
std::string URLEncode(const std::string& bytes)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (unsigned char c : bytes) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                           c == '-' || c == '.' || c == '_' || c == '*';
        if (plain) {
            out += static_cast<char>(c);
        } else if (c == ' ') {
            out += '+';
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        }
    }
    return out;
}

std::string URLEncode(const std::wstring& text) { return URLEncode(toUtf8(text)); }

}  // namespace Ostrel
