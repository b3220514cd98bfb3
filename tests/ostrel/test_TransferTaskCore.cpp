// The pass loop of the transfer tasks against a scripted file server: failed passes are retried,
// the retry limit ends in a failure report, per-file events follow what the bytes did, and a cancel
// during a pass ends the task at once.
#include "ostrel/DownloadTask.h"
#include "ostrel/FileUtil.h"
#include "ostrel/HttpServer.h"
#include "ostrel/LogFunc.h"
#include "ostrel/UploadTask.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <thread>
#include <tuple>

#include <boost/any.hpp>
#include <boost/filesystem.hpp>

#include "TransferTestUtil.h"
#include "support/FreePort.h"
#include "support/HttpDouble.h"
#include "support/TempDir.h"

using namespace Ostrel;
using namespace TaskTest;
using TestSupport::HttpAnswer;
using TestSupport::HttpDouble;
using TestSupport::TempDir;

namespace fs = boost::filesystem;

namespace {

constexpr int kFinishLimitMs = 30000;
const std::pair<int, int> kSucceeded{1, 257};
const std::pair<int, int> kCancelled{1, 258};
const std::pair<int, int> kFailed{1, 259};

// Every event a task delivers, with the record state at delivery, plus the task's values as the
// callback saw them at the FINISHED event.
class Recorder {
public:
    struct Seen {
        int state;
        int detail;
        const void* data;
    };
    struct Values {
        std::wstring key;
        std::vector<TransferTask::FileState*> files;
        std::string peer;
        int expires = 0;
        TransferTask::Mode mode = TransferTask::MODE_NONE;
        const void* listPtr = nullptr;
    };

    void attach(TransferTask& task)
    {
        task.setCallback([this, &task](int state, int detail, const void* data) {
            std::lock_guard<std::mutex> lock(mutex_);
            seen_.push_back({state, detail, data});
            if (detail == TransferTask::PREPARING_UPDATED_FILE_LIST)
                listPtr_ = task.getValuePtr(TransferTask::VALUE_FILE_LIST);
            if (state == 1) {
                values_.key = boost::any_cast<std::wstring>(task.getValue(TransferTask::VALUE_KEY));
                values_.files = boost::any_cast<std::vector<TransferTask::FileState*>>(
                    task.getValue(TransferTask::VALUE_FILE_LIST));
                values_.peer = boost::any_cast<std::string>(task.getValue(TransferTask::VALUE_PEER_DEVICE_ID));
                values_.expires = boost::any_cast<int>(task.getValue(TransferTask::VALUE_EXPIRES_TIME));
                values_.mode = boost::any_cast<TransferTask::Mode>(task.getValue(TransferTask::VALUE_MODE));
                values_.listPtr = listPtr_;
                finished_ = true;
            }
            changed_.notify_all();
        });
    }
    bool waitFinished(int timeoutMs)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return finished_; });
    }
    bool waitFor(int detail, int timeoutMs)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
            for (const auto& s : seen_)
                if (s.detail == detail)
                    return true;
            return false;
        });
    }
    std::vector<Seen> seen() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return seen_;
    }
    Values values() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return values_;
    }
    // ERROR and FINISHED events only.
    EventList outcome() const
    {
        EventList out;
        for (const auto& s : seen())
            if (s.state == 1 || s.state == 2)
                out.emplace_back(s.state, s.detail);
        return out;
    }
    // Start and finish details (25604-25607) posted for one record, in order.
    std::vector<int> fileDetails(const void* record) const
    {
        std::vector<int> out;
        for (const auto& s : seen())
            if (s.state == 100 && s.data == record && s.detail >= TransferTask::TRANSFERRING_START_NEW_FILE)
                out.push_back(s.detail);
        return out;
    }
    int count(int state) const
    {
        int n = 0;
        for (const auto& s : seen())
            n += s.state == state;
        return n;
    }
    int countDetail(int detail) const
    {
        int n = 0;
        for (const auto& s : seen())
            n += s.detail == detail;
        return n;
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Seen> seen_;
    Values values_;
    const void* listPtr_ = nullptr;
    bool finished_ = false;
};

