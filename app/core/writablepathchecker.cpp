#include "core/writablepathchecker.h"

#include <QFileInfo>

WritablePathChecker* WritablePathChecker::instance_ = nullptr;

WritablePathChecker* WritablePathChecker::instance()
{
    if (!instance_)
        instance_ = new WritablePathChecker();
    return instance_;
}

void WritablePathChecker::cleanUp()
{
    delete instance_;
    instance_ = nullptr;
}

bool WritablePathChecker::isWritable(const QString& path) const
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && info.isDir() && info.isWritable();
}
