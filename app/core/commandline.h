#pragma once

#include <QString>
#include <QStringList>

// The start mode chosen by the command line. Arguments are compared exactly and only in the
// shapes below; anything else is the default start.
class CommandLine
{
public:
    enum Mode {
        Default,     // show the main window
        Tray,        // "--tray": start hidden
        Console,     // "--console": log to standard output, window hidden
        Schtasks,    // "--schtasks": scheduled start, runs only on the very first start
        DeviceFiles, // "--device" ID "--files" LIST: send LIST to device ID ("*": any)
    };

    // args[0] is the program path.
    explicit CommandLine(const QStringList& args);

    Mode mode() const { return mode_; }
    const QString& deviceId() const { return deviceId_; }
    const QString& fileList() const { return fileList_; }

private:
    Mode mode_ = Default;
    QString deviceId_;
    QString fileList_;
};