// Counts the hooks of the receive task.
class ProbeDownload : public DownloadTask {
public:
    using DownloadTask::DownloadTask;
    mutable std::atomic<int> starts{0};
    mutable std::atomic<int> finishes{0};

protected:
    void startTransferFile(FileStateEx& record) const override
    {
        ++starts;
        DownloadTask::startTransferFile(record);
    }
    void finishTransferFile(FileStateEx& record) const override
    {
        ++finishes;
        DownloadTask::finishTransferFile(record);
    }
};

// One remote file of a scripted "transfer" reply.
struct Offer {
    std::string name;
    uint64_t size = 0;
    std::string url;
    uint64_t sent = 0;
};

const std::string kErrorPage(4096, 'E');  // longer than the files below: its bytes are no file bytes

std::vector<int> expectedDetails(int failedPasses, bool succeeds)
{
    std::vector<int> out = {TransferTask::TRANSFERRING_START_NEW_FILE};
    for (int i = 0; i < failedPasses; ++i) {
        if (i > 0)
            out.push_back(TransferTask::TRANSFERRING_RESUME);
        out.push_back(TransferTask::TRANSFERRING_PAUSE);
    }
    if (succeeds) {
        if (failedPasses > 0)
            out.push_back(TransferTask::TRANSFERRING_RESUME);
        out.push_back(TransferTask::TRANSFERRING_END_FILE);
    }
    return out;
}

class TransferTaskCore : public ::testing::Test {
protected:
    static void SetUpTestSuite() { HttpServer::setPortCandidates({static_cast<uint16_t>(TestSupport::freePort())}); }

    void SetUp() override
    {
        scriptAuthentication(server);
        signedInDevice(token);
        option.api = server.url("/api/v1/");
        receiveDir = temp.file("recv");
        fs::create_directories(receiveDir);
        option.downloadPath = fromUtf8(receiveDir);
        Json::Value search(Json::objectValue);
        search["key"] = "111111";
        search["server"] = server.url("/file/v1/");
        search["mode"] = "upload";
        search["device_id"] = "sender-1";
        search["expires_time"] = 1700000600;
        server.answer("/api/v1/key/search/111111", {200, search.toStyledString()});
        Json::Value created(Json::objectValue);
        created["key"] = "222222";
        created["server"] = server.url("/file/v1/");
        created["expires_time"] = 1700000900;
        created["created_time"] = 1700000300;
        server.answer("/api/v1/key/create", {200, created.toStyledString()});
    }

    static std::string reply(const std::string& state, const std::vector<Offer>& files = {}, bool noRetry = false,
                             bool parallel = false)
    {
        Json::Value r(Json::objectValue);
        r["state"] = state;
        r["no_retry"] = noRetry;
        r["parallel_transfer"] = parallel;
        r["peer_device_id"] = "peer-9";
        for (const auto& f : files) {
            Json::Value item(Json::objectValue);
            item["name"] = f.name;
            item["size"] = Json::UInt64(f.size);
            item["time"] = 1500000000;
            item["url"] = f.url;
            item["sent"] = Json::UInt64(f.sent);
            r["file"].append(item);
        }
        return r.toStyledString();
    }

    // Answers for a file server path: each reply once, the last one repeating.
    void replies(const std::string& path, const std::vector<std::string>& bodies)
    {
        std::vector<HttpAnswer> answers;
        for (const auto& b : bodies)
            answers.push_back({200, b});
        server.answerSequence(path, answers);
    }

    // Runs the task to its end; one that does not end in time is cancelled and the test fails.
    EventList run(TransferTask& task, Recorder& recorder, int limitMs = kFinishLimitMs)
    {
        useTestApiKey();
        task.setAuthTokenValue(&token);
        task.setOptionValues(&option);
        task.setChannelRetryTime(0);
        recorder.attach(task);
        const auto begin = std::chrono::steady_clock::now();
        task.start();
        if (!recorder.waitFinished(limitMs)) {
            ADD_FAILURE() << "task did not finish within " << limitMs << " ms";
            task.cancel();
        }
        task.wait();
        elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - begin)
                        .count();
        return recorder.outcome();
    }

    std::vector<Json::Value> reports(const std::string& path)
    {
        std::vector<Json::Value> out;
        for (const auto& r : server.requests(path))
            out.push_back(parse(r.body));
        return out;
    }
    std::vector<std::string> reportStates(const std::string& path)
    {
        std::vector<std::string> out;
        for (const auto& r : reports(path))
            out.push_back(r["state"].asString());
        return out;
    }
    static std::vector<std::string> states(const std::string& first, int transfers, const std::string& last)
    {
        std::vector<std::string> out = {first};
        out.insert(out.end(), transfers, "transfer");
        out.push_back(last);
        return out;
    }

    HttpDouble server;
    TempDir temp;
    AuthTokenValue token;
    TransferOption option;
    std::string receiveDir;
    long long elapsedMs = 0;
};

