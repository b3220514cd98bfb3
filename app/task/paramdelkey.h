#pragma once

#include <QString>

#include "task/parambase.h"

// Withdraws a transfer key.
class ParamDelKey : public ParamBase {
public:
    explicit ParamDelKey(const QString& key) : key_(key) {}
    ParamBase* clone() const override { return new ParamDelKey(*this); }
    const QString& getKey() const { return key_; }

private:
    QString key_;
};
