#include "ostrel/JsonUtil.h"

#include "ostrel/StringUtil.h"

namespace Ostrel {

namespace {

// Runs a conversion of the member; any library exception or a missing member gives the default.
template <typename T, typename Convert>
T readMember(const Json::Value& object, const char* key, T defaultValue, Convert convert)
{
    if (!key)
        return defaultValue;
    try {
        if (!object.isObject())
            return defaultValue;
        const Json::Value* member = object.find(key, key + std::char_traits<char>::length(key));
        if (!member || member->isNull())
            return defaultValue;
        return convert(*member);
    } catch (...) {
        return defaultValue;
    }
}

}  // namespace

std::string getJsonValue(const Json::Value& object, const char* key, const char* defaultValue)
{
    const std::string fallback = defaultValue ? defaultValue : "";
    return readMember<std::string>(object, key, fallback, [](const Json::Value& v) { return v.asString(); });
}

std::wstring getJsonValue(const Json::Value& object, const char* key, const wchar_t* defaultValue)
{
    const std::wstring fallback = defaultValue ? defaultValue : L"";
    return readMember<std::wstring>(object, key, fallback,
                                    [](const Json::Value& v) { return fromUtf8(v.asString()); });
}

int getJsonValue(const Json::Value& object, const char* key, int defaultValue)
{
    return readMember<int>(object, key, defaultValue, [](const Json::Value& v) { return v.asInt(); });
}

long long getJsonValue(const Json::Value& object, const char* key, long long defaultValue)
{
    return readMember<long long>(object, key, defaultValue,
                                 [](const Json::Value& v) { return static_cast<long long>(v.asInt64()); });
}

unsigned long long getJsonValue(const Json::Value& object, const char* key, unsigned long long defaultValue)
{
    return readMember<unsigned long long>(object, key, defaultValue, [](const Json::Value& v) {
        return static_cast<unsigned long long>(v.asUInt64());
    });
}

bool getJsonValue(const Json::Value& object, const char* key, bool defaultValue)
{
    return readMember<bool>(object, key, defaultValue, [](const Json::Value& v) { return v.asBool(); });
}

void setJsonValue(Json::Value& object, const char* key, const std::string& value)
{
    if (key && !value.empty())
        object[key] = value;
}

void setJsonValue(Json::Value& object, const char* key, const std::wstring& value)
{
    if (key && !value.empty())
        object[key] = toUtf8(value);
}

void setJsonValue(Json::Value& object, const char* key, const char* value)
{
    if (key && value)
        object[key] = value;
}

void setJsonValue(Json::Value& object, const char* key, const wchar_t* value)
{
    if (key && value)
        object[key] = toUtf8(value);
}

void setJsonValue(Json::Value& object, const char* key, unsigned long value)
{
    if (key)
        object[key] = Json::Value(static_cast<Json::UInt64>(value));
}

void setJsonValue(Json::Value& object, const char* key, int value)
{
    if (key)
        object[key] = Json::Value(value);
}

}  // namespace Ostrel
