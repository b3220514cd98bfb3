#include "task/transfilemaker.h"

#include <algorithm>

#include <QDir>
#include <QDirIterator>

TransFileMaker* TransFileMaker::instance_ = nullptr;

TransFileMaker* TransFileMaker::instance()
{
    if (!instance_)
        instance_ = new TransFileMaker();
    return instance_;
}

void TransFileMaker::cleanUp()
{
    delete instance_;
    instance_ = nullptr;
}

QString TransFileMaker::nextKey()
{
    // Counting keeps keys distinct across every list made in this process, which addresses of
    // short-lived objects would not.
    return QString::asprintf("%8p", reinterpret_cast<const void*>(++counter_));
}

TransFileStateList TransFileMaker::convert(const QStringList& paths)
{
    QList<QFileInfo> infos;
    for (const QString& path : paths)
        infos.append(QFileInfo(path));
    return convert(infos);
}

TransFileStateList TransFileMaker::convert(const QList<QFileInfo>& infos)
{
    TransFileStateList list;
    for (QFileInfo info : infos) {
        info.refresh();
        if (info.isFile()) {
            list.add(convertFileInfo(info));
        } else if (info.isDir()) {
            for (const TransFileState& state : convertFolderInfo(info))
                list.add(state);
        }
    }
    return list;
}

TransFileState TransFileMaker::convertFileInfo(const QFileInfo& info)
{
    return TransFileState(nextKey(), info.absoluteFilePath(), info.fileName(), info.size(), 0,
                          TransFileState::STAT_NOT_STARTED);
}

QList<TransFileState> TransFileMaker::convertFolderInfo(const QFileInfo& info)
{
    QList<TransFileState> states;
    const QString root = QDir::cleanPath(info.absoluteFilePath());
    const QDir dir(root);
    QString prefix = dir.dirName();
    if (dir.isRoot()) {
        prefix = convertDriveName(dir.absolutePath());
        if (prefix.isEmpty())
            return states;
    }
    // Without FollowSymlinks the walk does not enter symlinked folders; symlinked files are sent
    // as the files they point at, dangling ones are skipped (QDir::Files lists only existing ones).
    QDirIterator it(root, QStringList() << "*", QDir::Files, QDirIterator::Subdirectories);
    QList<QFileInfo> files;
    while (it.hasNext()) {
        it.next();
        files.append(it.fileInfo());
    }
    std::sort(files.begin(), files.end(),
              [](const QFileInfo& a, const QFileInfo& b) { return a.absoluteFilePath() < b.absoluteFilePath(); });
    for (const QFileInfo& file : files) {
        const QString path = file.absoluteFilePath();
        const QString relative = path.mid(root.size());
        // Files inside hidden folders count as hidden too.
        if (!path.startsWith(root) || relative.contains("/."))
            continue;
        states.append(TransFileState(nextKey(), path, prefix + relative, file.size(), 0,
                                     TransFileState::STAT_NOT_STARTED));
    }
    return states;
}

QString TransFileMaker::convertDriveName(const QString& path) const
{
    if (path.size() < 3 || !path.endsWith(":/"))
        return QString();
    return path.left(path.size() - 2) + "_drive/";
}
