#pragma once

#include <QString>

#include "task/parambase.h"

// Fetches the details of a pushed key.
class ParamQueryKey : public ParamBase {
public:
    explicit ParamQueryKey(const QString& key) : key_(key) {}
    ParamBase* clone() const override { return new ParamQueryKey(*this); }
    const QString& getKey() const { return key_; }

private:
    QString key_;
};