// Receive: each failed pass is followed by another one until five retries are used up.
TEST_F(TransferTaskCore, ReceiveRetriesFailedPassesUpToFiveTimes)
{
    const std::string bytes = randomBytes(3000, 11);
    struct Case {
        int failures;
        bool parallel;
    };
    for (const Case c : {Case{5, false}, Case{6, false}, Case{5, true}}) {
        SCOPED_TRACE("failures " + std::to_string(c.failures) + (c.parallel ? " parallel" : ""));
        server.clearRequests();
        Recorder recorder;
        const std::string dir = temp.file("recv" + std::to_string(c.failures) + (c.parallel ? "p" : ""));
        fs::create_directories(dir);
        const std::string url = server.url("/f/a");
        std::vector<HttpAnswer> gets(c.failures, HttpAnswer(500, kErrorPage));
        gets.push_back({200, bytes});
        server.answerSequence("/f/a", gets);
        const std::string offer = reply("transfer", {{"a.bin", bytes.size(), url}}, false, c.parallel);
        std::vector<std::string> bodies(6, offer);
        bodies.push_back(reply(c.failures < 6 ? "complete" : "fail"));
        replies("/file/v1/recv", bodies);

        ProbeDownload task(L"111111", fromUtf8(dir));
        const EventList outcome = run(task, recorder);
        const bool succeeds = c.failures < 6;
        EXPECT_EQ(outcome, EventList({succeeds ? kSucceeded : kFailed}));
        EXPECT_LT(elapsedMs, 20000);
        EXPECT_EQ(server.count("/f/a"), static_cast<size_t>(std::min(c.failures + (succeeds ? 1 : 0), 6)));
        EXPECT_EQ(reportStates("/file/v1/recv"), states("query", std::min(c.failures, 5), succeeds ? "complete" : "fail"));

        const Recorder::Values values = recorder.values();
        ASSERT_EQ(values.files.size(), 1u);
        const TransferTask::FileState* record = values.files[0];
        EXPECT_EQ(recorder.fileDetails(record), expectedDetails(std::min(c.failures, 6), succeeds));
        EXPECT_EQ(task.starts.load(), 1);
        EXPECT_EQ(task.IsTransferComplete(), succeeds);
        if (succeeds) {
            EXPECT_EQ(task.finishes.load(), 1);
            EXPECT_EQ(record->transferred, bytes.size());
            EXPECT_EQ(md5(readFile(dir + "/a.bin")), md5(bytes));
            EXPECT_EQ(File::lastWriteTime(dir + "/a.bin"), 1500000000);
            EXPECT_FALSE(fs::exists(dir + "/a.bin.trovanti"));
        } else {
            EXPECT_EQ(task.finishes.load(), 0);
            EXPECT_EQ(record->transferred, 0u);
            EXPECT_FALSE(fs::exists(dir + "/a.bin"));
        }
        // The values as the callback saw them.
        EXPECT_EQ(values.key, L"111111");
        EXPECT_EQ(values.peer, "sender-1");
        EXPECT_EQ(values.expires, 1700000600);
        EXPECT_EQ(values.mode, TransferTask::MODE_UPLOAD);
        EXPECT_EQ(record->name, L"a.bin");
        EXPECT_EQ(record->path, fromUtf8(dir + "/a.bin"));
        EXPECT_EQ(record->size, bytes.size());
        EXPECT_NE(values.listPtr, nullptr);
        EXPECT_EQ(recorder.countDetail(TransferTask::PREPARING_UPDATED_FILE_LIST), 1);
    }
}

