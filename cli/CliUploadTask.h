#pragma once

#include <string>
#include <vector>

#include "ostrel/UploadTask.h"
#include "TransferTap.h"

// The send task with what the terminal client adds: an optional rate limit and the start offsets.
class CliUploadTask : public Ostrel::UploadTask {
public:
    CliUploadTask(const std::vector<std::wstring>& paths, Mode mode, unsigned long rateLimit);
    ~CliUploadTask() override;

    const TransferTap& tap() const { return tap_; }
    // "direct" or "relay": the route that carried the files; valid once the task has ended.
    std::string finalRoute() const;

protected:
    bool transferFile(Ostrel::Transfer& channel, const std::string& url, const FileStateEx& record,
                      unsigned long offset) override;

private:
    TransferTap tap_;
};
