#pragma once

#include <string>

#include <json/value.h>

namespace Ostrel {

// Typed reads of an object member. They never throw: a missing or null member, a value that does not
// convert to the asked type, or an object that is not an object at all yields the default.
std::string getJsonValue(const Json::Value& object, const char* key, const char* defaultValue);
// UTF-8 member text as a wide string; malformed sequences are skipped.
std::wstring getJsonValue(const Json::Value& object, const char* key, const wchar_t* defaultValue);
int getJsonValue(const Json::Value& object, const char* key, int defaultValue);
long long getJsonValue(const Json::Value& object, const char* key, long long defaultValue);
unsigned long long getJsonValue(const Json::Value& object, const char* key, unsigned long long defaultValue);
bool getJsonValue(const Json::Value& object, const char* key, bool defaultValue);

// String setters leave the member out when the string is empty, so the server sees it as absent.
void setJsonValue(Json::Value& object, const char* key, const std::string& value);
void setJsonValue(Json::Value& object, const char* key, const std::wstring& value);
// Pointer setters set the member whenever the pointer is non-null, even to an empty string.
void setJsonValue(Json::Value& object, const char* key, const char* value);
void setJsonValue(Json::Value& object, const char* key, const wchar_t* value);
void setJsonValue(Json::Value& object, const char* key, unsigned long value);
void setJsonValue(Json::Value& object, const char* key, int value);

}  // namespace Ostrel
