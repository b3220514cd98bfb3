#pragma once

#include <QString>

// The desktop autostart entry "trovanti.desktop" (GNOME and Unity only).
class LunchOnBoot
{
public:
    static LunchOnBoot* instance();
    static void cleanUp();

    void set(bool on) const;
    bool isSet() const;

    // $XDG_CONFIG_HOME/autostart/trovanti.desktop
    static QString desktopFilePath();

    virtual ~LunchOnBoot() = default;

private:
    LunchOnBoot() = default;
    static bool desktopSupported();
    static LunchOnBoot* instance_;
};
