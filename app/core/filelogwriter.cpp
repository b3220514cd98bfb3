#include "core/filelogwriter.h"

#include <QDir>
#include <QMutexLocker>

#include "core/cachepath.h"
#include "core/filelog.h"
#include "core/globalconfig.h"

FileLogWriter* FileLogWriter::instance_ = nullptr;
QMutex FileLogWriter::instanceMutex_;

FileLogWriter* FileLogWriter::instance()
{
    QMutexLocker lock(&instanceMutex_);
    if (!instance_)
        instance_ = new FileLogWriter();
    return instance_;
}

void FileLogWriter::cleanUp()
{
    QMutexLocker lock(&instanceMutex_);
    delete instance_;
    instance_ = nullptr;
}

FileLogWriter::~FileLogWriter()
{
    QMutexLocker lock(&mutex_);
    delete log_;
    log_ = nullptr;
}

QString FileLogWriter::logDirectory()
{
    return CachePath::instance()->path() + "/log";
}

void FileLogWriter::init()
{
    if (!GlobalConfig::instance()->getEnableFileLogFlag())
        return;
    QMutexLocker lock(&mutex_);
    enabled_ = true;
    const QString dir = logDirectory();
    QDir().mkpath(dir);
    delete log_;
    log_ = new FileLog(dir + "/snd", kMaxFiles, kMaxSize);
    log_->open();
}

void FileLogWriter::write(const QString& text)
{
    QMutexLocker lock(&mutex_);
    if (enabled_ && log_)
        log_->write(text);
}

void FileLogWriter::writeIfRunning(const QString& text)
{
    QMutexLocker lock(&instanceMutex_);
    if (instance_)
        instance_->write(text);
}
