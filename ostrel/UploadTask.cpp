#include "ostrel/UploadTask.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <set>

#include <boost/filesystem.hpp>

#include "ostrel/FileUtil.h"
#include "ostrel/HttpImage.h"
#include "ostrel/JsonUtil.h"
#include "ostrel/LogFunc.h"
#include "ostrel/StringUtil.h"
#include "ostrel/URLEncodeUtil.h"

namespace fs = boost::filesystem;

namespace Ostrel {

namespace {

// How long a finished main session waits for a direct session that never got a route.
constexpr auto kDirectGrace = std::chrono::milliseconds(3000);

fs::path toPath(const std::wstring& path) { return fs::path(toUtf8(path)); }
std::wstring fromPath(const fs::path& path) { return fromUtf8(path.string()); }

}  // namespace

UploadTask::UploadTask(const std::vector<std::wstring>& paths, const std::vector<FileInfo>& infos,
                       const std::wstring& key, bool upload, bool)
    : paths_(paths), infos_(infos)
{
    key_ = key;
    mode_ = upload ? MODE_UPLOAD : MODE_DIRECT;
}

UploadTask::UploadTask(const std::vector<std::wstring>& paths, const std::vector<FileInfo>& infos, Mode mode,
                       const std::wstring& thumbnailPath, const std::wstring& key)
    : paths_(paths), infos_(infos)
{
    key_ = key;
    mode_ = mode;
    if (!thumbnailPath.empty())
        loadImage(thumbnailPath, thumbnail_);
}

UploadTask::UploadTask(const std::vector<std::wstring>& paths, Mode mode, const std::wstring& key)
    : UploadTask(paths, std::vector<FileInfo>(), mode, std::wstring(), key)
{
}

UploadTask::UploadTask(const std::vector<std::wstring>& paths, const std::vector<FileInfo>& infos, Mode mode,
                       const std::wstring& key)
    : UploadTask(paths, infos, mode, std::wstring(), key)
{
}

UploadTask::UploadTask(const std::vector<std::wstring>& paths, Mode mode, const std::wstring& thumbnailPath,
                       const std::wstring& key)
    : UploadTask(paths, std::vector<FileInfo>(), mode, thumbnailPath, key)
{
}

UploadTask::UploadTask(const std::vector<std::wstring>& paths, const std::vector<FileInfo>& infos, Mode mode,
                       const std::vector<unsigned char>& thumbnail, const std::wstring& key)
    : paths_(paths), infos_(infos), thumbnail_(thumbnail)
{
    key_ = key;
    mode_ = mode;
}

UploadTask::UploadTask(const std::vector<std::wstring>& paths, Mode mode, const std::vector<unsigned char>& thumbnail,
                       const std::wstring& key)
    : UploadTask(paths, std::vector<FileInfo>(), mode, thumbnail, key)
{
}

UploadTask::~UploadTask()
{
    stopRun();
}

std::string UploadTask::stateToString(int code)
{
    switch (code) {
    case ERROR_NO_REQUEST: return "ERROR_NO_REQUEST";
    case ERROR_NO_EXIST_FILE: return "ERROR_NO_EXIST_FILE";
    default: return TransferTask::stateToString(code);
    }
}

boost::any UploadTask::getValue(int key)
{
    switch (key) {
    case VALUE_LINK: return link_;
    case VALUE_CREATED_TIME: return static_cast<int>(createdTime_);
    case VALUE_VALIDITY: return static_cast<int>(validity_);
    default: return TransferTask::getValue(key);
    }
}

const void* UploadTask::getValuePtr(int key)
{
    switch (key) {
    case VALUE_LINK: return &link_;
    case VALUE_CREATED_TIME: return &createdTime_;
    case VALUE_VALIDITY: return &validity_;
    default: return TransferTask::getValuePtr(key);
    }
}

void UploadTask::setOptionValues(BaseTask::Option* option)
{
    TransferTask::setOptionValues(option);
    if (auto* own = dynamic_cast<UploadTask::Option*>(option)) {
        saveToServerTimeout_ = own->getSaveToServerTimeout();
        keyType_ = own->getKeyType();
        region_ = own->getRegion();
        watch_ = own->isWatchReceivedFile();
    }
}

void UploadTask::wait()
{
    TransferTask::wait();
    if (thumbnailThread_.joinable())
        thumbnailThread_.join();
}

void UploadTask::setUploadFileList(const std::vector<std::wstring>& paths)
{
    for (const auto& source : paths) {
        try {
            const fs::path path = toPath(source);
            if (fs::is_directory(path)) {
                if (fs::is_empty(path))
                    File::createFile(fromPath(path / ".empty"));
                fs::path trimmed = path;
                while (trimmed.string().size() > 1 && trimmed.string().back() == '/')
                    trimmed = fs::path(trimmed.string().substr(0, trimmed.string().size() - 1));
                std::wstring parent = fromPath(trimmed.parent_path());
                if (parent == L"/")
                    parent.clear();
                size_t prefix = 0;
                if (!parent.empty())
                    prefix = parent.size() + 1;
                else if (!source.empty() && source[0] == L'/')
                    prefix = 1;
                std::vector<std::wstring> found;
                for (fs::recursive_directory_iterator it(trimmed), end; it != end; ++it) {
                    if (fs::is_regular_file(it->symlink_status()))
                        found.push_back(fromPath(it->path()));
                }
                std::sort(found.begin(), found.end());
                for (const auto& full : found) {
                    auto* record = new FileStateEx();
                    record->path = full;
                    record->name = full.substr(std::min(prefix, full.size()));
                    files_.push_back(record);
                }
            } else {
                auto* record = new FileStateEx();
                record->name = fromPath(path.filename());
                record->path = source;
                files_.push_back(record);
            }
        } catch (const fs::filesystem_error& error) {
            debugLog(format("file list: %1%\n", error.what()));
        }
    }
}

void UploadTask::setUploadFileList(const std::vector<FileInfo>& infos)
{
    for (const auto& info : infos) {
        auto* record = new FileStateEx();
        record->name = info.name;
        record->path = info.path;
        record->size = info.size;
        record->time = info.time;
        record->stream = info.read;
        files_.push_back(record);
    }
}

void UploadTask::removeDuplicatedName()
{
    std::set<std::wstring> used;
    for (auto* record : files_) {
        std::wstring candidate = record->name;
        int j = 0;
        bool gaveUp = false;
        while (used.count(candidate)) {
            if (++j > 99) {
                gaveUp = true;
                break;
            }
            const fs::path name = toPath(record->name);
            const std::string file = format("%1%-%2%%3%", name.stem().string(), j, name.extension().string());
            candidate = fromPath(name.parent_path().empty() ? fs::path(file) : name.parent_path() / file);
        }
        if (gaveUp) {
            used.insert(record->name);
            continue;
        }
        if (j > 0)
            record->name = candidate;
        used.insert(candidate);
    }
}

int UploadTask::updateKey()
{
    if (files_.empty()) {
        setUploadFileList(paths_);
        setUploadFileList(infos_);
        removeDuplicatedName();
    }
    Json::Value request(Json::objectValue);
    setJsonValue(request, "key", key_);
    request["region"] = region_;
    request["watch"] = watch_;
    request["mode"] = mode_ == MODE_UPLOAD ? "upload" : mode_ == MODE_HYBRID ? "hybrid" : mode_ == MODE_DIRECT ? "direct" : "";
    if (saveToServerTimeout_ > 0 && mode_ == MODE_UPLOAD)
        request["timeout"] = saveToServerTimeout_;
    if (keyType_ > 0)
        request["secure"] = keyType_;
    request["file"] = Json::Value();
    for (auto* record : files_) {
        Json::Value item(Json::objectValue);
        item["name"] = toUtf8(record->name);
        if (!record->stream) {
            if (!File::exists(record->path)) {
                debugLog(format("file no longer exists: %1%\n", record->path));
                progress(STATE_ERROR, ERROR_NO_EXIST_FILE);
                return 0;
            }
            record->size = File::size(record->path);
            record->time = static_cast<int32_t>(File::lastWriteTime(record->path));
        }
        item["size"] = Json::UInt64(record->size);
        request["file"].append(item);
    }
    progress(STATE_PREPARING, PREPARING_REQUEST_KEY);
    Json::Value response;
    const std::string path =
        key_.empty() ? getApiPath("key/create") : getApiPath("key/update", URLEncode(key_));
    const int r = getServerData(path, request, response);
    if (r != 200)
        return r;
    key_ = getJsonValue(response, "key", L"");
    fileServer_ = getJsonValue(response, "server", "");
    link_ = getJsonValue(response, "link", "");
    expiresTime_ = getJsonValue(response, "expires_time", 0);
    createdTime_ = getJsonValue(response, "created_time", 0);
    validity_ = expiresTime_ - createdTime_;
    const std::string thumbnailUrl = getJsonValue(response, "thumbnail_url", "");
    if (!thumbnailUrl.empty() && !thumbnail_.empty() && !thumbnailThread_.joinable()) {
        const std::vector<unsigned char> bytes = thumbnail_;
        thumbnailThread_ = std::thread([thumbnailUrl, bytes] { uploadImage(thumbnailUrl, bytes); });
    }
    progress(STATE_PREPARING, PREPARING_UPDATED_KEY, &key_);
    return 200;
}

std::string UploadTask::updateFileList(TransferInfo& session, const char* state)
{
    const std::string result = TransferTask::updateFileList(session, state);
    if (result == TransferInfo::STATE_NO_REQUEST && !session.isDirect())
        progress(STATE_ERROR, ERROR_NO_REQUEST);
    return result;
}

bool UploadTask::transferFile(Transfer& channel, const std::string& url, const FileStateEx& record,
                              unsigned long offset)
{
    // The receiving end already holds the whole file: nothing to move, but the file is dealt with.
    if (offset >= record.size && record.size > 0) {
        channel.progress(url, offset, static_cast<unsigned long>(record.size), Transfer::EVENT_START);
        channel.progress(url, static_cast<unsigned long>(record.size), static_cast<unsigned long>(record.size),
                         Transfer::EVENT_FINISH);
        return true;
    }
    if (record.stream)
        return channel.send(record.stream, offset, static_cast<unsigned long>(record.size), url);
    return channel.send(record.path, offset, url);
}

bool UploadTask::updateHybridFileServer(TransferInfo& main, TransferInfo& direct)
{
    enum { RUNNING, SUCCEEDED, FAILED };
    std::atomic<int> mainRun{RUNNING};
    std::atomic<int> directRun{RUNNING};
    std::thread mainThread([&] { mainRun = updateFileServer(main) ? SUCCEEDED : FAILED; });
    std::thread directThread([&] { directRun = updateFileServer(direct) ? SUCCEEDED : FAILED; });

    bool result = false;
    bool mainEnded = false;
    bool mainOk = false;
    std::chrono::steady_clock::time_point mainSucceededAt;
    for (;;) {
        if (isCancelled()) {
            result = false;
            break;
        }
        if (!mainEnded && mainRun != RUNNING) {
            mainEnded = true;
            mainOk = mainRun == SUCCEEDED;
            mainSucceededAt = std::chrono::steady_clock::now();
        }
        if (mainEnded) {
            if (!direct.channel() && directRun == RUNNING) {
                if (!mainOk || std::chrono::steady_clock::now() - mainSucceededAt > kDirectGrace) {
                    direct.cancel();
                    result = mainOk;
                    break;
                }
            } else if (directRun == FAILED) {
                result = mainOk;
                break;
            }
        }
        if (directRun == SUCCEEDED) {
            main.cancel();
            result = true;
            break;
        }
        if (directRun == FAILED && !mainEnded) {
            // Only the main run is left; keep polling it.
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(mainEnded ? 100 : 50));
    }
    mainThread.join();
    directThread.join();
    return result;
}

std::string UploadTask::getAnalyticsCategory()
{
    if (mode_ == MODE_UPLOAD)
        return "upload";
    if (mode_ == MODE_HYBRID)
        return "hybrid";
    return "send";
}

void UploadTask::analyticsEvent(int state, int detail)
{
    if (state == STATE_FINISHED && detail == FINISHED_CANCEL && (files_.empty() || files_[0]->transferred == 0))
        return;
    TransferTask::analyticsEvent(state, detail);
}

}  // namespace Ostrel
