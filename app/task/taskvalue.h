#pragma once

#include <boost/any.hpp>

#include "ostrel/BaseTask.h"

// Reads a value an engine task publishes; false (out untouched) when it is missing or of another type.
template <typename T>
bool readTaskValue(Ostrel::BaseTask* task, int key, T& out)
{
    if (!task)
        return false;
    const boost::any value = task->getValue(key);
    if (const T* typed = boost::any_cast<T>(&value)) {
        out = *typed;
        return true;
    }
    return false;
}

inline bool isSuccess(int state, int detail)
{
    return state == Ostrel::BaseTask::STATE_FINISHED && detail == Ostrel::BaseTask::FINISHED_SUCCESS;
}
