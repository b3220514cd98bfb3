#include "task/authtoken.h"

#include "core/globalconfig.h"
#include "ostrel/AuthTokenValue.h"

AuthToken* AuthToken::instance_ = nullptr;

AuthToken* AuthToken::instance()
{
    if (!instance_)
        instance_ = new AuthToken();
    return instance_;
}

void AuthToken::cleanUp()
{
    delete instance_;
    instance_ = nullptr;
}

AuthToken::~AuthToken() { delete token_; }

Ostrel::AuthTokenValue* AuthToken::getToken()
{
    if (!token_) {
        token_ = new Ostrel::AuthTokenValue();
        token_->deviceId = GlobalConfig::instance()->getDeviceID().toStdString();
        token_->devicePassword = GlobalConfig::instance()->getDevicePassword().toStdString();
    }
    return token_;
}

void AuthToken::setDeviceID(const QString& id) { GlobalConfig::instance()->setDeviceID(id); }

void AuthToken::setDevicePassword(const QString& password) { GlobalConfig::instance()->setDevicePassowrd(password); }

void AuthToken::saveDeviceCredentials(const QString& id, const QString& password)
{
    setDeviceID(id);
    setDevicePassword(password);
}
