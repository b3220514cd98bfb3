#pragma once

#include <atomic>
#include <functional>
#include <vector>

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include "ostrel/BaseTask.h"

class ParamBase;
class RepeaterBase;

// Wraps one engine task for the GUI: builds it from a parameter record, logs its events, keeps
// the shared credentials up to date and hands results to a repeater. Engine events arrive on the
// task's event thread and leave it only as signals, which Qt queues to the GUI thread.
class TaskBase : public QObject {
    Q_OBJECT
public:
    // Asks the user for proxy credentials; true with the entered values when accepted.
    using ProxyQuestion = std::function<bool(QString& userName, QString& password)>;

    // Takes a copy of the record and ownership of the repeater.
    TaskBase(const ParamBase& param, QObject* receiver, RepeaterBase* repeater);
    ~TaskBase() override;

    virtual void start() = 0;
    virtual void callback(int state, int detail, const void* data);

    void cancel();
    void wait();
    bool isRunning();
    const ParamBase* getParam() const { return param_; }
    Ostrel::BaseTask* getOstrelTask() const { return task_.load(); }
    RepeaterBase* getRepeater() const { return repeater_; }

    // Replaces the modal proxy-credentials dialog (an empty function restores it).
    static void setProxyQuestion(ProxyQuestion question);
    // Registers the record types that travel in queued signals.
    static void registerMetaTypes();

signals:
    void signalProxyAuth();
    void signalDeviceCredentials(const QString& deviceId, const QString& devicePassword);

public slots:
    void slotProxyAuth();
    void slotProxyAuthAccepted();
    void slotProxyAuthRejected();

private slots:
    void slotSaveDeviceCredentials(const QString& deviceId, const QString& devicePassword);

protected:
    // Hands the task the shared credentials, the option and this wrapper's callback, and starts it.
    // A task from an earlier start is kept (it may still deliver its last events) until destruction.
    void launch(Ostrel::BaseTask* task, Ostrel::BaseTask::Option* option);

private:
    void deliver(Ostrel::BaseTask* task, int state, int detail, const void* data);
    static bool askProxyCredentials(QString& userName, QString& password);

    std::atomic<Ostrel::BaseTask*> task_{nullptr};
    std::vector<Ostrel::BaseTask*> retired_;
    ParamBase* param_;
    RepeaterBase* repeater_;

    static ProxyQuestion proxyQuestion_;
    static bool questionOpen_;
    static QList<QPointer<TaskBase>> waitingForAnswer_;
};
