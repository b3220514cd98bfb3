#include "core/singleappinstance.h"

#include <QFile>
#include <QFontDatabase>
#include <QIcon>
#include <QLocale>
#include <QStandardPaths>

#include "core/infoprovider.h"
#include "core/nativeeventfilter.h"

SingleAppInstance* SingleAppInstance::instance_ = nullptr;
QString SingleAppInstance::robotoFontFamilies;

namespace
{

QString runtimePath(const QString& name)
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + "/" + name;
}

} // namespace

SingleAppInstance::SingleAppInstance(int& argc, char** argv)
    : QApplication(argc, argv), sharedMemory_(QStringLiteral("trovanti")), liveLock_(runtimePath("trovanti.lock"))
{
    // The segment's native key lives in the user's runtime directory, so the lock is per user
    // (a key file in the shared /tmp would let one user's instance block everybody else).
    sharedMemory_.setNativeKey(runtimePath("trovanti"));
    liveLock_.setStaleLockTime(0); // stale only when the owning process is gone
    instance_ = this;
    setWindowIcon(QIcon(":resource/common/application.ico"));
    setAppInfo();
    setDefaultFont();
    setTranslator();
    setNativeEventFilter();
}

SingleAppInstance::~SingleAppInstance()
{
    if (sharedMemory_.isAttached())
        sharedMemory_.detach();
    if (liveLock_.isLocked())
        liveLock_.unlock();
    if (nativeFilter_) {
        removeNativeEventFilter(nativeFilter_);
        delete nativeFilter_;
    }
    instance_ = nullptr;
}

bool SingleAppInstance::lock()
{
    // A segment outlives an instance that crashed. The lock file, whose owner's process id is
    // checked, tells a live instance from such a leftover.
    if (!liveLock_.tryLock(0))
        return false;
    if (sharedMemory_.attach()) {
        // Only a dead instance can have left this: detaching as the last user removes it.
        sharedMemory_.detach();
    }
    if (sharedMemory_.create(1, QSharedMemory::ReadWrite))
        return true;
    liveLock_.unlock();
    return false;
}

void SingleAppInstance::requestQuit()
{
    if (instance_)
        instance_->quitRequested_ = true;
    QCoreApplication::quit();
}

bool SingleAppInstance::isQuitRequested()
{
    return instance_ && instance_->quitRequested_;
}

QFont SingleAppInstance::getRobotoFont()
{
    QFont font(robotoFontFamilies);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    return font;
}

void SingleAppInstance::setAppInfo()
{
    setOrganizationName("Kalvex");
    setApplicationName("Trovanti");
    setApplicationVersion(InfoProvider::instance()->getAppVersion());
    setOrganizationDomain("kalvex.com");
}

QStringList SingleAppInstance::fontDirectories()
{
    return {applicationDirPath() + "/font/", "/usr/share/fonts/truetype/roboto/unhinted/RobotoTTF/",
            "/usr/share/fonts/truetype/roboto/hinted/", "/usr/share/fonts/truetype/nanum/",
            "/usr/share/fonts/truetype/migu/"};
}

QString SingleAppInstance::findFont(const QString& fileName)
{
    for (const QString& dir : fontDirectories()) {
        if (QFile::exists(dir + fileName))
            return dir + fileName;
    }
    return QString();
}

void SingleAppInstance::setDefaultFont()
{
    const QStringList files = {"NanumBarunGothic.ttf", "NanumBarunGothicBold.ttf", "Roboto-Regular.ttf",
                               "Roboto-Bold.ttf",      "miguRegular.ttf",          "miguBold.ttf"};
    QList<int> ids;
    for (const QString& name : files) {
        const QString path = findFont(name);
        ids.append(path.isEmpty() ? -1 : QFontDatabase::addApplicationFont(path));
    }
    auto firstFamily = [&](int regular, int bold) -> QString {
        if (ids[regular] < 0 || ids[bold] < 0)
            return QString();
        const QStringList families = QFontDatabase::applicationFontFamilies(ids[regular]);
        return families.isEmpty() ? QString() : families.first();
    };

    QString family;
    switch (QLocale::system().language()) {
    case QLocale::Korean:
        family = firstFamily(0, 1);
        break;
    case QLocale::Japanese:
        family = firstFamily(4, 5);
        break;
    default:
        family = firstFamily(2, 3);
        break;
    }
    if (!family.isEmpty())
        setFont(QFont(family));
    const QString roboto = firstFamily(2, 3);
    if (!roboto.isEmpty())
        robotoFontFamilies = roboto;
}

QString SingleAppInstance::translationFileName(const QLocale& locale)
{
    switch (locale.language()) {
    case QLocale::Korean:
        return "lang_ko.qm";
    case QLocale::Japanese:
        return "lang_ja.qm";
    default:
        return QString();
    }
}

bool SingleAppInstance::loadTranslation(const QLocale& locale)
{
    if (translatorInstalled_) {
        removeTranslator(&translator_);
        translatorInstalled_ = false;
    }
    const QString name = translationFileName(locale);
    if (name.isEmpty())
        return false;
    // A file in the working directory overrides the built-in one (for translators at work).
    const bool loaded = QFile::exists(name) ? translator_.load(name) : translator_.load(":/resource/lang/" + name);
    if (!loaded)
        return false;
    translatorInstalled_ = installTranslator(&translator_);
    return translatorInstalled_;
}

void SingleAppInstance::setTranslator()
{
    loadTranslation(QLocale::system());
}

void SingleAppInstance::setNativeEventFilter()
{
    nativeFilter_ = new NativeEventFilter();
    installNativeEventFilter(nativeFilter_);
}
