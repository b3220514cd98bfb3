#include <QDir>
#include <QTemporaryDir>

#include "core/singleappinstance.h"
#include "suites.h"

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Never talk to a proxy: every request of these tests goes to 127.0.0.1.
    for (const char* name : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
        qunsetenv(name);
    // A private home for anything the application object touches before a test's own sandbox.
    QTemporaryDir base(QDir::tempPath() + "/trovanti-app-test-XXXXXX");
    qputenv("HOME", base.path().toUtf8());
    qputenv("XDG_DATA_HOME", (base.path() + "/data").toUtf8());
    qputenv("XDG_CONFIG_HOME", (base.path() + "/config").toUtf8());
    qputenv("XDG_RUNTIME_DIR", base.path().toUtf8());

    SingleAppInstance app(argc, argv);
    int failed = 0;
    for (auto run : {runGlobalConfigTests, runPasswordEncoderTests, runLunchOnBootTests, runLogTests, runGASenderTests,
                     runSingleAppTests, runSingleInstanceTests, runTaskOptionTests, runTaskManagerTests,
                     runTaskProxyTests, runTransFileStateTests, runTransFileMakerTests, runTransferTaskTests})
        failed += run(argc, argv) != 0 ? 1 : 0;
    return failed;
}
