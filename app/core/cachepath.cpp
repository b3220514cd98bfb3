#include "core/cachepath.h"

#include <QStandardPaths>

CachePath* CachePath::instance_ = nullptr;

CachePath* CachePath::instance()
{
    if (!instance_)
        instance_ = new CachePath();
    return instance_;
}

void CachePath::cleanUp()
{
    delete instance_;
    instance_ = nullptr;
}

QString CachePath::path() const
{
    // Organisation and application names set at start-up make this .../Kalvex/Trovanti.
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}
