#pragma once

#include <QMutex>
#include <QString>

class FileLog;

// The process-wide file log: snd_0.log … snd_29.log under the data directory's "log" folder,
// 2000000 bytes each, written only when the setting "FILELOG" is on. Lines may come from any
// thread; one mutex keeps them whole and covers rotation.
class FileLogWriter
{
public:
    static FileLogWriter* instance();
    static void cleanUp();

    static constexpr int kMaxFiles = 30;
    static constexpr int kMaxSize = 2000000;

    void init();
    void write(const QString& text);

    // Writes through the writer if it exists; never creates it (log lines from engine threads
    // may arrive before start-up or after clean-up).
    static void writeIfRunning(const QString& text);

    static QString logDirectory();

    virtual ~FileLogWriter();

private:
    FileLogWriter() = default;

    bool enabled_ = false;
    FileLog* log_ = nullptr;
    QMutex mutex_;
    static FileLogWriter* instance_;
    static QMutex instanceMutex_;
};
