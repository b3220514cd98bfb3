#include "core/filelog.h"

#include <QDateTime>

FileLog::FileLog(const QString& basePath, int maxFiles, int maxSize)
    : basePath_(basePath), maxFiles_(maxFiles), maxSize_(maxSize)
{
}

FileLog::~FileLog()
{
    close();
}

QString FileLog::makeName(int n) const
{
    return basePath_ + QString("_%1.log").arg(n);
}

QString FileLog::currentTime()
{
    return QDateTime::currentDateTime().toString("[MM/dd hh:mm:ss.zzz]");
}

bool FileLog::open()
{
    close();
    file_.setFileName(makeName(0));
    // A failure leaves the log closed; writes are then dropped.
    return file_.open(QIODevice::WriteOnly | QIODevice::Append);
}

void FileLog::close()
{
    if (file_.isOpen())
        file_.close();
}

void FileLog::write(const QString& text)
{
    if (!file_.isOpen())
        return;
    file_.write((currentTime() + " " + text + "\r\n").toUtf8());
    file_.flush();
    if (file_.size() > maxSize_) {
        close();
        next();
        open();
    }
}

void FileLog::next()
{
    for (int n = maxFiles_ - 1; n >= 0; --n) {
        const QString name = makeName(n);
        if (QFile::exists(name))
            QFile::remove(name);
        if (n > 0 && QFile::exists(makeName(n - 1)))
            QFile::rename(makeName(n - 1), name);
    }
}
