#pragma once

#include <QString>

#include "task/parambase.h"

// Tells the sender whether a pushed key was accepted.
class ParamReplyRecptKey : public ParamBase {
public:
    ParamReplyRecptKey(const QString& key, bool accepted) : key_(key), accepted_(accepted) {}
    ParamBase* clone() const override { return new ParamReplyRecptKey(*this); }
    const QString& getKey() const { return key_; }
    bool isAccepted() const { return accepted_; }

private:
    QString key_;
    bool accepted_;
};
