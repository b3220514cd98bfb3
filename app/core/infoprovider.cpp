#include "core/infoprovider.h"

#include <QSysInfo>

const char* const InfoProvider::kAppVersion = "3.6.19.1";

InfoProvider* InfoProvider::instance_ = nullptr;

InfoProvider* InfoProvider::instance()
{
    if (!instance_)
        instance_ = new InfoProvider();
    return instance_;
}

void InfoProvider::cleanUp()
{
    delete instance_;
    instance_ = nullptr;
}

QString InfoProvider::getAppVersion() const
{
    return QString::fromLatin1(kAppVersion);
}

QString InfoProvider::getOSVersion() const
{
    return QSysInfo::productVersion();
}
