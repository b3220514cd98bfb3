#include "TransferTap.h"

void TransferTap::noteStart(const Ostrel::TransferTask::FileState* record, uint64_t offset)
{
    std::lock_guard<std::mutex> lock(mutex_);
    offsets_.emplace(record, offset);
}

bool TransferTap::firstOffset(const Ostrel::TransferTask::FileState* record, uint64_t& offset) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = offsets_.find(record);
    if (it == offsets_.end())
        return false;
    offset = it->second;
    return true;
}
