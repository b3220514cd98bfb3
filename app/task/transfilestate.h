#pragma once

#include <QMetaType>
#include <QString>

// The application's view of one file of a transfer. The hash key identifies the entry within its
// list; during a transfer it is derived from the engine record, so later events find the entry.
class TransFileState {
public:
    enum stat : int {
        STAT_NOT_STARTED = 0,
        STAT_OTHER = 1,      // started, paused or announced
        STAT_SERVER = 2,     // moving through the relay server
        STAT_ACTIVE = 3,     // moving, this device is the client
        STAT_PASSIVE = 4,    // moving, this device serves
        STAT_FINISHED = 5,
    };

    TransFileState() = default;
    TransFileState(const QString& hashKey, const QString& path, const QString& name, qint64 fileSize,
                   qint64 transSize, int transState)
        : hashKey_(hashKey), path_(path), name_(name), fileSize_(fileSize), transSize_(transSize),
          transState_(transState)
    {
    }

    const QString& getHashKey() const { return hashKey_; }
    const QString& getPath() const { return path_; }
    const QString& getName() const { return name_; }
    qint64 getFileSize() const { return fileSize_; }
    qint64 getTransSize() const { return transSize_; }
    int getTransState() const { return transState_; }

    void setTransSize(qint64 size) { transSize_ = size; }
    void setTransState(int state) { transState_ = state; }

    bool operator==(const TransFileState& o) const
    {
        return hashKey_ == o.hashKey_ && path_ == o.path_ && name_ == o.name_ && fileSize_ == o.fileSize_ &&
               transSize_ == o.transSize_ && transState_ == o.transState_;
    }

private:
    QString hashKey_;
    QString path_;
    QString name_;
    qint64 fileSize_ = 0;
    qint64 transSize_ = 0;
    int transState_ = STAT_NOT_STARTED;
};

Q_DECLARE_METATYPE(TransFileState)
