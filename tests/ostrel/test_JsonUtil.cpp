#include "ostrel/JsonUtil.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include <json/reader.h>

using namespace Ostrel;

namespace {

Json::Value parse(const std::string& text)
{
    Json::Value value;
    Json::CharReaderBuilder builder;
    std::string errors;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    EXPECT_TRUE(reader->parse(text.data(), text.data() + text.size(), &value, &errors)) << errors;
    return value;
}

const char* kDoc = R"({
    "s": "text", "n": 42, "neg": -7, "big": 9007199254740993, "huge": 18446744073709551615,
    "f": 3.75, "t": true, "fl": false, "o": {"a": 1}, "arr": [1, 2], "null": null,
    "numstr": "12", "empty": "", "utf": "\u00e9\u20ac"
})";

}  // namespace

TEST(JsonUtil, NarrowTextGetter)
{
    const Json::Value doc = parse(kDoc);
    struct Case { const char* key; const char* def; std::string out; };
    const std::vector<Case> cases = {
        {"s", "d", "text"},
        {"missing", "d", "d"},
        {"n", "d", "42"},
        {"t", "d", "true"},
        {"empty", "d", ""},
        {"o", "d", "d"},      // an object has no string form
        {"arr", "d", "d"},
        {"null", "d", "d"},
        {"missing", nullptr, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(getJsonValue(doc, c.key, c.def), c.out) << c.key;
}

TEST(JsonUtil, WideTextGetterSkipsMalformedUtf8)
{
    const Json::Value doc = parse(kDoc);
    EXPECT_EQ(getJsonValue(doc, "utf", L"d"), std::wstring(L"\u00e9\u20ac"));
    EXPECT_EQ(getJsonValue(doc, "missing", L"d"), std::wstring(L"d"));
    EXPECT_EQ(getJsonValue(doc, "o", L"d"), std::wstring(L"d"));

    struct Case { std::string raw; std::wstring out; };
    const std::vector<Case> cases = {
        {"a\xC3" "b", L"ab"},            // truncated sequence
        {"\xC0\xAF" "x", L"x"},          // overlong form
        {"\xED\xA0\x80" "y", L"y"},      // surrogate
        {"\xF4\x90\x80\x80" "z", L"z"},  // above U+10FFFF
        {"ok\xFF", L"ok"},               // invalid lead byte
    };
    for (const Case& c : cases) {
        Json::Value object(Json::objectValue);
        object["m"] = c.raw;  // jsoncpp stores the bytes as given
        EXPECT_EQ(getJsonValue(object, "m", L"d"), c.out);
    }
}

TEST(JsonUtil, NumberAndBoolGettersFallBackOnAnyConversionError)
{
    const Json::Value doc = parse(kDoc);
    struct IntCase { const char* key; int out; };
    for (const IntCase& c : std::vector<IntCase>{{"n", 42}, {"neg", -7}, {"f", 3}, {"t", 1}, {"missing", -1},
                                                 {"o", -1}, {"arr", -1}, {"s", -1}, {"numstr", -1},
                                                 {"big", -1}, {"null", -1}})
        EXPECT_EQ(getJsonValue(doc, c.key, -1), c.out) << c.key;

    struct LongCase { const char* key; long long out; };
    for (const LongCase& c : std::vector<LongCase>{{"big", 9007199254740993LL}, {"neg", -7}, {"huge", -1},
                                                   {"o", -1}, {"s", -1}})
        EXPECT_EQ(getJsonValue(doc, c.key, -1LL), c.out) << c.key;

    struct ULongCase { const char* key; unsigned long long out; };
    for (const ULongCase& c : std::vector<ULongCase>{{"huge", ULLONG_MAX}, {"n", 42}, {"neg", 5}, {"o", 5},
                                                     {"missing", 5}})
        EXPECT_EQ(getJsonValue(doc, c.key, 5ULL), c.out) << c.key;

    struct BoolCase { const char* key; bool def; bool out; };
    for (const BoolCase& c : std::vector<BoolCase>{{"t", false, true}, {"fl", true, false}, {"n", false, true},
                                                   {"missing", true, true}, {"o", true, true}, {"s", false, false},
                                                   {"s", true, true}})
        EXPECT_EQ(getJsonValue(doc, c.key, c.def), c.out) << c.key;
}

TEST(JsonUtil, GettersOnNonObjectsReturnDefaults)
{
    for (const Json::Value& v : {Json::Value(), Json::Value(Json::arrayValue), Json::Value(3), Json::Value("x")}) {
        EXPECT_EQ(getJsonValue(v, "k", "d"), "d");
        EXPECT_EQ(getJsonValue(v, "k", L"d"), std::wstring(L"d"));
        EXPECT_EQ(getJsonValue(v, "k", 9), 9);
        EXPECT_EQ(getJsonValue(v, "k", true), true);
    }
}

TEST(JsonUtil, SettersLeaveOutEmptyStrings)
{
    Json::Value o(Json::objectValue);
    setJsonValue(o, "emptyString", std::string());
    setJsonValue(o, "emptyWide", std::wstring());
    setJsonValue(o, "nullText", static_cast<const char*>(nullptr));
    setJsonValue(o, "nullWide", static_cast<const wchar_t*>(nullptr));
    EXPECT_EQ(o.size(), 0u);

    setJsonValue(o, "emptyText", "");
    setJsonValue(o, "emptyWideText", L"");
    setJsonValue(o, "string", std::string("v"));
    setJsonValue(o, "wide", std::wstring(L"\u00e9"));
    setJsonValue(o, "wideText", L"\u20ac");
    setJsonValue(o, "ulong", 18446744073709551615UL);
    setJsonValue(o, "int", -5);
    setJsonValue(o, "zero", 0);

    ASSERT_TRUE(o.isMember("emptyText"));
    EXPECT_EQ(o["emptyText"].asString(), "");
    ASSERT_TRUE(o.isMember("emptyWideText"));
    EXPECT_EQ(o["string"].asString(), "v");
    EXPECT_EQ(o["wide"].asString(), "\xC3\xA9");
    EXPECT_EQ(o["wideText"].asString(), "\xE2\x82\xAC");
    EXPECT_TRUE(o["ulong"].isUInt64());
    EXPECT_EQ(o["ulong"].asUInt64(), 18446744073709551615ULL);
    EXPECT_EQ(o["int"].asInt(), -5);
    EXPECT_TRUE(o.isMember("zero"));
    EXPECT_EQ(o.size(), 8u);
}
