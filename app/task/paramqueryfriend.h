#pragma once

#include <string>
#include <vector>

#include <QStringList>

#include "task/parambase.h"

// Looks devices up by id.
class ParamQueryFriend : public ParamBase {
public:
    explicit ParamQueryFriend(const QStringList& deviceIds) : deviceIds_(deviceIds) {}
    ParamBase* clone() const override { return new ParamQueryFriend(*this); }
    // The ids as UTF-8, in the order given.
    std::vector<std::string> getDevIDList() const
    {
        std::vector<std::string> ids;
        ids.reserve(deviceIds_.size());
        for (const QString& id : deviceIds_)
            ids.push_back(id.toStdString());
        return ids;
    }
    const QStringList& getDevIDs() const { return deviceIds_; }

private:
    QStringList deviceIds_;
};
