#include "ostrel/Base64Util.h"
#include "ostrel/HashUtil.h"
#include "ostrel/URLEncodeUtil.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Ostrel;

namespace {
std::string text(const std::vector<unsigned char>& bytes) { return std::string(bytes.begin(), bytes.end()); }
}  // namespace

TEST(Base64, EncodesWithoutPadding)
{
    struct Case { std::string in; std::string out; };
    const std::vector<Case> cases = {
        {"", ""},
        {"a", "YQ"},
        {"ab", "YWI"},
        {"abc", "YWJj"},
        {"abcd", "YWJjZA"},
        {"id:pw", "aWQ6cHc"},
        {std::string("\x00\xff\xfe", 3), "AP/+"},
        {"\xfb\xef", "++8"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(toBase64(c.in), c.out) << "input size " << c.in.size();
    EXPECT_EQ(toBase64(nullptr, 3), "");
}

TEST(Base64, DecodesLenientlyAndStopsAtForeignCharacters)
{
    struct Case { const char* in; std::string out; };
    const std::vector<Case> cases = {
        {"", ""},
        {"YWJj", "abc"},
        {"YW Jj", "abc"},
        {"Y\tW\nJ\vj\f\r", "abc"},
        {"YQ", "a"},
        {"YQ==", std::string("a\0\0", 3)},  // each "=" is six zero bits
        {"YW!j", "a"},                        // the mark ends decoding
        {"!YWJj", ""},
        {"AP/+", std::string("\x00\xff\xfe", 3)},
        {"aWQ6cHc", "id:pw"},
        {"Y", ""},                            // six bits make no byte
    };
    for (const Case& c : cases)
        EXPECT_EQ(text(fromBase64(c.in)), c.out) << "input '" << c.in << "'";
    EXPECT_TRUE(fromBase64(nullptr).empty());
}

TEST(Base64, RoundTripsAllByteValues)
{
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    for (std::size_t len = 0; len <= all.size(); len += 37)
        EXPECT_EQ(text(fromBase64(toBase64(all.substr(0, len)).c_str())), all.substr(0, len));
}

TEST(HashUtil, Md5MatchesKnownDigests)
{
    struct Case { std::string in; std::string out; };
    const std::vector<Case> cases = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"The quick brown fox jumps over the lazy dog", "9e107d9d372bb6826bd81d3542a419d6"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(md5(c.in), c.out) << c.in;
}

TEST(HashUtil, WideMd5HashesUtf8AndIsAlwaysLowerHex)
{
    EXPECT_EQ(md5(std::wstring(L"abc")), md5(std::string("abc")));
    EXPECT_EQ(md5(std::wstring(L"\u00e9")), md5(std::string("\xC3\xA9")));
    for (const std::string& in : {std::string(), std::string("x"), std::string(1000, '\xff'), std::string("AA:BB")}) {
        const std::string digest = md5(in);
        ASSERT_EQ(digest.size(), 32u);
        EXPECT_EQ(digest.find_first_not_of("0123456789abcdef"), std::string::npos) << digest;
    }
}

TEST(URLEncodeUtil, EscapesByTheRules)
{
    struct Case { std::string in; std::string out; };
    const std::vector<Case> cases = {
        {"", ""},
        {"a b~c*", "a+b%7Ec*"},
        {"AZaz09-._", "AZaz09-._"},
        {"\xC3\xA9", "%C3%A9"},
        {"a/b?c=d&e", "a%2Fb%3Fc%3Dd%26e"},
        {"100%", "100%25"},
        {"%20%2A", "%2520%252A"},   // escaped percent signs are not mistaken for blanks or stars
        {"+", "%2B"},
        {std::string("\x00\x7f", 2), "%00%7F"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(URLEncode(c.in), c.out) << c.in;
}

TEST(URLEncodeUtil, WideTextIsEscapedAsUtf8)
{
    EXPECT_EQ(URLEncode(std::wstring(L"\u00e9 \u20ac")), "%C3%A9+%E2%82%AC");
    EXPECT_EQ(URLEncode(std::wstring(L"key 123")), "key+123");
}
