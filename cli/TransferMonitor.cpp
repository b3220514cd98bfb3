#include "TransferMonitor.h"

#include <algorithm>

#include "ostrel/StringUtil.h"
#include "TransferTap.h"

using Ostrel::TransferTask;
using Clock = std::chrono::steady_clock;

namespace {

constexpr double kRateWindowSeconds = 5.0;

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

TransferMonitor::TransferMonitor(const TransferTap& tap) : tap_(tap) {}

TransferMonitor::Entry& TransferMonitor::entryFor(const TransferTask::FileState* record)
{
    auto it = entries_.find(record);
    if (it == entries_.end()) {
        order_.push_back(record);
        it = entries_.emplace(record, Entry()).first;
    }
    Entry& e = it->second;
    e.name = Ostrel::toUtf8(record->name);
    e.path = Ostrel::toUtf8(record->path);
    e.size = record->size;
    e.skip = record->skip;
    e.transferred = std::max(e.transferred, std::min(record->transferred, record->size));
    return e;
}

TransferMonitor::Notice TransferMonitor::onEvent(int state, int detail, const void* data)
{
    Notice notice;
    std::lock_guard<std::mutex> lock(mutex_);
    if (state == TransferTask::STATE_PREPARING && detail == TransferTask::PREPARING_UPDATED_FILE_LIST && data) {
        for (const auto* record : *static_cast<const std::vector<TransferTask::FileState*>*>(data))
            if (record)
                entryFor(record);
        listed_ = true;
        return notice;
    }
    if (state != TransferTask::STATE_TRANSFERRING || !data)
        return notice;
    const auto* record = static_cast<const TransferTask::FileState*>(data);
    Entry& e = entryFor(record);
    listed_ = true;
    if (!moving_) {
        moving_ = true;
        firstByte_ = Clock::now();
    }
    switch (detail) {
    case TransferTask::TRANSFERRING_ACTIVE:
    case TransferTask::TRANSFERRING_PASSIVE: route_ = "direct"; break;
    case TransferTask::TRANSFERRING_SERVER: route_ = "relay"; break;
    case TransferTask::TRANSFERRING_START_NEW_FILE:
        notice.kind = Notice::FileStarted;
        tap_.firstOffset(record, notice.offset);
        break;
    case TransferTask::TRANSFERRING_END_FILE:
        if (!e.done) {
            e.done = true;
            e.transferred = e.size;
            notice.kind = Notice::FileDone;
        }
        break;
    default: break;
    }
    notice.name = e.name;
    notice.path = e.path;
    notice.size = e.size;
    return notice;
}

void TransferMonitor::markComplete(const std::string& route)
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& kv : entries_) {
        kv.second.done = true;
        kv.second.transferred = kv.second.size;
    }
    if (!route.empty())
        route_ = route;
    finished_ = true;
    finishedAt_ = Clock::now();
}

TransferMonitor::Snapshot TransferMonitor::snapshot()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return snapshotLocked();
}

TransferMonitor::Snapshot TransferMonitor::snapshotLocked()
{
    Snapshot s;
    s.listed = listed_;
    s.moving = moving_;
    s.route = route_;
    for (const auto* record : order_) {
        const Entry& e = entries_[record];
        if (e.skip)
            continue;
        ++s.files;
        if (e.done)
            ++s.filesDone;
        s.totalBytes += e.size;
        s.doneBytes += e.transferred;
        uint64_t offset = 0;
        if (tap_.firstOffset(record, offset)) {
            offset = std::min(offset, e.size);
            s.resumedBytes += offset;
            s.movedBytes += e.transferred > offset ? e.transferred - offset : 0;
        } else if (e.done) {
            s.resumedBytes += e.size;  // settled without moving a byte in this run
        }
    }
    const Clock::time_point now = finished_ ? finishedAt_ : Clock::now();
    if (moving_)
        s.elapsed = seconds(now - firstByte_);
    if (!finished_) {
        samples_.emplace_back(now, s.movedBytes);
        while (samples_.size() > 2 && seconds(now - samples_.front().first) > kRateWindowSeconds)
            samples_.pop_front();
        const double span = seconds(now - samples_.front().first);
        if (span > 0.2)
            s.rate = static_cast<double>(s.movedBytes - samples_.front().second) / span;
    } else if (s.elapsed > 0) {
        s.rate = static_cast<double>(s.movedBytes) / s.elapsed;
    }
    if (s.rate > 0 && s.totalBytes >= s.doneBytes)
        s.eta = static_cast<double>(s.totalBytes - s.doneBytes) / s.rate;
    return s;
}
