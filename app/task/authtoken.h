#pragma once

#include <QString>

namespace Ostrel {
struct AuthTokenValue;
}

// Holds the one credential record every engine task shares, seeded from and saved to the
// settings ("DEVID", "DEVPASSWORD").
class AuthToken {
public:
    static AuthToken* instance();
    static void cleanUp();

    // Created on first call with the stored device id and password; the same object afterwards.
    Ostrel::AuthTokenValue* getToken();
    void setDeviceID(const QString& id);
    void setDevicePassword(const QString& password);
    // Saves a newly issued device id and password (GUI thread: the settings are not thread-safe).
    void saveDeviceCredentials(const QString& id, const QString& password);

    virtual ~AuthToken();

private:
    AuthToken() = default;
    Ostrel::AuthTokenValue* token_ = nullptr;
    static AuthToken* instance_;
};
