#pragma once

#include <QList>
#include <QString>

class ParamBase;
class QObject;
class TaskBase;

// Starts every engine operation the GUI asks for and owns the wrappers until shutdown.
// GUI thread only.
class TaskManager {
public:
    static TaskManager* instance();
    static void cleanUp();

    // One-time engine set-up: API key, log and analytics hooks, this application's identity.
    void init();
    // The wrapper for the record's type, not started and not listed; null for an unknown type.
    TaskBase* createTask(const ParamBase& param, QObject* receiver);
    // createTask, then start and list the wrapper; returns it (or null).
    TaskBase* runTask(const ParamBase& param, QObject* receiver);
    void addTask(TaskBase* task);
    // Cancels, waits for and destroys every listed wrapper.
    void clearTask();
    int taskCount() const { return tasks_.size(); }
    const QList<TaskBase*>& tasks() const { return tasks_; }

    static QString getLangCode();
    static void printPrimary(int level, const char* text);
    static void printSecondry(int level, const wchar_t* text);
    static void callbackGA(const char* category, const char* action, const char* label, long long value);

    virtual ~TaskManager();

private:
    TaskManager() = default;
    QList<TaskBase*> tasks_;
    static TaskManager* instance_;
};
