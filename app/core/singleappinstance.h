#pragma once

#include <QApplication>
#include <QFont>
#include <QLockFile>
#include <QSharedMemory>
#include <QTranslator>

class NativeEventFilter;

// The application object: identity, fonts, translation, and the once-per-user lock.
class SingleAppInstance : public QApplication
{
    Q_OBJECT
public:
    SingleAppInstance(int& argc, char** argv);
    ~SingleAppInstance() override;

    // True when this is the only instance of the user; the lock lasts as long as this object.
    bool lock();

    static void requestQuit();
    static bool isQuitRequested();
    static QFont getRobotoFont();

    // "lang_ko.qm" for Korean, "lang_ja.qm" for Japanese, else empty.
    static QString translationFileName(const QLocale& locale);
    // Replaces the installed translation by the one for this locale; false when there is none.
    bool loadTranslation(const QLocale& locale);

    // Directories searched for the bundled font files: beside the program first, then the
    // locations where Debian's font packages put them.
    static QStringList fontDirectories();

private:
    void setAppInfo();
    void setDefaultFont();
    void setTranslator();
    void setNativeEventFilter();
    static QString findFont(const QString& fileName);

    QSharedMemory sharedMemory_;
    QLockFile liveLock_;
    QTranslator translator_;
    bool translatorInstalled_ = false;
    NativeEventFilter* nativeFilter_ = nullptr;
    bool quitRequested_ = false;

    static SingleAppInstance* instance_;
    static QString robotoFontFamilies;
};
