#include "task/taskbase.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <typeinfo>

#include <QMetaType>

#include "core/globalconfig.h"
#include "core/log.h"
#include "core/singleappinstance.h"
#include "ostrel/AuthBaseTask.h"
#include "ostrel/AuthTokenValue.h"
#include "task/authtoken.h"
#include "task/devinfomylist.h"
#include "task/devinfonearbylist.h"
#include "task/devinfoquerylist.h"
#include "task/parambase.h"
#include "task/proxyauthdialog.h"
#include "task/recptkeyinfo.h"
#include "task/repeaterbase.h"

TaskBase::ProxyQuestion TaskBase::proxyQuestion_;
bool TaskBase::questionOpen_ = false;
QList<QPointer<TaskBase>> TaskBase::waitingForAnswer_;

namespace {
QString typeName(const Ostrel::BaseTask& task)
{
    const char* mangled = typeid(task).name();
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> plain(abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
    return QString::fromUtf8(status == 0 && plain ? plain.get() : mangled);
}

void release(Ostrel::BaseTask* task)
{
    if (!task)
        return;
    if (task->isRunning())
        task->cancel();
    task->wait();
    delete task;
}
}  // namespace

void TaskBase::registerMetaTypes()
{
    static const bool done = [] {
        qRegisterMetaType<DevInfoMyList>("DevInfoMyList");
        qRegisterMetaType<DevInfoNearbyList>("DevInfoNearbyList");
        qRegisterMetaType<DevInfoQueryList>("DevInfoQueryList");
        qRegisterMetaType<RecptKeyInfo>("RecptKeyInfo");
        return true;
    }();
    (void)done;
}

TaskBase::TaskBase(const ParamBase& param, QObject* receiver, RepeaterBase* repeater)
    : QObject(nullptr), param_(param.clone()), repeater_(repeater)
{
    registerMetaTypes();
    connect(this, SIGNAL(signalProxyAuth()), this, SLOT(slotProxyAuth()));
    connect(this, &TaskBase::signalDeviceCredentials, this, &TaskBase::slotSaveDeviceCredentials);
}

TaskBase::~TaskBase()
{
    waitingForAnswer_.removeAll(QPointer<TaskBase>(this));
    release(task_.exchange(nullptr));
    for (Ostrel::BaseTask* task : retired_)
        release(task);
    delete repeater_;
    delete param_;
}

void TaskBase::launch(Ostrel::BaseTask* task, Ostrel::BaseTask::Option* option)
{
    task->setAuthTokenValue(AuthToken::instance()->getToken());
    task->setOptionValues(option);
    task->setCallback([this, task](int state, int detail, const void* data) { deliver(task, state, detail, data); });
    if (Ostrel::BaseTask* earlier = task_.exchange(task))
        retired_.push_back(earlier);
    task->start();
}

void TaskBase::deliver(Ostrel::BaseTask* task, int state, int detail, const void* data)
{
    Log::getLog(Log::Both) << typeName(*task) << " " << QString::fromStdString(task->stateToString(state)) << ":"
                           << QString::fromStdString(task->stateToString(detail)) << "\n";
    callback(state, detail, data);
}

void TaskBase::callback(int state, int detail, const void* data)
{
    switch (state) {
    case Ostrel::AuthBaseTask::STATE_PREPARING:
        if (detail == Ostrel::AuthBaseTask::PREPARING_UPDATED_DEVICE_ID) {
            // The issuing task holds the record's lock while it posts this event, so the values are
            // read without it; they are saved on the GUI thread, which owns the settings.
            const Ostrel::AuthTokenValue* token = AuthToken::instance()->getToken();
            emit signalDeviceCredentials(QString::fromStdString(token->deviceId),
                                         QString::fromStdString(token->devicePassword));
        }
        break;
    case Ostrel::BaseTask::STATE_ERROR:
        if (detail == Ostrel::BaseTask::ERROR_PROXY_AUTHENTICATION)
            emit signalProxyAuth();
        repeater_->sendError(detail);
        break;
    case Ostrel::BaseTask::STATE_FINISHED:
        repeater_->sendFinish(detail);
        break;
    default:
        break;
    }
}

void TaskBase::cancel()
{
    if (Ostrel::BaseTask* task = task_.load())
        task->cancel();
}

void TaskBase::wait()
{
    if (Ostrel::BaseTask* task = task_.load())
        task->wait();
}

bool TaskBase::isRunning()
{
    Ostrel::BaseTask* task = task_.load();
    return task && task->isRunning();
}

void TaskBase::slotSaveDeviceCredentials(const QString& deviceId, const QString& devicePassword)
{
    AuthToken::instance()->setDeviceID(deviceId);
    AuthToken::instance()->setDevicePassword(devicePassword);
}

void TaskBase::setProxyQuestion(ProxyQuestion question) { proxyQuestion_ = std::move(question); }

bool TaskBase::askProxyCredentials(QString& userName, QString& password)
{
    if (proxyQuestion_)
        return proxyQuestion_(userName, password);
    return ProxyAuthDialog::ask(userName, password);
}

void TaskBase::slotProxyAuth()
{
    // Several tasks may hit the proxy at once: one question, and its answer serves them all.
    if (questionOpen_) {
        if (!waitingForAnswer_.contains(QPointer<TaskBase>(this)))
            waitingForAnswer_.append(QPointer<TaskBase>(this));
        return;
    }
    questionOpen_ = true;
    QString userName = GlobalConfig::instance()->getProxyUserName();
    QString password = GlobalConfig::instance()->getProxyPassword();
    const bool accepted = askProxyCredentials(userName, password);
    if (accepted) {
        GlobalConfig::instance()->setProxyUserName(userName);
        GlobalConfig::instance()->setProxyPassword(password);
    }
    questionOpen_ = false;
    QList<QPointer<TaskBase>> answered = waitingForAnswer_;
    waitingForAnswer_.clear();
    answered.prepend(QPointer<TaskBase>(this));
    for (const QPointer<TaskBase>& task : answered) {
        if (!task)
            continue;
        if (accepted)
            task->slotProxyAuthAccepted();
        else
            task->slotProxyAuthRejected();
    }
}

void TaskBase::slotProxyAuthAccepted() { start(); }

void TaskBase::slotProxyAuthRejected() { SingleAppInstance::requestQuit(); }
