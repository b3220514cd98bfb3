#pragma once

#include <QFileInfo>
#include <QList>
#include <QString>
#include <QStringList>

#include "task/transfilestate.h"
#include "task/transfilestatelist.h"

// Turns picked paths into the list a send starts from (every entry in state 0). GUI thread only.
class TransFileMaker {
public:
    static TransFileMaker* instance();
    static void cleanUp();

    // Files as themselves, folders as their files (recursively), anything else left out.
    TransFileStateList convert(const QStringList& paths);
    TransFileStateList convert(const QList<QFileInfo>& infos);
    TransFileState convertFileInfo(const QFileInfo& info);
    // The regular, non-hidden files below the folder, named with the folder's own name in front
    // ("Photos/sub/a.jpg"), sorted by name. Symlinked folders inside are not entered, so a link
    // back up the tree cannot loop and nothing outside the picked folder is swept in.
    QList<TransFileState> convertFolderInfo(const QFileInfo& info);
    // "C:/" -> "C_drive/"; empty for anything not ending in ":/".
    QString convertDriveName(const QString& path) const;

private:
    TransFileMaker() = default;
    // A key no other entry made here has had: pointer-like text from a running count.
    QString nextKey();

    quintptr counter_ = 0;
    static TransFileMaker* instance_;
};
