#pragma once

#include <QString>

#include "task/parambase.h"

// Changes the signed-in user's password.
class ParamChangePassword : public ParamBase {
public:
    explicit ParamChangePassword(const QString& password) : password_(password) {}
    ParamBase* clone() const override { return new ParamChangePassword(*this); }
    const QString& getPassword() const { return password_; }

private:
    QString password_;
};
