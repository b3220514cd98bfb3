#pragma once

#include <QString>

#include "task/parambase.h"

// Signs a user in.
class ParamLogIn : public ParamBase {
public:
    ParamLogIn(const QString& userId, const QString& password) : userId_(userId), password_(password) {}
    ParamBase* clone() const override { return new ParamLogIn(*this); }
    const QString& getUserID() const { return userId_; }
    const QString& getPassword() const { return password_; }

private:
    QString userId_;
    QString password_;
};
