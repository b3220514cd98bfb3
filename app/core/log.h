#pragma once

#include <QString>

// One log line, emitted when the object goes out of scope:
//   Log::getLog(Log::File) << "text\n";
// Kind File goes to the rotating log files, Console to standard output (only with "--console"),
// Both to both. Callers put their own line breaks into the text.
class Log
{
public:
    enum LogType { File = 0, Console = 1, Both = 2 };

    static Log getLog(int kind);

    Log(Log&& other) noexcept;
    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;
    ~Log();

    Log& operator<<(const QString& text);
    Log& operator<<(const char* text);

private:
    explicit Log(LogType kind) : kind_(kind) {}

    LogType kind_;
    QString text_;
    bool active_ = true;
};
