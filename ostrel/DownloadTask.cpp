#include "ostrel/DownloadTask.h"

#include <sys/stat.h>

#include <ctime>
#include <regex>

#include <boost/filesystem.hpp>

#include "ostrel/FileUtil.h"
#include "ostrel/HashUtil.h"
#include "ostrel/JsonUtil.h"
#include "ostrel/LogFunc.h"
#include "ostrel/StringUtil.h"
#include "ostrel/URLEncodeUtil.h"

namespace fs = boost::filesystem;

namespace Ostrel {

const wchar_t* const DownloadTask::TEMP_SUFFIX = L".trovanti";

namespace {

constexpr size_t kNameLimit = 255;

std::wstring joinPath(const std::wstring& directory, const std::wstring& name)
{
    if (directory.empty() || directory.back() == L'/')
        return directory + name;
    return directory + L"/" + name;
}

std::wstring parentOf(const std::wstring& path)
{
    const size_t slash = path.rfind(L'/');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring leafOf(const std::wstring& path)
{
    const size_t slash = path.rfind(L'/');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool isSymlink(const std::wstring& path)
{
    struct stat st;
    return ::lstat(toUtf8(path).c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

}  // namespace

DownloadTask::DownloadTask(const std::wstring& key, const std::wstring& directory) : downloadDir_(directory)
{
    key_ = key;
}

DownloadTask::DownloadTask(TransferInfo& session, const std::wstring& key, const std::wstring& directory)
    : TransferTask(session), downloadDir_(directory)
{
    key_ = key;
}

DownloadTask::DownloadTask(const std::wstring& key, const std::vector<std::wstring>& selected,
                           const std::wstring& pattern)
    : selected_(selected), pattern_(pattern)
{
    key_ = key;
}

DownloadTask::~DownloadTask()
{
    stopRun();
}

std::string DownloadTask::stateToString(int code)
{
    switch (code) {
    case ERROR_NO_EXIST_KEY: return "ERROR_NO_EXIST_KEY";
    case ERROR_FILE_NO_DOWNLOAD_PATH: return "ERROR_FILE_NO_DOWNLOAD_PATH";
    case ERROR_FILE_NO_DISK_SPACE: return "ERROR_FILE_NO_DISK_SPACE";
    case ERROR_FILE_UNSAFE_NAME: return "ERROR_FILE_UNSAFE_NAME";
    case ERROR_LINK_SHARING_KEY: return "ERROR_LINK_SHARING_KEY";
    default: return TransferTask::stateToString(code);
    }
}

boost::any DownloadTask::getValue(int key)
{
    if (key == VALUE_TERMS_URL)
        return termsUrl_;
    return TransferTask::getValue(key);
}

const void* DownloadTask::getValuePtr(int key)
{
    if (key == VALUE_TERMS_URL)
        return &termsUrl_;
    return TransferTask::getValuePtr(key);
}

void DownloadTask::setOptionValues(BaseTask::Option* option)
{
    TransferTask::setOptionValues(option);
    if (auto* own = dynamic_cast<DownloadTask::Option*>(option)) {
        defaultDir_ = own->getDownloadPath();
        rename_ = own->isRenameOfDuplicated();
        resume_ = own->isResumeOfIncompleted();
        preserveTime_ = own->isPreserveOriginalTimeStamp();
    }
}

std::wstring DownloadTask::directory() const { return downloadDir_.empty() ? defaultDir_ : downloadDir_; }

bool DownloadTask::checkDownloadDir()
{
    const std::wstring dir = directory();
    if (dir.empty())
        return false;
    boost::system::error_code error;
    const fs::path path(toUtf8(dir));
    if (fs::is_directory(path, error))
        return true;
    fs::create_directories(path, error);
    return !error && fs::is_directory(path, error);
}

bool DownloadTask::checkDiskSpace() { return File::availableSpace(directory()) != 0; }

bool DownloadTask::checkExcludingFile(const std::wstring& name) const
{
    if (selected_.empty() && pattern_.empty())
        return false;
    for (const auto& s : selected_)
        if (s == name)
            return false;
    if (!pattern_.empty()) {
        try {
            if (std::regex_match(name, std::wregex(pattern_, std::regex::ECMAScript)))
                return false;
        } catch (const std::exception&) {
            debugLog(format("invalid name pattern: %1%\n", pattern_));
        }
    }
    return true;
}

std::wstring DownloadTask::renamePath(const std::wstring& dir, const std::wstring& name) const
{
    if (!File::exists(joinPath(dir, name)) && !isSymlink(joinPath(dir, name)))
        return name;
    const std::wstring parent = parentOf(name);
    const std::wstring leaf = leafOf(name);
    const size_t dot = leaf.rfind(L'.');
    std::wstring stem = (dot == std::wstring::npos || dot == 0) ? leaf : leaf.substr(0, dot);
    const std::wstring ext = (dot == std::wstring::npos || dot == 0) ? std::wstring() : leaf.substr(dot);
    std::wstring candidate = name;
    for (int i = 1; i <= 99; ++i) {
        std::wstring file = fromUtf8(format("%1%(%2%)%3%", stem, i, ext));
        const size_t bytes = toUtf8(file).size();
        if (bytes > kNameLimit) {
            std::wstring shorter = stem;
            while (!shorter.empty() && toUtf8(fromUtf8(format("%1%(%2%)%3%", shorter, i, ext))).size() > kNameLimit)
                shorter.pop_back();
            file = fromUtf8(format("%1%(%2%)%3%", shorter, i, ext));
        }
        candidate = parent.empty() ? file : parent + L"/" + file;
        const std::wstring full = joinPath(dir, candidate);
        if (!File::exists(full) && !isSymlink(full))
            break;
    }
    return candidate;
}

bool DownloadTask::isSafeName(const std::wstring& dir, const std::wstring& name)
{
    if (name.empty() || name[0] == L'/' || name.find(L'\0') != std::wstring::npos ||
        name.find(L'\\') != std::wstring::npos)
        return false;
    std::wstring current = dir;
    size_t from = 0;
    for (;;) {
        const size_t slash = name.find(L'/', from);
        const std::wstring part = name.substr(from, slash == std::wstring::npos ? std::wstring::npos : slash - from);
        if (part.empty() || part == L"." || part == L"..")
            return false;
        if (toUtf8(part).size() > kNameLimit)
            return false;
        current = joinPath(current, part);
        if (slash == std::wstring::npos)
            break;
        // A directory on the way must be a real directory, not a link leading elsewhere.
        struct stat st;
        if (::lstat(toUtf8(current).c_str(), &st) == 0 && !S_ISDIR(st.st_mode))
            return false;
        from = slash + 1;
    }
    return true;
}

int DownloadTask::updateServer()
{
    if (!checkDownloadDir()) {
        progress(STATE_ERROR, ERROR_FILE_NO_DOWNLOAD_PATH);
        return 0;
    }
    int r = TransferTask::updateServer();
    if (r == 0 && !checkDiskSpace())
        progress(STATE_ERROR, ERROR_FILE_NO_DISK_SPACE);
    if (r == 200) {
        for (const auto* record : files_)
            if (record->refused)
                r = 0;
    }
    return r;
}

int DownloadTask::updateKey()
{
    progress(STATE_PREPARING, PREPARING_REQUEST_KEY);
    std::string encoded = URLEncode(key_);
    std::string spaced;
    for (char c : encoded) {
        if (c == '+')
            spaced += "%20";
        else
            spaced += c;
    }
    Json::Value request(Json::objectValue);
    Json::Value response;
    const int r = getServerData(getApiPath("key/search", spaced), request, response);
    if (r == 200) {
        if (getJsonValue(response, "is_link_sharing", false)) {
            termsUrl_ = getJsonValue(response, "terms_url", "");
            progress(STATE_ERROR, ERROR_LINK_SHARING_KEY);
            return 0;
        }
        key_ = getJsonValue(response, "key", L"");
        fileServer_ = getJsonValue(response, "server", "");
        const std::string mode = getJsonValue(response, "mode", "");
        if (mode == "direct")
            mode_ = MODE_DIRECT;
        else if (mode == "upload")
            mode_ = MODE_UPLOAD;
        else if (mode == "hybrid")
            mode_ = MODE_HYBRID;
        expiresTime_ = getJsonValue(response, "expires_time", 0);
        peerDeviceId_ = getJsonValue(response, "device_id", "");
        progress(STATE_PREPARING, PREPARING_UPDATED_KEY, &key_);
    } else if (r == 404) {
        progress(STATE_ERROR, ERROR_NO_EXIST_KEY);
    }
    return r;
}

std::string DownloadTask::updateFileList(TransferInfo& session, const char* state)
{
    std::string result;
    if (std::string(state) == TransferInfo::STATE_TRANSFER && resume_ && files_.empty()) {
        result = TransferTask::updateFileList(session, TransferInfo::STATE_QUERY);
        if (result == TransferInfo::STATE_QUERY) {
            setFilePath();
            result = TransferTask::updateFileList(session, TransferInfo::STATE_TRANSFER);
        }
    } else {
        result = TransferTask::updateFileList(session, state);
    }
    if (!session.isDirect() && result == TransferInfo::STATE_WRONG_KEY)
        progress(STATE_ERROR, ERROR_NO_EXIST_KEY);
    setFilePath();
    return result;
}

void DownloadTask::setFilePath()
{
    const std::wstring dir = directory();
    for (auto* record : files_) {
        if (!record->path.empty() || record->refused)
            continue;
        if (!isSafeName(dir, record->name)) {
            debugLog(format("refused file with unsafe name: %1%\n", record->name));
            record->refused = true;
            record->skip = true;
            progress(STATE_ERROR, ERROR_FILE_UNSAFE_NAME, static_cast<FileState*>(record));
            continue;
        }
        // The selection speaks of the sender's names, not of the de-duplicated ones.
        const std::wstring original = record->name;
        std::wstring target = joinPath(dir, record->name);
        bool present = false;
        if (resume_ && File::exists(target) && !isSymlink(target) && File::size(target) == record->size) {
            present = true;
        } else if (rename_) {
            record->name = renamePath(dir, record->name);
            target = joinPath(dir, record->name);
        }
        record->path = target;
        const std::wstring leaf = leafOf(target);
        if (toUtf8(leaf).size() + toUtf8(std::wstring(TEMP_SUFFIX)).size() < 256)
            record->tempPath = target + TEMP_SUFFIX;
        else
            record->tempPath = joinPath(parentOf(target), fromUtf8(md5(toUtf8(target))) + TEMP_SUFFIX);
        // A link at the temporary name is not ours; writing through it could land anywhere.
        if (isSymlink(record->tempPath))
            File::remove(record->tempPath);
        if (checkExcludingFile(original))
            record->skip = true;
        if (present && !record->skip)
            File::rename(target, record->tempPath);
    }
}

bool DownloadTask::transferFile(Transfer& channel, const std::string& url, const FileStateEx& record,
                                unsigned long offset)
{
    const unsigned long size = static_cast<unsigned long>(record.size);
    // Skipped and already complete files need no bytes; their events still settle them.
    if (record.skip || (offset >= size && size > 0)) {
        channel.progress(url, size, size, Transfer::EVENT_START);
        channel.progress(url, size, size, Transfer::EVENT_FINISH);
        return true;
    }
    return channel.recv(url, size, record.tempPath, offset);
}

void DownloadTask::startTransferFile(FileStateEx& record) const
{
    if (record.skip)
        return;
    const std::wstring parent = parentOf(record.tempPath);
    if (!parent.empty() && !File::exists(parent))
        File::createDirectories(parent);
    if (isSymlink(record.tempPath))
        File::remove(record.tempPath);
    if (!File::exists(record.tempPath))
        File::createFile(record.tempPath);
}

void DownloadTask::finishTransferFile(FileStateEx& record) const
{
    if (record.skip)
        return;
    if (!File::exists(record.tempPath) || !record.isComplete() || File::size(record.tempPath) != record.size)
        return;
    if (!File::rename(record.tempPath, record.path))
        debugLog(format("cannot move into place: %1%\n", record.path));
    const std::time_t when = (preserveTime_ && record.time > 0) ? record.time : std::time(nullptr);
    File::lastWriteTime(record.path, when);
}

bool DownloadTask::updateHybridFileServer(TransferInfo& main, TransferInfo& direct)
{
    if (updateFileServer(direct))
        return true;
    if (isCancelled())
        return false;
    return updateFileServer(main);
}

}  // namespace Ostrel
