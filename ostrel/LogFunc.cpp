#include "ostrel/LogFunc.h"

#include <memory>
#include <mutex>

#include "ostrel/StringUtil.h"

namespace Ostrel {

namespace {

// The hooks are installed once at start-up but may be called from any engine thread; a
// shared_ptr snapshot taken under the lock lets a call run without holding it.
std::mutex gHookMutex;
std::shared_ptr<const CharDebugLogHook> gCharDebugLog;
std::shared_ptr<const WCharDebugLogHook> gWCharDebugLog;
std::shared_ptr<const AnalyticsHook> gAnalytics;
std::shared_ptr<const FLAnalyticsHook> gFLAnalytics;

template <typename Hook>
std::shared_ptr<const Hook> snapshot(const std::shared_ptr<const Hook>& hook)
{
    std::lock_guard<std::mutex> lock(gHookMutex);
    return hook;
}

template <typename Hook>
void install(std::shared_ptr<const Hook>& slot, Hook hook)
{
    auto next = hook ? std::make_shared<const Hook>(std::move(hook)) : nullptr;
    std::lock_guard<std::mutex> lock(gHookMutex);
    slot = std::move(next);
}

}  // namespace

void setDebugLogCallback(CharDebugLogHook narrowHook, WCharDebugLogHook wideHook)
{
    install(gCharDebugLog, std::move(narrowHook));
    install(gWCharDebugLog, std::move(wideHook));
}

void debugLog(const char* text)
{
    if (auto hook = snapshot(gCharDebugLog))
        (*hook)(0, text ? text : "");
}

void debugLog(const wchar_t* text)
{
    if (auto hook = snapshot(gWCharDebugLog))
        (*hook)(0, text ? text : L"");
}

void setAnalyticsCallback(AnalyticsHook hook) { install(gAnalytics, std::move(hook)); }

void analytics(const char* category, const char* action, const char* label, long long value)
{
    if (auto hook = snapshot(gAnalytics))
        (*hook)(category ? category : "", action ? action : "", label ? label : "", value);
}

void setFLAnalyticsCallback(FLAnalyticsHook hook) { install(gFLAnalytics, std::move(hook)); }

void flAnalytics(const char* name, const std::map<std::string, std::string>& values)
{
    if (auto hook = snapshot(gFLAnalytics))
        (*hook)(name ? name : "", values);
}

namespace detail {

std::string toText(const std::wstring& value) { return toUtf8(value); }
std::string toText(const wchar_t* value) { return value ? toUtf8(std::wstring(value)) : std::string(); }

std::string formatPositional(const std::string& pattern, const std::vector<std::string>& args)
{
    std::string out;
    out.reserve(pattern.size() + 32);
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%') {
            size_t j = i + 1;
            size_t index = 0;
            while (j < pattern.size() && pattern[j] >= '0' && pattern[j] <= '9' && j - i < 4)
                index = index * 10 + static_cast<size_t>(pattern[j++] - '0');
            if (j > i + 1 && j < pattern.size() && pattern[j] == '%' && index >= 1 && index <= args.size()) {
                out += args[index - 1];
                i = j;
                continue;
            }
            if (j == i + 1 && j < pattern.size() && pattern[j] == '%') {
                out += '%';
                i = j;
                continue;
            }
        }
        out += pattern[i];
    }
    return out;
}

}  // namespace detail

}  // namespace Ostrel
