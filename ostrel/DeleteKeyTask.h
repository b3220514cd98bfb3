#pragma once

#include <string>

#include "ostrel/AuthBaseTask.h"

namespace Ostrel {

// Withdraws a transfer key from the service.
class DeleteKeyTask : public AuthBaseTask {
public:
    enum { ERROR_NO_EXIST_KEY = 522 };

    explicit DeleteKeyTask(const std::wstring& key);
    explicit DeleteKeyTask(const wchar_t* key);
    ~DeleteKeyTask() override;

    std::string stateToString(int code) override;

protected:
    int updateServer() override;
    std::string getAnalyticsCategory() override { return "task_delete_key"; }

private:
    std::wstring key_;
};

}  // namespace Ostrel
