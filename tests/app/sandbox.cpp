#include "sandbox.h"

#include <QDir>
#include <QFile>

Sandbox::Sandbox() : dir_(QDir::tempPath() + "/trovanti-app-test-XXXXXX")
{
    QDir().mkpath(home());
    QDir().mkpath(configHome());
    QDir().mkpath(runtimeDir());
    QFile::setPermissions(runtimeDir(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    setEnv("HOME", home().toUtf8());
    setEnv("XDG_DATA_HOME", (root() + "/data").toUtf8());
    setEnv("XDG_CONFIG_HOME", configHome().toUtf8());
    setEnv("XDG_RUNTIME_DIR", runtimeDir().toUtf8());
}

Sandbox::~Sandbox()
{
    for (int i = saved_.size() - 1; i >= 0; --i) {
        const auto& entry = saved_.at(i);
        if (entry.second.first)
            qputenv(entry.first.constData(), entry.second.second);
        else
            qunsetenv(entry.first.constData());
    }
}

void Sandbox::remember(const char* name)
{
    saved_.append({QByteArray(name), {qEnvironmentVariableIsSet(name), qgetenv(name)}});
}

void Sandbox::setEnv(const char* name, const QByteArray& value)
{
    remember(name);
    qputenv(name, value);
}

void Sandbox::unsetEnv(const char* name)
{
    remember(name);
    qunsetenv(name);
}

QProcessEnvironment Sandbox::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home());
    env.insert("XDG_DATA_HOME", root() + "/data");
    env.insert("XDG_CONFIG_HOME", configHome());
    env.insert("XDG_RUNTIME_DIR", runtimeDir());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    // Analytics off: child processes must not post to a service that may run on this machine.
    env.insert("TROVANTI_ANALYTICS_URL", "");
    return env;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

void writeFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(data);
}
