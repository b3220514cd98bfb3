#pragma once

#include <memory>

#include <QSettings>

#include "core/gasender.h"
#include "core/globalconfig.h"
#include "sandbox.h"
#include "task/authtoken.h"
#include "task/taskbase.h"
#include "task/taskmanager.h"

// A fresh settings file in its own sandbox, a fresh task manager and fresh shared credentials;
// everything is torn down (tasks first) when it goes.
class TaskSandbox
{
public:
    TaskSandbox()
    {
        box_.unsetEnv("TROVANTI_API_URL");
        box_.unsetEnv("TROVANTI_PUSH_URL");
        box_.setEnv("TROVANTI_ANALYTICS_URL", "");
        restartConfig();
        TaskManager::instance()->init();
    }
    ~TaskSandbox()
    {
        TaskManager::cleanUp();
        AuthToken::cleanUp();
        TaskBase::setProxyQuestion(nullptr);
        GASender::cleanUp();
        GlobalConfig::cleanUp();
    }

    // One more program start as far as the settings go: the file is written and read again.
    GlobalConfig* restartConfig()
    {
        GlobalConfig::cleanUp();
        GlobalConfig::instance()->init();
        return GlobalConfig::instance();
    }
    // What the file says, read independently of GlobalConfig.
    QVariant stored(const QString& key) const
    {
        QSettings file(box_.settingsFile(), QSettings::IniFormat);
        return file.value(key);
    }
    Sandbox& box() { return box_; }

private:
    Sandbox box_;
};