// Send: a PUT the peer refuses is a paused file, however many bytes went out; the last pass resumes
// at the offset the service reports.
TEST_F(TransferTaskCore, SendRetriesFailedPassesAndResumesAtTheServiceOffset)
{
    const std::string bytes = randomBytes(3000, 12);
    const std::string src = temp.file("src/s.bin");
    fs::create_directories(temp.file("src"));
    writeFile(src, bytes);
    for (const int failures : {5, 6}) {
        SCOPED_TRACE("failures " + std::to_string(failures));
        server.clearRequests();
        Recorder recorder;
        const std::string path = "/u/" + std::to_string(failures);
        std::vector<HttpAnswer> puts(failures, HttpAnswer(500, "refused"));
        puts.push_back({200, ""});
        server.answerSequence(path, puts);
        std::vector<std::string> bodies(5, reply("transfer", {{"s.bin", bytes.size(), server.url(path)}}));
        bodies.push_back(reply("transfer", {{"s.bin", bytes.size(), server.url(path), 1000}}));
        const bool succeeds = failures < 6;
        bodies.push_back(reply(succeeds ? "complete" : "fail"));
        replies("/file/v1/send", bodies);

        UploadTask task({fromUtf8(src)}, TransferTask::MODE_UPLOAD);
        EXPECT_EQ(run(task, recorder), EventList({succeeds ? kSucceeded : kFailed}));
        EXPECT_EQ(reportStates("/file/v1/send"), states("transfer", 5, succeeds ? "complete" : "fail"));
        const auto sent = server.requests(path);
        ASSERT_EQ(sent.size(), 6u);
        for (size_t i = 0; i < 5; ++i) {
            EXPECT_EQ(sent[i].method, "PUT");
            EXPECT_EQ(sent[i].header("Content-Range"), "") << i;
            EXPECT_EQ(md5(sent[i].body), md5(bytes)) << i;
        }
        EXPECT_EQ(sent[5].header("Content-Range"), "bytes 1000-3000/3000");
        EXPECT_EQ(md5(sent[5].body), md5(bytes.substr(1000)));

        const Recorder::Values values = recorder.values();
        ASSERT_EQ(values.files.size(), 1u);
        const TransferTask::FileState* record = values.files[0];
        EXPECT_EQ(recorder.fileDetails(record), expectedDetails(std::min(failures, 6), succeeds));
        EXPECT_EQ(task.IsTransferComplete(), succeeds);
        EXPECT_EQ(record->name, L"s.bin");
        EXPECT_EQ(record->path, fromUtf8(src));
        EXPECT_EQ(values.key, L"222222");
        EXPECT_EQ(values.peer, "peer-9");  // the task knows no peer itself: the session's
        EXPECT_EQ(values.expires, 1700000900);
        EXPECT_EQ(values.mode, TransferTask::MODE_UPLOAD);
    }
}

