#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "ostrel/LogFunc.h"
#include "ostrel/StringUtil.h"

// Collects the engine's debug lines for the lifetime of the object, from any thread.
class LogCapture {
public:
    LogCapture()
    {
        Ostrel::setDebugLogCallback(
            [this](int, const char* text) { add(text); },
            [this](int, const wchar_t* text) { add(Ostrel::toUtf8(text)); });
    }
    ~LogCapture() { Ostrel::setDebugLogCallback(nullptr, nullptr); }

    std::vector<std::string> lines() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }
    std::size_t countStartingWith(const std::string& prefix) const
    {
        std::size_t n = 0;
        for (const std::string& line : lines())
            n += line.compare(0, prefix.size(), prefix) == 0 ? 1 : 0;
        return n;
    }

private:
    void add(const std::string& text)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.push_back(text);
    }
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};
