#pragma once

#include <QFile>
#include <QString>

// A set of rotating log files: base + "_0.log" is written, base + "_<max-1>.log" is the oldest.
// Not thread-safe; FileLogWriter serialises access.
class FileLog
{
public:
    FileLog(const QString& basePath, int maxFiles, int maxSize);
    virtual ~FileLog();

    bool open();
    void write(const QString& text);
    void close();
    void next();
    QString makeName(int n) const;
    static QString currentTime();

    bool isOpen() const { return file_.isOpen(); }

private:
    QString basePath_;
    int maxFiles_;
    int maxSize_;
    QFile file_;
};
