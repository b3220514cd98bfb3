#include "core/lunchonboot.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

LunchOnBoot* LunchOnBoot::instance_ = nullptr;

LunchOnBoot* LunchOnBoot::instance()
{
    if (!instance_)
        instance_ = new LunchOnBoot();
    return instance_;
}

void LunchOnBoot::cleanUp()
{
    delete instance_;
    instance_ = nullptr;
}

QString LunchOnBoot::desktopFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::ConfigLocation) + "/autostart/trovanti.desktop";
}

bool LunchOnBoot::desktopSupported()
{
    // Other desktops read the same directory but may treat the GNOME keys differently.
    const QString desktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP").toLower();
    return desktop == "gnome" || desktop == "unity";
}

void LunchOnBoot::set(bool on) const
{
    if (!desktopSupported())
        return;
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::ConfigLocation) + "/autostart";
    QDir().mkpath(dir);
    QFile file(dir + "/trovanti.desktop");
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    // Switching off keeps the file with "false" so the desktop's own switch stays consistent.
    const QByteArray text = QByteArray("[Desktop Entry]\n"
                                       "Type=Application\n"
                                       "Name=Trovanti\n"
                                       "Exec=/usr/bin/trovanti --tray\n"
                                       "X-GNOME-Autostart-Delay=5\n"
                                       "X-GNOME-Autostart-enabled=") +
                            (on ? "true" : "false") + "\n";
    file.write(text);
}

bool LunchOnBoot::isSet() const
{
    if (!desktopSupported())
        return false;
    const QString path = desktopFilePath();
    if (!QFile::exists(path))
        return false;
    QSettings entry(path, QSettings::IniFormat);
    return entry.value("Desktop Entry/X-GNOME-Autostart-enabled", false).toBool();
}
