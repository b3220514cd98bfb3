#pragma once

#include <vector>

#include <QList>
#include <QString>

#include "ostrel/DeviceInfo.h"

// Ordered list of device records, shared by the three list types.
template <typename Record>
class DevInfoList {
public:
    DevInfoList() = default;
    explicit DevInfoList(const std::vector<Ostrel::DeviceInfo>& devices)
    {
        for (const auto& device : devices)
            records_.append(Record(device));
    }

    int count() const { return records_.size(); }
    // Out of range gives a record with every field empty.
    Record getAt(int index) const { return index >= 0 && index < records_.size() ? records_.at(index) : Record(); }
    // The first entry with this id, or a record with every field empty.
    Record getDevInfo(const QString& deviceId) const
    {
        for (const Record& record : records_)
            if (record.getDeviceID() == deviceId)
                return record;
        return Record();
    }
    void add(const Record& record) { records_.append(record); }
    void clearAll() { records_.clear(); }

protected:
    QList<Record> records_;
};
