#include "ostrel/HttpRange.h"

#include <cstdint>

namespace Ostrel {

namespace {

constexpr uint64_t kMax = static_cast<uint64_t>(INT64_MAX);

// Reads digits from pos; fails on none or overflow. pos ends on the first non-digit.
bool readDigits(const std::string& s, size_t& pos, uint64_t& value, bool allowEmpty)
{
    const size_t begin = pos;
    uint64_t v = 0;
    while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') {
        const uint64_t digit = static_cast<uint64_t>(s[pos] - '0');
        if (v > (kMax - digit) / 10)
            return false;
        v = v * 10 + digit;
        ++pos;
    }
    if (pos == begin && !allowEmpty)
        return false;
    value = v;
    return true;
}

bool startsWith(const std::string& s, const char* prefix, size_t& pos)
{
    size_t i = 0;
    for (; prefix[i]; ++i)
        if (i >= s.size() || s[i] != prefix[i])
            return false;
    pos = i;
    return true;
}

}  // namespace

bool parseDecimal(const std::string& text, uint64_t& value)
{
    size_t pos = 0;
    uint64_t v = 0;
    if (!readDigits(text, pos, v, false) || pos != text.size())
        return false;
    value = v;
    return true;
}

bool parseRangeStart(const std::string& header, uint64_t& start)
{
    size_t pos = 0;
    uint64_t first = 0, last = 0;
    if (!startsWith(header, "bytes=", pos) || !readDigits(header, pos, first, false))
        return false;
    if (pos >= header.size() || header[pos] != '-')
        return false;
    ++pos;
    if (!readDigits(header, pos, last, true) || pos != header.size())
        return false;
    start = first;
    return true;
}

bool parseContentRangeStart(const std::string& header, uint64_t& start)
{
    size_t pos = 0;
    uint64_t first = 0, last = 0;
    if (!startsWith(header, "bytes ", pos) || !readDigits(header, pos, first, false))
        return false;
    if (pos >= header.size() || header[pos] != '-')
        return false;
    ++pos;
    if (!readDigits(header, pos, last, true))
        return false;
    if (pos < header.size()) {
        // Only "/total" or "/*" may follow.
        if (header[pos] != '/')
            return false;
        ++pos;
        uint64_t total = 0;
        if (!(pos + 1 == header.size() && header[pos] == '*')
            && (!readDigits(header, pos, total, false) || pos != header.size()))
            return false;
    }
    start = first;
    return true;
}

std::string formatContentRange(uint64_t start, uint64_t size)
{
    return "bytes " + std::to_string(start) + "-" + std::to_string(size) + "/" + std::to_string(size);
}

}  // namespace Ostrel
