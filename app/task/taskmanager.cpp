#include "task/taskmanager.h"

#include <typeinfo>

#include <QLocale>

#include "core/gasender.h"
#include "core/infoprovider.h"
#include "core/log.h"
#include "ostrel/BaseTask.h"
#include "ostrel/Defaults.h"
#include "ostrel/LocalInfo.h"
#include "task/taskchangepassword.h"
#include "task/taskclosenearby.h"
#include "task/taskdelkey.h"
#include "task/taskdownload.h"
#include "task/tasklinksharingdownload.h"
#include "task/tasklogin.h"
#include "task/tasklogout.h"
#include "task/taskmydevlist.h"
#include "task/tasknearby.h"
#include "task/taskpublishnearby.h"
#include "task/taskpushkey.h"
#include "task/taskqueryfriend.h"
#include "task/taskquerykey.h"
#include "task/taskrecptkey.h"
#include "task/taskreguser.h"
#include "task/taskreplyrecptkey.h"
#include "task/taskunreguser.h"
#include "task/taskupdatedevice.h"
#include "task/taskupdatedevthumb.h"
#include "task/taskupload.h"

TaskManager* TaskManager::instance_ = nullptr;

TaskManager* TaskManager::instance()
{
    if (!instance_)
        instance_ = new TaskManager();
    return instance_;
}

void TaskManager::cleanUp()
{
    if (!instance_)
        return;
    instance_->clearTask();
    delete instance_;
    instance_ = nullptr;
}

TaskManager::~TaskManager() { clearTask(); }

void TaskManager::init()
{
    Ostrel::BaseTask::setApiKey(Ostrel::Defaults::kApiKey);
    Ostrel::BaseTask::setDebugLogCallback(&TaskManager::printPrimary, &TaskManager::printSecondry);
    Ostrel::BaseTask::setAnalyticsCallback(&TaskManager::callbackGA);
    Ostrel::LocalInfo::appName = "Trovanti Desktop V2";
    Ostrel::LocalInfo::appVersion = InfoProvider::instance()->getAppVersion().toStdString();
    Ostrel::LocalInfo::osVersion = InfoProvider::instance()->getOSVersion().toStdString();
    Ostrel::LocalInfo::osLanguage = getLangCode().toStdString();
    TaskBase::registerMetaTypes();
    // The analytics hook runs on engine threads; the sender must already exist on this thread.
    GASender::instance();
}

namespace {
// Builds the wrapper when the record is of type P.
template <typename P, typename T>
TaskBase* make(const ParamBase& param, QObject* receiver)
{
    const auto* typed = dynamic_cast<const P*>(&param);
    return typed ? new T(*typed, receiver) : nullptr;
}

// Builds the wrapper only for exactly type P, so a record of a derived type is not taken for it.
template <typename P, typename T>
TaskBase* makeExact(const ParamBase& param, QObject* receiver)
{
    return typeid(param) == typeid(P) ? new T(static_cast<const P&>(param), receiver) : nullptr;
}
}  // namespace

TaskBase* TaskManager::createTask(const ParamBase& param, QObject* receiver)
{
    using Factory = TaskBase* (*)(const ParamBase&, QObject*);
    static const Factory factories[] = {
        make<ParamLogIn, TaskLogIn>,
        make<ParamLogOut, TaskLogOut>,
        make<ParamRegUser, TaskRegUser>,
        make<ParamUnregUser, TaskUnregUser>,
        make<ParamChangePassword, TaskChangePassword>,
        make<ParamMyDevList, TaskMyDevList>,
        make<ParamUpdateDevice, TaskUpdateDevice>,
        make<ParamUpdateDevThumb, TaskUpdateDevThumb>,
        make<ParamQueryFriend, TaskQueryFriend>,
        make<ParamNearby, TaskNearby>,
        make<ParamPublishNearby, TaskPublishNearby>,
        make<ParamCloseNearby, TaskCloseNearby>,
        make<ParamPushKey, TaskPushKey>,
        make<ParamDelKey, TaskDelKey>,
        make<ParamQueryKey, TaskQueryKey>,
        make<ParamRecptKey, TaskRecptKey>,
        make<ParamReplyRecptKey, TaskReplyRecptKey>,
        make<ParamUpload, TaskUpload>,
        make<ParamLinkSharingDownload, TaskLinkSharingDownload>,
        makeExact<ParamDownload, TaskDownload>,
    };
    for (Factory factory : factories)
        if (TaskBase* task = factory(param, receiver))
            return task;
    return nullptr;
}

TaskBase* TaskManager::runTask(const ParamBase& param, QObject* receiver)
{
    TaskBase* task = createTask(param, receiver);
    if (task) {
        task->start();
        addTask(task);
    }
    return task;
}

void TaskManager::addTask(TaskBase* task)
{
    if (task && !tasks_.contains(task))
        tasks_.append(task);
}

void TaskManager::clearTask()
{
    // Cancel all first so they wind down side by side, then wait for each.
    for (TaskBase* task : tasks_)
        task->cancel();
    const QList<TaskBase*> tasks = tasks_;
    tasks_.clear();
    for (TaskBase* task : tasks) {
        task->wait();
        delete task;
    }
}

QString TaskManager::getLangCode() { return QLocale::system().bcp47Name(); }

void TaskManager::printPrimary(int level, const char* text)
{
    Log::getLog(Log::File) << QString::fromUtf8(text ? text : "");
}

void TaskManager::printSecondry(int level, const wchar_t* text)
{
    Log::getLog(Log::File) << (text ? QString::fromWCharArray(text) : QString());
}

void TaskManager::callbackGA(const char* category, const char* action, const char* label, long long value)
{
    GASender::instance()->sendEvent(QString::fromUtf8(category ? category : ""), QString::fromUtf8(action ? action : ""),
                                    QString::fromUtf8(label ? label : ""), QString::number(value));
}
