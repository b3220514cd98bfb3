#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP (session logout, Ctrl-C, kill) into a normal end of the
// event loop, so the shutdown sequence still writes the settings and closes the database.
class UnixSignalWatcher : public QObject
{
    Q_OBJECT
public:
    static UnixSignalWatcher* instance();
    static void cleanUp();

    bool init();

    ~UnixSignalWatcher() override;

private:
    UnixSignalWatcher() = default;
    static void handler(int signal);
    void onSignal();

    QSocketNotifier* notifier_ = nullptr;
    static int fds_[2];
    static UnixSignalWatcher* instance_;
};
