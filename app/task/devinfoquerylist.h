#pragma once

#include <QMetaType>
#include <QStringList>

#include "task/devinfolist.h"
#include "task/devinfoquery.h"

class DevInfoQueryList : public DevInfoList<DevInfoQuery> {
public:
    using DevInfoList::DevInfoList;
    DevInfoQueryList() = default;
    // Requested ids the service no longer knows.
    const QStringList& getRemoveList() const { return removeList_; }
    void setRemoveList(const QStringList& ids) { removeList_ = ids; }

private:
    QStringList removeList_;
};

Q_DECLARE_METATYPE(DevInfoQueryList)
