#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace Ostrel {

using CharDebugLogHook = std::function<void(int, const char*)>;
using WCharDebugLogHook = std::function<void(int, const wchar_t*)>;
using AnalyticsHook = std::function<void(const char*, const char*, const char*, long long)>;
using FLAnalyticsHook = std::function<void(const char*, const std::map<std::string, std::string>&)>;

// Engine-wide hooks through which the engine reports to its host. Each call runs the hook on the
// caller's thread and returns at once when none is installed.
void setDebugLogCallback(CharDebugLogHook narrowHook, WCharDebugLogHook wideHook);
void debugLog(const char* text);
void debugLog(const wchar_t* text);
inline void debugLog(const std::string& text) { debugLog(text.c_str()); }
inline void debugLog(const std::wstring& text) { debugLog(text.c_str()); }

void setAnalyticsCallback(AnalyticsHook hook);
void analytics(const char* category, const char* action, const char* label, long long value);

void setFLAnalyticsCallback(FLAnalyticsHook hook);
void flAnalytics(const char* name, const std::map<std::string, std::string>& values);

namespace detail {
std::string formatPositional(const std::string& pattern, const std::vector<std::string>& args);

template <typename T>
std::string toText(const T& value)
{
    std::ostringstream out;
    out << value;
    return out.str();
}
inline std::string toText(const std::string& value) { return value; }
inline std::string toText(const char* value) { return value ? value : ""; }
std::string toText(const std::wstring& value);
std::string toText(const wchar_t* value);
}  // namespace detail

// Fills "%1%", "%2%", ... with the arguments in order; wide arguments are written as UTF-8.
// Used for every engine log line so the fixed formats stay readable at the call site.
template <typename... Args>
std::string format(const std::string& pattern, const Args&... args)
{
    return detail::formatPositional(pattern, {detail::toText(args)...});
}

}  // namespace Ostrel