// How the service's answers after a failed pass end the task.
TEST_F(TransferTaskCore, AnswersAfterAFailedPassDecideTheOutcome)
{
    const std::string bytes = randomBytes(500, 13);
    struct Case {
        const char* name;
        bool noRetry;
        int afterPass;  // HTTP status of the report after the failed pass
        std::string answer;
        std::vector<std::string> reports;
        EventList outcome;
    };
    const std::vector<Case> cases = {
        {"no_retry: the first failure is final", true, 200, reply("fail"), {"query", "fail"}, {kFailed}},
        {"the service fails the retry: the peer failed", false, 200, reply("fail"), {"query", "transfer"},
         {{2, TransferTask::ERROR_FILE_BY_PEER}, kFailed}},
        {"the service cancels the retry", false, 200, reply("cancel"), {"query", "transfer"}, {kCancelled}},
        {"an answer that is no instruction", false, 200, reply("query"), {"query", "transfer"}, {kFailed}},
        {"the report itself fails", false, 500, "", {"query", "transfer", "transfer", "transfer"}, {kFailed}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server.clearRequests();
        Recorder recorder;
        const std::string dir = temp.file(std::string("answers-") + std::to_string(&c - &cases[0]));
        server.answer("/f/x", HttpAnswer(500, kErrorPage));
        server.answerSequence("/file/v1/recv",
                              {{200, reply("transfer", {{"x.bin", bytes.size(), server.url("/f/x")}}, c.noRetry)},
                               {c.afterPass, c.answer}});
        DownloadTask task(L"111111", fromUtf8(dir));
        EXPECT_EQ(run(task, recorder), c.outcome);
        EXPECT_EQ(reportStates("/file/v1/recv"), c.reports);
        EXPECT_EQ(server.count("/f/x"), 1u);
        EXPECT_FALSE(task.IsTransferComplete());
        EXPECT_FALSE(fs::exists(dir + "/x.bin"));
        const Recorder::Values values = recorder.values();
        ASSERT_EQ(values.files.size(), 1u);
        EXPECT_EQ(recorder.fileDetails(values.files[0]), expectedDetails(1, false));
    }
}

// A first answer other than "transfer" ends the task before any file moves.
TEST_F(TransferTaskCore, FirstAnswerOtherThanTransferMovesNoFile)
{
    struct Case {
        const char* state;
        EventList outcome;
    };
    const std::vector<Case> cases = {
        {"wrong_key", {{2, DownloadTask::ERROR_NO_EXIST_KEY}, kFailed}},
        {"fail", {{2, TransferTask::ERROR_FILE_BY_PEER}, kFailed}},
        {"cancel", {kCancelled}},
        {"no_request", {kFailed}},
        {"complete", {kFailed}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.state);
        server.clearRequests();
        Recorder recorder;
        server.answer("/file/v1/recv", {200, reply(c.state, {{"x.bin", 10, server.url("/f/x")}})});
        DownloadTask task(L"111111", option.downloadPath);
        EXPECT_EQ(run(task, recorder), c.outcome);
        EXPECT_EQ(reportStates("/file/v1/recv"), std::vector<std::string>({"query"}));
        EXPECT_EQ(recorder.count(100), 0);
        EXPECT_EQ(recorder.countDetail(TransferTask::PREPARING_UPDATED_FILE_LIST), 0);
        EXPECT_EQ(server.count("/f/x"), 0u);
    }
}

// A refused connection puts the host on the black list the next report carries, so the service can
// offer another address; the list stays for the rest of the session.
TEST_F(TransferTaskCore, RefusedHostIsBlackListedAndTheNextAddressIsUsed)
{
    const std::string bytes = randomBytes(2000, 14);
    const int deadPort = TestSupport::freePort();
    const std::string dead = "127.0.0.1:" + std::to_string(deadPort);
    server.answer("/f/b", {200, bytes});
    replies("/file/v1/recv", {reply("transfer", {{"b.bin", bytes.size(), "http://" + dead + "/f/b"}}),
                              reply("transfer", {{"b.bin", bytes.size(), server.url("/f/b")}}), reply("complete")});
    Recorder recorder;
    DownloadTask task(L"111111", option.downloadPath);
    EXPECT_EQ(run(task, recorder), EventList({kSucceeded}));
    const auto sent = reports("/file/v1/recv");
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_FALSE(sent[0].isMember("black_list"));
    for (size_t i : {1u, 2u}) {
        ASSERT_EQ(sent[i]["black_list"].size(), 1u) << i;
        EXPECT_EQ(sent[i]["black_list"][0].asString(), dead) << i;
    }
    EXPECT_EQ(sent[1]["state"].asString(), "transfer");
    EXPECT_EQ(sent[2]["state"].asString(), "complete");
    EXPECT_EQ(md5(readFile(receiveDir + "/b.bin")), md5(bytes));
    EXPECT_EQ(recorder.fileDetails(recorder.values().files.at(0)), expectedDetails(1, true));
}

// A file finished in an earlier pass is not fetched again; the report after the failed pass tells
// the service how much of each file is here.
TEST_F(TransferTaskCore, FileCompletedInAnEarlierPassIsSkipped)
{
    const std::string a = randomBytes(1500, 15);
    const std::string b = randomBytes(2500, 16);
    server.answer("/f/1", {200, a});
    server.answerSequence("/f/2", {HttpAnswer(500, kErrorPage), {200, b}});
    const std::string urlA = server.url("/f/1");
    const std::string urlB = server.url("/f/2");
    replies("/file/v1/recv", {reply("transfer", {{"a.txt", a.size(), urlA}, {"b.bin", b.size(), urlB}}),
                              reply("transfer", {{"a.txt", a.size(), urlA, a.size()}, {"b.bin", b.size(), urlB}}),
                              reply("complete")});
    LogCapture log;
    Recorder recorder;
    DownloadTask task(L"111111", option.downloadPath);
    EXPECT_EQ(run(task, recorder), EventList({kSucceeded}));
    EXPECT_TRUE(log.contains("skip file: a.txt\n"));
    EXPECT_EQ(server.count("/f/1"), 1u);
    EXPECT_EQ(server.count("/f/2"), 2u);
    const auto sent = reports("/file/v1/recv");
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[1]["file"][0]["size"].asUInt64(), a.size());
    EXPECT_EQ(sent[1]["file"][1]["size"].asUInt64(), 0u);
    const auto files = recorder.values().files;
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(recorder.fileDetails(files[0]), expectedDetails(0, true));
    EXPECT_EQ(recorder.fileDetails(files[1]), expectedDetails(1, true));
    EXPECT_EQ(md5(readFile(receiveDir + "/a.txt")), md5(a));
    EXPECT_EQ(md5(readFile(receiveDir + "/b.bin")), md5(b));
}

