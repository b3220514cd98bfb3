#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// The real trovanti-service as a child process on a free loopback port with its own data
// directory; stopped with SIGTERM when destroyed.
class ServiceRunner
{
public:
    ServiceRunner();
    ~ServiceRunner();
    ServiceRunner(const ServiceRunner&) = delete;
    ServiceRunner& operator=(const ServiceRunner&) = delete;

    // Starts the service and waits for its "listening on" line; false when it never came.
    bool start();
    int port() const { return port_; }
    QString apiUrl() const;
    QString pushUrl() const;

private:
    QTemporaryDir dataDir_;
    QProcess process_;
    QString log_;
    int port_ = 0;
};

// A port nobody listens on right now.
int freeLoopbackPort();
