#pragma once

#include <QString>

#include "task/parambase.h"

// Creates a user account.
class ParamRegUser : public ParamBase {
public:
    ParamRegUser(const QString& userId, const QString& password) : userId_(userId), password_(password) {}
    ParamBase* clone() const override { return new ParamRegUser(*this); }
    const QString& getUserID() const { return userId_; }
    const QString& getPassword() const { return password_; }

private:
    QString userId_;
    QString password_;
};