// Nothing to move is no success: an empty send never reports "complete".
TEST_F(TransferTaskCore, EmptySendNeverReportsComplete)
{
    replies("/file/v1/send", {reply("transfer"), reply("transfer"), reply("transfer"), reply("transfer"),
                              reply("transfer"), reply("transfer"), reply("fail")});
    Recorder recorder;
    UploadTask task(std::vector<std::wstring>{}, TransferTask::MODE_UPLOAD);
    EXPECT_FALSE(task.IsTransferComplete());
    EXPECT_EQ(run(task, recorder), EventList({kFailed}));
    EXPECT_EQ(reportStates("/file/v1/send"), states("transfer", 5, "fail"));
    EXPECT_FALSE(task.IsTransferComplete());
    EXPECT_EQ(recorder.count(100), 0);
}

// A cancel while a file moves ends the pass, reports "cancel" once and finishes as cancelled.
TEST_F(TransferTaskCore, CancelDuringAPassEndsPromptly)
{
    const std::string bytes = randomBytes(4000, 17);
    const std::string src = temp.file("c.bin");
    writeFile(src, bytes);
    for (const bool send : {false, true}) {
        SCOPED_TRACE(send ? "send" : "receive");
        server.clearRequests();
        Recorder recorder;
        const std::string path = send ? "/u/c" : "/f/c";
        const std::string reports = send ? "/file/v1/send" : "/file/v1/recv";
        server.answer(path, HttpAnswer(200, send ? "" : bytes, 20000));
        replies(reports, {reply("transfer", {{"c.bin", bytes.size(), server.url(path)}}), reply("cancel")});
        std::unique_ptr<TransferTask> task;
        if (send)
            task.reset(new UploadTask({fromUtf8(src)}, TransferTask::MODE_UPLOAD));
        else
            task.reset(new DownloadTask(L"111111", option.downloadPath));
        useTestApiKey();
        task->setAuthTokenValue(&token);
        task->setOptionValues(&option);
        recorder.attach(*task);
        task->start();
        ASSERT_TRUE(recorder.waitFor(TransferTask::TRANSFERRING_START_NEW_FILE, 10000));
        for (int i = 0; i < 500 && server.count(path) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const auto cancelledAt = std::chrono::steady_clock::now();
        task->cancel();
        const bool finished = recorder.waitFinished(3000);
        const auto took = std::chrono::steady_clock::now() - cancelledAt;
        EXPECT_TRUE(finished);
        task->wait();
        EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(took).count(), 3000);
        EXPECT_EQ(recorder.outcome(), EventList({kCancelled}));
        EXPECT_EQ(reportStates(reports), std::vector<std::string>(
                                             {send ? "transfer" : "query", "cancel"}));
        EXPECT_FALSE(task->IsTransferComplete());
        const auto files = recorder.values().files;
        ASSERT_EQ(files.size(), 1u);
        EXPECT_EQ(recorder.fileDetails(files[0]), expectedDetails(1, false));
        if (!send) {
            EXPECT_FALSE(fs::exists(receiveDir + "/c.bin"));
        }
    }
}

