#include "core/startupsequence.h"

#include <QApplication>
#include <QString>

#include "core/cachepath.h"
#include "core/commandline.h"
#include "core/filelogwriter.h"
#include "core/gasender.h"
#include "core/globalconfig.h"
#include "core/infoprovider.h"
#include "core/localipcclient.h"
#include "core/localipcserver.h"
#include "core/log.h"
#include "core/lunchonboot.h"
#include "core/passwordencoder.h"
#include "core/unixsignalwatcher.h"
#include "core/writablepathchecker.h"
#include "task/authtoken.h"
#include "task/taskmanager.h"
#include "ui/mainwidget.h"

int StartupSequence::forwardToRunningInstance(const CommandLine& commandLine)
{
    // A scheduled start must not disturb a running instance.
    if (commandLine.mode() != CommandLine::Schtasks) {
        LocalIPCClient::instance()->sendShowOn();
        if (commandLine.mode() == CommandLine::DeviceFiles)
            LocalIPCClient::instance()->sendFiles(commandLine.deviceId(), commandLine.fileList());
    }
    LocalIPCClient::cleanUp();
    return -1;
}

bool StartupSequence::startServices(const CommandLine& commandLine)
{
    GlobalConfig::instance()->init();
    // Console logging is on from the very first line, the start banner included.
    if (commandLine.mode() == CommandLine::Console)
        GlobalConfig::instance()->setConsole(true);
    FileLogWriter::instance()->init();
    // The history database and then the task manager (API key, engine log and analytics hooks,
    // local device information) start here, in that order.
    TaskManager::instance()->init();
    LocalIPCServer::instance()->init();
    QObject::connect(LocalIPCServer::instance(), &LocalIPCServer::showOnRequested,
                     [] { MainWidget::instance()->showWindows(); });
    QObject::connect(LocalIPCServer::instance(), &LocalIPCServer::filesRequested, &StartupSequence::handOverFiles);
    // The tray icon is created here.
    GASender::instance()->init();
    // The device-picture context writer and the start-up device update follow; the device
    // update returns false when a quit has been requested, and start-up then ends here.
    UnixSignalWatcher::instance()->init();
    return true;
}

int StartupSequence::run(const CommandLine& commandLine)
{
    Log::getLog(Log::Both) << "------------V " << InfoProvider::instance()->getAppVersion() << "------------\n";

    switch (commandLine.mode()) {
    case CommandLine::Tray:
    case CommandLine::Console:
        MainWidget::instance();
        break;
    case CommandLine::Schtasks:
        // The scheduled start only matters the first time; later ones leave at once.
        if (GlobalConfig::instance()->getRunCount() != 1)
            return -1;
        MainWidget::instance()->showWindows();
        break;
    case CommandLine::DeviceFiles:
        MainWidget::instance()->showWindows();
        handOverFiles(commandLine.deviceId(), commandLine.fileList());
        break;
    case CommandLine::Default:
        MainWidget::instance()->showWindows();
        break;
    }
    return QApplication::exec();
}

void StartupSequence::handOverFiles(const QString& deviceId, const QString& fileList)
{
    // The send flow (SendFileAdder::addFiles) takes the request from here.
    Log::getLog(Log::Both) << "Send request for device \"" << deviceId << "\": " << fileList << "\n";
}

void StartupSequence::shutdown()
{
    // Everything that may still write history, notifications or peer devices goes before the
    // database; everything that may still log goes before the file log; the settings go last
    // of those three.
    MainWidget::cleanUp();
    // tray icon creator
    TaskManager::cleanUp();
    AuthToken::cleanUp();
    // transfer file maker
    InfoProvider::cleanUp();
    LunchOnBoot::cleanUp();
    PasswordEncoder::cleanUp();
    LocalIPCServer::cleanUp();
    // size convertor, history write helper, HistoryManager, history table printer,
    // NotificationSQLManager, notification table printer, PeerDevSQLManager, peer device table
    // printer, SQL (closes the database), update checker
    FileLogWriter::cleanUp();
    GlobalConfig::cleanUp(); // writes the settings file
    // text pixmap maker, thumbnail provider, send file adder
    CachePath::cleanUp();
    // time format provider, safe closer
    WritablePathChecker::cleanUp();
    GASender::cleanUp();
    // receive invoker, send invoker, device pixmap provider, my-device list manager, device-room
    // state provider, main thumbnail extractor, thumbnail writer, device-picture context writer,
    // IronSender, wheel event sender, firewall manager
    UnixSignalWatcher::cleanUp();
    LocalIPCClient::cleanUp();
}
