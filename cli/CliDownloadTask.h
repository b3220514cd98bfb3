#pragma once

#include <string>
#include <vector>

#include "ostrel/DownloadTask.h"
#include "TransferTap.h"

// The receive task with what the terminal client adds: a selection of names and a pattern together
// with an explicit folder, an optional rate limit, and the start offsets of resumed files.
class CliDownloadTask : public Ostrel::DownloadTask {
public:
    CliDownloadTask(const std::wstring& key, const std::wstring& directory, const std::vector<std::wstring>& selected,
                    const std::wstring& pattern, unsigned long rateLimit);
    ~CliDownloadTask() override;

    const TransferTap& tap() const { return tap_; }
    // "direct" or "relay": the route that carried the files; valid once the task has ended.
    std::string finalRoute() const;

protected:
    bool transferFile(Ostrel::Transfer& channel, const std::string& url, const FileStateEx& record,
                      unsigned long offset) override;

private:
    TransferTap tap_;
};
