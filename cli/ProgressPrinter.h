#pragma once

#include <chrono>
#include <mutex>
#include <string>

#include <json/value.h>

#include "CliContext.h"
#include "TransferMonitor.h"

// Everything a command writes to standard output goes through here, so that ordinary lines, the
// redrawn progress line of a terminal, periodic plain lines and JSON events never interleave.
// Safe to call from the event thread and the main thread.
class ProgressPrinter {
public:
    explicit ProgressPrinter(CliContext::Output output);

    // A line for people (not shown in JSON mode; shown even with --quiet when `essential`).
    void line(const std::string& text, bool essential = false);
    // One JSON object on one line (JSON mode only).
    void event(const Json::Value& object);
    // Progress as it stands; redraws or prints only as often as the mode wants.
    void progress(const TransferMonitor::Snapshot& s);
    void fileNotice(const TransferMonitor::Notice& notice, bool receiving);
    // The closing summary with the total time.
    void finish(const TransferMonitor::Snapshot& s, bool receiving);
    // Removes a drawn progress line, e.g. before a message on standard error.
    void clearLine();
    // The one-line reason on standard error (and an "error" or "cancelled" event in JSON mode);
    // returns the exit code to end with.
    int fail(const std::string& reason, int code = 1);

    bool json() const { return output_ == CliContext::Output::Json; }

    static std::string describe(const TransferMonitor::Snapshot& s);
    static Json::Value progressObject(const TransferMonitor::Snapshot& s);
    static std::string compact(const Json::Value& object);

private:
    void write(const std::string& text);

    CliContext::Output output_;
    std::mutex mutex_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point lastPrint_;
    bool printedOnce_ = false;
};
