#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

// A temporary home for one test: HOME, XDG_DATA_HOME, XDG_CONFIG_HOME and XDG_RUNTIME_DIR point
// into it while it lives (in this process, and in child processes started with environment()),
// so settings, logs, the instance lock and the local sockets never touch the user's own.
class Sandbox
{
public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    QString root() const { return dir_.path(); }
    QString home() const { return root() + "/home"; }
    QString runtimeDir() const { return root() + "/run"; }
    QString configHome() const { return root() + "/config"; }
    QString dataDir() const { return root() + "/data/Kalvex/Trovanti"; }
    QString settingsFile() const { return dataDir() + "/config/config.ini"; }

    QProcessEnvironment environment() const;

    // Sets an environment variable for the life of the sandbox (restored afterwards).
    void setEnv(const char* name, const QByteArray& value);
    void unsetEnv(const char* name);

private:
    void remember(const char* name);

    QTemporaryDir dir_;
    QList<QPair<QByteArray, QPair<bool, QByteArray>>> saved_;
};

// Reads a whole file; empty when missing.
QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& data);
