#pragma once

#include <vector>

#include <QByteArray>
#include <QString>

#include "ostrel/UploadTask.h"
#include "task/parambase.h"
#include "task/transfilestatelist.h"

// A send: the picked files, how they travel, an optional key to re-use and a thumbnail.
class ParamUpload : public ParamBase {
public:
    enum MODE : int { MODE_DIRECT = 0, MODE_UPLOAD = 1, MODE_HYBRID = 2 };

    ParamUpload(const TransFileStateList& list, int mode, const QString& key = QString(),
                const QByteArray& thumbnail = QByteArray())
        : list_(list), mode_(mode), key_(key), thumbnail_(thumbnail)
    {
    }
    ParamBase* clone() const override { return new ParamUpload(*this); }

    int getMode() const { return mode_; }
    const QString& getKey() const { return key_; }
    const QByteArray& getThumbnail() const { return thumbnail_; }
    const TransFileStateList& getTransList() const { return list_; }

    // The list in order as engine records of files on disk: size and time 0 and no read function,
    // so the engine measures each file itself.
    std::vector<Ostrel::UploadTask::FileInfo> getFileListStd() const
    {
        std::vector<Ostrel::UploadTask::FileInfo> infos;
        infos.reserve(list_.count());
        for (int i = 0; i < list_.count(); ++i) {
            const TransFileState state = list_.getAt(i);
            Ostrel::UploadTask::FileInfo info;
            info.name = state.getName().toStdWString();
            info.path = state.getPath().toStdWString();
            infos.push_back(info);
        }
        return infos;
    }

private:
    TransFileStateList list_;
    int mode_;
    QString key_;
    QByteArray thumbnail_;
};
