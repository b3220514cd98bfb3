#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QMetaType>
#include <QString>

// Details of a pushed key, as the query-key wrapper hands them to receivers.
class RecptKeyInfo {
public:
    RecptKeyInfo() = default;
    RecptKeyInfo(const QString& key, const QString& profile, const QString& peerDevId, const QDateTime& sentTime,
                 const QDateTime& expTime, int fileCount, qint64 fileSize, const QString& comment,
                 const QByteArray& thumbnail)
        : key_(key), profile_(profile), peerDevId_(peerDevId), sentTime_(sentTime), expTime_(expTime),
          fileCount_(fileCount), fileSize_(fileSize), comment_(comment), thumbnail_(thumbnail), valid_(true)
    {
    }

    bool isValid() const { return valid_; }
    const QString& getKey() const { return key_; }
    const QString& getProfile() const { return profile_; }
    const QString& getPeerDevID() const { return peerDevId_; }
    const QDateTime& getSentTime() const { return sentTime_; }
    const QDateTime& getExpTime() const { return expTime_; }
    int getFileCount() const { return fileCount_; }
    qint64 getFileSize() const { return fileSize_; }
    const QString& getComment() const { return comment_; }
    const QByteArray& getThumbnail() const { return thumbnail_; }
    // Seconds from now until the key expires (negative once expired).
    qint64 getRemainSec() const { return QDateTime::currentDateTime().secsTo(expTime_); }

private:
    QString key_;
    QString profile_;
    QString peerDevId_;
    QDateTime sentTime_;
    QDateTime expTime_;
    int fileCount_ = 0;
    qint64 fileSize_ = 0;
    QString comment_;
    QByteArray thumbnail_;
    bool valid_ = false;
};

Q_DECLARE_METATYPE(RecptKeyInfo)
