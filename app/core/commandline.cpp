#include "core/commandline.h"

CommandLine::CommandLine(const QStringList& args)
{
    if (args.size() == 2) {
        const QString& arg = args.at(1);
        if (arg == "--tray")
            mode_ = Tray;
        else if (arg == "--console")
            mode_ = Console;
        else if (arg == "--schtasks")
            mode_ = Schtasks;
    } else if (args.size() == 5 && args.at(1) == "--device" && args.at(3) == "--files") {
        mode_ = DeviceFiles;
        deviceId_ = args.at(2);
        fileList_ = args.at(4);
    }
}
