#pragma once

#include <QMetaType>

#include "task/devinfolist.h"
#include "task/devinfomy.h"

class DevInfoMyList : public DevInfoList<DevInfoMy> {
public:
    using DevInfoList::DevInfoList;
    DevInfoMyList() = default;
    // Out-of-range indexes append.
    void insert(int index, const DevInfoMy& record)
    {
        records_.insert(index < 0 || index > records_.size() ? records_.size() : index, record);
    }
};

Q_DECLARE_METATYPE(DevInfoMyList)
