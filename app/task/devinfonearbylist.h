#pragma once

#include <QMetaType>

#include "task/devinfolist.h"
#include "task/devinfonearby.h"

class DevInfoNearbyList : public DevInfoList<DevInfoNearby> {
public:
    using DevInfoList::DevInfoList;
    DevInfoNearbyList() = default;
};

Q_DECLARE_METATYPE(DevInfoNearbyList)
