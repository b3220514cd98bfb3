#include "core/log.h"

#include <cstdio>

#include <QTextStream>

#include "core/filelogwriter.h"
#include "core/globalconfig.h"

Log Log::getLog(int kind)
{
    if (kind < File || kind > Both)
        kind = Both;
    return Log(static_cast<LogType>(kind));
}

Log::Log(Log&& other) noexcept : kind_(other.kind_), text_(std::move(other.text_))
{
    other.active_ = false;
}

Log::~Log()
{
    if (!active_)
        return;
    if ((kind_ == Console || kind_ == Both) && GlobalConfig::consoleEnabled()) {
        QTextStream out(stdout);
        out << text_;
        out.flush();
    }
    if (kind_ == File || kind_ == Both)
        FileLogWriter::writeIfRunning(text_);
}

Log& Log::operator<<(const QString& text)
{
    text_ += text;
    return *this;
}

Log& Log::operator<<(const char* text)
{
    text_ += QString::fromUtf8(text);
    return *this;
}
