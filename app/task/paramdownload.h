#pragma once

#include <string>

#include <QString>

#include "task/parambase.h"

// A receive of a key; the peer device id and the comment are what the caller already knows.
class ParamDownload : public ParamBase {
public:
    ParamDownload(const QString& key, const QString& peerDevId, const QString& comment)
        : key_(key), peerDevId_(peerDevId), comment_(comment)
    {
    }
    ParamBase* clone() const override { return new ParamDownload(*this); }

    std::wstring getKey() const { return key_.toStdWString(); }
    const QString& getKey_() const { return key_; }
    const QString& getPeerDevID() const { return peerDevId_; }
    const QString& getComment() const { return comment_; }

private:
    QString key_;
    QString peerDevId_;
    QString comment_;
};
