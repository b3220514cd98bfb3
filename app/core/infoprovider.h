#pragma once

#include <QString>

// The application version and the operating-system version, for banners, requests and analytics.
class InfoProvider
{
public:
    static InfoProvider* instance();
    static void cleanUp();

    static const char* const kAppVersion;

    QString getAppVersion() const;
    QString getOSVersion() const;

    virtual ~InfoProvider() = default;

private:
    InfoProvider() = default;
    static InfoProvider* instance_;
};