// An owner that drops a running task without cancel and wait: the pass stops at once (the channel
// would otherwise keep retrying its ten seconds) and nothing runs on in freed memory.
TEST_F(TransferTaskCore, DestroyingARunningTaskStopsItsPass)
{
    const std::string src = temp.file("d.bin");
    writeFile(src, randomBytes(2000, 18));
    for (const bool send : {false, true}) {
        SCOPED_TRACE(send ? "send" : "receive");
        server.clearRequests();
        const std::string path = send ? "/u/d" : "/f/d";
        server.answer(path, HttpAnswer(500, kErrorPage));
        replies(send ? "/file/v1/send" : "/file/v1/recv", {reply("transfer", {{"d.bin", 2000, server.url(path)}})});
        Recorder recorder;
        std::unique_ptr<TransferTask> task;
        if (send)
            task.reset(new UploadTask({fromUtf8(src)}, TransferTask::MODE_UPLOAD));
        else
            task.reset(new DownloadTask(L"111111", option.downloadPath));
        useTestApiKey();
        task->setAuthTokenValue(&token);
        task->setOptionValues(&option);  // the channel's own retry time stays
        recorder.attach(*task);
        task->start();
        for (int i = 0; i < 500 && server.count(path) < 2; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_GE(server.count(path), 2u);  // the channel is retrying
        const auto begin = std::chrono::steady_clock::now();
        task.reset();
        const auto took = std::chrono::steady_clock::now() - begin;
        EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(took).count(), 3000);
        EXPECT_EQ(recorder.outcome(), EventList({kCancelled}));
    }
}

// The finish summary: file count, total size and the types, lower-cased, the empty one first.
TEST_F(TransferTaskCore, AnalyticsSummaryOfASend)
{
    const std::string dir = temp.file("types");
    fs::create_directories(dir);
    const std::vector<std::pair<std::string, std::string>> sources = {
        {"a.JPG", "1234567"}, {"b.jpg", "abc"}, {"c", "zz"}};
    std::vector<std::wstring> paths;
    std::vector<Offer> offers;
    for (const auto& s : sources) {
        writeFile(dir + "/" + s.first, s.second);
        paths.push_back(fromUtf8(dir + "/" + s.first));
        // Through the relay: the file server's own address stands in for the placeholder.
        offers.push_back({s.first, s.second.size(), "http://{SERVER_IP}/u/" + s.first});
        server.answer("/u/" + s.first, {200, ""});
    }
    replies("/file/v1/send", {reply("transfer", offers), reply("complete")});
    std::mutex mutex;
    std::vector<std::tuple<std::string, std::string, std::string, long long>> hits;
    std::vector<std::map<std::string, std::string>> summaries;
    setAnalyticsCallback([&](const char* category, const char* action, const char* label, long long value) {
        std::lock_guard<std::mutex> lock(mutex);
        hits.emplace_back(category, action, label, value);
    });
    setFLAnalyticsCallback([&](const char* name, const std::map<std::string, std::string>& values) {
        std::lock_guard<std::mutex> lock(mutex);
        if (std::string(name) == "upload")
            summaries.push_back(values);
    });
    Recorder recorder;
    UploadTask task(paths, TransferTask::MODE_UPLOAD);
    const EventList outcome = run(task, recorder);
    setAnalyticsCallback(nullptr);
    setFLAnalyticsCallback(nullptr);
    EXPECT_EQ(outcome, EventList({kSucceeded}));
    for (const auto& s : sources)
        EXPECT_EQ(server.requests("/u/" + s.first).at(0).body, s.second);
    auto hit = [&](const std::string& label) -> long long {
        for (const auto& h : hits)
            if (std::get<0>(h) == "upload" && std::get<1>(h) == "transfer_success" && std::get<2>(h) == label)
                return std::get<3>(h);
        return -1;
    };
    EXPECT_EQ(hit("transfer_file_number"), 3);
    EXPECT_EQ(hit("transfer_file_size"), 12);
    EXPECT_EQ(hit("transfer_file_type_"), 1);
    EXPECT_EQ(hit("transfer_file_type_jpg"), 2);
    EXPECT_EQ(hit("transfer_file_type_JPG"), -1);
    EXPECT_EQ(hit("transfer_mode_server"), 0);
    ASSERT_EQ(summaries.size(), 1u);
    const auto& summary = summaries[0];
    EXPECT_EQ(summary.at("result"), "success");
    EXPECT_EQ(summary.at("number"), "3");
    EXPECT_EQ(summary.at("size"), "12");
    EXPECT_EQ(summary.at("size_round"), "10");
    EXPECT_EQ(summary.at("type"), ":1,jpg:2");
    EXPECT_EQ(summary.at("mode"), "server");
}

}  // namespace
