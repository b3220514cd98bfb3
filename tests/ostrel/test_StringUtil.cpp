#include "ostrel/LogFunc.h"
#include "ostrel/StringUtil.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Ostrel;

TEST(StringUtil, RoundTripsEveryPlane)
{
    const std::wstring text = L"a\u00e9\u20ac\U0001F600z";
    const std::string utf8 = toUtf8(text);
    EXPECT_EQ(utf8, "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z");
    EXPECT_EQ(fromUtf8(utf8), text);
}

TEST(StringUtil, MalformedSequencesProduceNothing)
{
    struct Case { std::string in; std::wstring out; };
    const std::vector<Case> cases = {
        {"a\x80" "b", L"ab"},                       // stray continuation byte
        {"a\xFF" "b", L"ab"},                       // invalid lead byte
        {"a\xC3", L"a"},                            // truncated at the end
        {"a\xE2\x82" "b", L"ab"},                   // truncated in the middle
        {"\xC0\xAF", L""},                          // overlong slash
        {"\xE0\x80\xAF", L""},                      // overlong, three bytes
        {"\xED\xA0\x80" "x", L"x"},                 // UTF-16 surrogate
        {"\xF4\x90\x80\x80" "y", L"y"},             // above U+10FFFF
    };
    for (const Case& c : cases)
        EXPECT_EQ(fromUtf8(c.in), c.out);
}

TEST(LogFunc, FormatFillsPositionsInAnyOrder)
{
    EXPECT_EQ(format("[REQ] %1% [%3%] => %2%\n", "u", "b", "c"), "[REQ] u [c] => b\n");
    EXPECT_EQ(format("%1% of %2%", 3, std::wstring(L"\u00e9")), "3 of \xC3\xA9");
    EXPECT_EQ(format("100%% %1% %9%", "x"), "100% x %9%");
}

TEST(LogFunc, HooksAreOptionalAndReplaceable)
{
    debugLog("nobody listens");  // must not crash without a hook
    std::vector<std::string> seen;
    setDebugLogCallback([&](int level, const char* t) { seen.push_back(std::to_string(level) + t); },
                        [&](int level, const wchar_t* t) { seen.push_back("w" + toUtf8(t)); });
    debugLog("one\n");
    debugLog(L"two\n");
    setDebugLogCallback(nullptr, nullptr);
    debugLog("three\n");
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], "0one\n");
    EXPECT_EQ(seen[1], "wtwo\n");
}
