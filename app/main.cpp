#include "core/commandline.h"
#include "core/singleappinstance.h"
#include "core/startupsequence.h"

int main(int argc, char** argv)
{
    auto* app = new SingleAppInstance(argc, argv);
    const CommandLine commandLine(QCoreApplication::arguments());

    if (!app->lock()) {
        const int status = StartupSequence::forwardToRunningInstance(commandLine);
        delete app;
        return status;
    }
    if (!StartupSequence::startServices(commandLine)) {
        delete app;
        return 0;
    }
    const int status = StartupSequence::run(commandLine);
    StartupSequence::shutdown();
    delete app;
    return status;
}
