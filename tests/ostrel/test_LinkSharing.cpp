#include "ostrel/DownloadLinkSharingTask.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <map>
#include <mutex>
#include <thread>

#include <boost/any.hpp>
#include <boost/filesystem.hpp>

#include "ostrel/Base64Util.h"
#include "ostrel/HashUtil.h"
#include "ostrel/HttpServer.h"
#include "ostrel/ServerInfo.h"
#include "ostrel/StringUtil.h"
#include "TransferTestUtil.h"
#include "support/FreePort.h"
#include "support/HttpDouble.h"
#include "support/ServiceProcess.h"
#include "support/TempDir.h"

using namespace Ostrel;
using namespace TaskTest;
using TestSupport::HttpAnswer;
using TestSupport::HttpDouble;
using TestSupport::HttpRecord;
using TestSupport::ServiceProcess;
using TestSupport::TempDir;

namespace fs = boost::filesystem;

namespace {

const EventList kSuccess = {{1, 257}};
const EventList kNoSuchKey = {{2, 532}, {1, 259}};

// The application's option with an in-memory preference store.
class LinkOption : public TestOption, public DownloadLinkSharingTask::Option {
public:
    std::string partner;
    std::wstring downloadPath;

    std::string getApiServer() override { return TestOption::getApiServer(); }
    std::string getPushId() override { return TestOption::getPushId(); }
    std::wstring getProfileName() override { return TestOption::getProfileName(); }
    std::wstring getDownloadPath() override { return downloadPath; }

    void savePrefValue(const std::string& name, const std::string& value) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        prefs_[name] = value;
    }
    std::string loadPrefValue(const std::string& name) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = prefs_.find(name);
        return it == prefs_.end() ? std::string() : it->second;
    }
    std::string getPartnerURL() override { return partner; }

    std::map<std::string, std::string> prefs() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return prefs_;
    }

private:
    mutable std::mutex mutex_;
    std::map<std::string, std::string> prefs_;
};

const std::vector<std::string> kPrefNames = {"auth_key",      "device_id",     "share_server",
                                             "velora_uid",    "refresh_token", "access_token"};

std::vector<std::string> listTree(const std::string& dir)
{
    std::vector<std::string> names;
    if (!fs::exists(dir))
        return names;
    for (fs::recursive_directory_iterator it(dir), end; it != end; ++it)
        names.push_back(it->path().string().substr(dir.size() + 1));
    std::sort(names.begin(), names.end());
    return names;
}

struct SharedFile {
    std::string name;
    std::string bytes;
};

// ---------------------------------------------------------------------------------------------
// Against a scripted service and partner, where every request can be counted and inspected.

class ScriptedLinkSharing : public ::testing::Test {
protected:
    static void SetUpTestSuite() { HttpServer::setPortCandidates({static_cast<uint16_t>(TestSupport::freePort())}); }

    void SetUp() override
    {
        scriptAuthentication(server);
        signedInDevice(token);
        option.api = server.url("/api/v1/");
        option.partner = server.url("/");
        receiveDir = temp.file("recv");
        option.downloadPath = fromUtf8(receiveDir);
    }

    void scriptLookup(const std::string& typed, bool linkSharing = true)
    {
        Json::Value search(Json::objectValue);
        search["is_link_sharing"] = linkSharing;
        if (linkSharing) {
            search["authz_key"] = "AZ-1";
            search["device_id"] = "sender-9";
            search["terms_url"] = server.url("/terms");
        } else {
            search["key"] = typed;
            search["server"] = server.url("/file/v1/");
            search["mode"] = "upload";
        }
        server.answer("/api/v1/key/search/" + typed, {200, search.toStyledString()});
    }

    // A registration reply; the share server it names is `share` unless `withUrls` is false.
    std::string registration(const std::string& uid, bool withUrls, const HttpDouble* share = nullptr)
    {
        Json::Value reply(Json::objectValue);
        reply["rcode"] = "0000000000";
        reply["uid"] = uid;
        reply["refresh_token"] = "refresh-" + uid;
        reply["access_token"] = "access-" + uid;
        if (withUrls) {
            Json::Value url(Json::objectValue);
            url["scheme"] = "http";
            url["address"] = "127.0.0.1";
            url["port"] = (share ? share : &server)->port();
            reply["urls"].append(url);
        }
        return reply.toStyledString();
    }

    // The download list of the files, each served by `host` under /f/I.
    std::string contents(const std::vector<SharedFile>& files, HttpDouble& host)
    {
        Json::Value reply(Json::objectValue);
        reply["rcode"] = "0000000000";
        reply["contents"] = Json::Value(Json::arrayValue);
        for (size_t i = 0; i < files.size(); ++i) {
            Json::Value item(Json::objectValue);
            item["name"] = files[i].name;
            item["original"] = host.url("/f/" + std::to_string(i));
            item["size"] = Json::UInt64(files[i].bytes.size());
            reply["contents"].append(item);
            host.answer("/f/" + std::to_string(i), {200, files[i].bytes});
        }
        return reply.toStyledString();
    }

    void presetPrefs(const std::string& shareServer, bool withAccess = true)
    {
        option.savePrefValue("auth_key", "AZ-1");
        option.savePrefValue("device_id", "sender-9");
        option.savePrefValue("share_server", shareServer);
        option.savePrefValue("velora_uid", "uid-0");
        option.savePrefValue("refresh_token", "refresh-uid-0");
        if (withAccess)
            option.savePrefValue("access_token", "access-uid-0");
    }

    EventList run(DownloadLinkSharingTask& task)
    {
        useTestApiKey();
        task.setAuthTokenValue(&token);
        task.setOptionValues(&option);
        recorder.attach(task);
        task.start();
        task.wait();
        return recorder.outcome();
    }

    // The requests that matter here, in order: lookups and partner calls (no device sign-in, no files).
    static std::vector<std::string> sequence(const HttpDouble& host)
    {
        std::vector<std::string> paths;
        for (const auto& r : host.requests()) {
            if (r.path.compare(0, 3, "/f/") == 0)
                continue;
            if (r.path.compare(0, 8, "/api/v1/") == 0 && r.path.compare(0, 19, "/api/v1/key/search/") != 0)
                continue;
            paths.push_back(r.path);
        }
        return paths;
    }

    void expectFiles(const std::vector<SharedFile>& files)
    {
        for (const auto& f : files) {
            const std::string path = receiveDir + "/" + f.name;
            ASSERT_TRUE(isFile(path)) << path;
            EXPECT_EQ(md5(readFile(path)), md5(f.bytes)) << path;
        }
        for (const auto& name : listTree(receiveDir))
            EXPECT_EQ(name.find(".trovanti"), std::string::npos) << name;
    }

    HttpDouble server;
    TempDir temp;
    AuthTokenValue token;
    LinkOption option;
    EventRecorder recorder;
    std::string receiveDir;
    const std::vector<SharedFile> files = {{"a.bin", randomBytes(200 * 1024 + 3, 7)}, {"b.txt", "bee"}};
};

TEST_F(ScriptedLinkSharing, FirstRunLooksUpRegistersFetchesUpperCaseAndStoresPreferences)
{
    scriptLookup("v1234567");
    server.answer("/register", {200, registration("uid-1", true)});
    server.answer("/download/V1234567", {200, contents(files, server)});
    std::vector<std::string> categories;
    std::mutex categoryMutex;
    BaseTask::setAnalyticsCallback([&](const char* category, const char*, const char*, long long) {
        std::lock_guard<std::mutex> lock(categoryMutex);
        categories.push_back(category ? category : "");
    });

    DownloadLinkSharingTask task(L"v1234567", fromUtf8(receiveDir));
    const EventList outcome = run(task);
    BaseTask::setAnalyticsCallback(nullptr);
    EXPECT_EQ(outcome, kSuccess);
    expectFiles(files);
    EXPECT_TRUE(recorder.has(10, TransferTask::PREPARING_UPDATED_KEY));
    EXPECT_TRUE(recorder.has(100, TransferTask::TRANSFERRING_END_FILE));

    const std::vector<std::string> expected = {"/api/v1/key/search/v1234567", "/register", "/download/V1234567"};
    EXPECT_EQ(sequence(server), expected);
    EXPECT_EQ(server.count("/f/0"), 1u);
    EXPECT_EQ(server.count("/f/1"), 1u);

    const HttpRecord reg = server.requests("/register").at(0);
    EXPECT_EQ(reg.method, "POST");
    EXPECT_EQ(reg.header("Authorization"), "AZ-1");
    EXPECT_FALSE(reg.hasHeader("Ostrel-Key"));
    const Json::Value body = parse(reg.body);
    EXPECT_EQ(body["ext_user_info"]["ext_did"].asString(), "dev-1");
    EXPECT_EQ(body["ext_user_info"]["ext_dvc_type"].asInt(), 5);
    EXPECT_EQ(body["ext_user_info"]["ext_os_type"].asInt(), 10);
    EXPECT_EQ(body["ext_user_info"]["ext_uid"].asString().find('-'), std::string::npos);
    EXPECT_EQ(body["pkg"]["pv"].asString(), "0.0.1");
    EXPECT_EQ(body["pkg"]["vc"].asString(), "001");

    const HttpRecord list = server.requests("/download/V1234567").at(0);
    EXPECT_EQ(list.method, "GET");
    EXPECT_TRUE(list.body.empty());
    EXPECT_EQ(list.header("Authorization"), "AZ-1");
    EXPECT_EQ(list.header("Uid"), "uid-1");
    EXPECT_EQ(list.header("Access-Token"), "access-uid-1");
    EXPECT_FALSE(list.hasHeader("Ostrel-Key"));

    const std::map<std::string, std::string> prefs = option.prefs();
    const std::map<std::string, std::string> stored = {
        {"auth_key", "AZ-1"},
        {"device_id", "sender-9"},
        {"share_server", "http://127.0.0.1:" + std::to_string(server.port())},
        {"velora_uid", "uid-1"},
        {"refresh_token", "refresh-uid-1"},
        {"access_token", "access-uid-1"},
    };
    EXPECT_EQ(prefs, stored);
    EXPECT_EQ(boost::any_cast<std::string>(task.getValue(TransferTask::VALUE_PEER_DEVICE_ID)), "sender-9");
    EXPECT_EQ(boost::any_cast<TransferTask::Mode>(task.getValue(TransferTask::VALUE_MODE)), TransferTask::MODE_UPLOAD);
    EXPECT_NE(std::find(categories.begin(), categories.end(), "download_linksharing"), categories.end());
    EXPECT_EQ(std::count_if(categories.begin(), categories.end(), [](const std::string& c) { return c != "download_linksharing"; }), 0);
}

TEST_F(ScriptedLinkSharing, AllSixPreferencesMeanNoLookupNoRegistrationNoLogin)
{
    presetPrefs(server.url(""));
    server.answer("/download/K77", {200, contents(files, server)});
    DownloadLinkSharingTask task(L"k77", fromUtf8(receiveDir));
    EXPECT_EQ(run(task), kSuccess);
    expectFiles(files);
    const std::vector<std::string> expected = {"/download/K77"};
    EXPECT_EQ(sequence(server), expected);
    EXPECT_EQ(server.requests("/download/K77").at(0).header("Access-Token"), "access-uid-0");
}

TEST_F(ScriptedLinkSharing, ExpiredAccessTokenIsRenewedOnTheSecondAttempt)
{
    presetPrefs(server.url(""));
    server.answerSequence("/download/K77", {{200, R"({"rcode":"4000400112"})"}, {200, contents(files, server)}});
    server.answer("/authorization", {200, R"({"rcode":"0000000000","access_token":"fresh"})"});
    DownloadLinkSharingTask task(L"K77", fromUtf8(receiveDir));
    EXPECT_EQ(run(task), kSuccess);
    expectFiles(files);
    const std::vector<std::string> expected = {"/download/K77", "/authorization", "/download/K77"};
    EXPECT_EQ(sequence(server), expected);
    const HttpRecord login = server.requests("/authorization").at(0);
    EXPECT_EQ(login.header("Authorization"), "AZ-1");
    EXPECT_EQ(login.header("Uid"), "uid-0");
    EXPECT_EQ(login.header("Refresh-Token"), "refresh-uid-0");
    EXPECT_EQ(server.requests("/download/K77").at(1).header("Access-Token"), "fresh");
    EXPECT_EQ(option.prefs()["access_token"], "fresh");
}

TEST_F(ScriptedLinkSharing, RejectedLoginRegistersAgain)
{
    presetPrefs(server.url(""), false);
    server.answer("/authorization", {400, R"({"rcode":"4000400101"})"});
    server.answer("/register", {200, registration("uid-2", true)});
    server.answer("/download/K77", {200, contents(files, server)});
    DownloadLinkSharingTask task(L"K77", fromUtf8(receiveDir));
    EXPECT_EQ(run(task), kSuccess);
    const std::vector<std::string> expected = {"/authorization", "/register", "/download/K77"};
    EXPECT_EQ(sequence(server), expected);
    EXPECT_EQ(option.prefs()["velora_uid"], "uid-2");
}

TEST_F(ScriptedLinkSharing, RegistrationWithoutUrlsKeepsTheStoredShareServer)
{
    // Registration goes to the configured partner host, the list to the stored share server.
    HttpDouble share;
    presetPrefs(share.url(""), false);
    option.savePrefValue("velora_uid", "");
    server.answer("/register", {200, registration("uid-3", false)});
    share.answer("/download/K77", {200, contents(files, share)});
    DownloadLinkSharingTask task(L"K77", fromUtf8(receiveDir));
    EXPECT_EQ(run(task), kSuccess);
    expectFiles(files);
    EXPECT_EQ(server.count("/register"), 1u);
    EXPECT_EQ(server.count("/download/K77"), 0u);
    EXPECT_EQ(share.count("/download/K77"), 1u);
    EXPECT_EQ(share.count("/register"), 0u);
    EXPECT_EQ(share.requests("/download/K77").at(0).header("Access-Token"), "access-uid-3");
    EXPECT_EQ(option.prefs()["share_server"], share.url(""));
    EXPECT_EQ(option.prefs()["velora_uid"], "uid-3");
}

TEST_F(ScriptedLinkSharing, KeysThePartnerDoesNotHave)
{
    struct Case {
        const char* what;
        bool lookupAnswers;  // key/search knows the key
        bool linkSharing;
        const char* partnerReply;  // empty: the partner must not be asked
    };
    const std::vector<Case> cases = {
        {"unknown to the service", false, false, ""},
        {"an ordinary key", true, false, ""},
        {"unknown to the partner", true, true, R"({"rcode":"4000201016"})"},
    };
    for (const auto& c : cases) {
        HttpDouble host;
        scriptAuthentication(host);
        LinkOption own;
        own.api = host.url("/api/v1/");
        own.partner = host.url("");
        if (c.lookupAnswers) {
            Json::Value search(Json::objectValue);
            search["is_link_sharing"] = c.linkSharing;
            search["authz_key"] = "AZ-1";
            search["key"] = "123456";
            search["server"] = host.url("/file/v1/");
            search["mode"] = "upload";
            host.answer("/api/v1/key/search/123456", {200, search.toStyledString()});
        }
        host.answer("/register", {200, registration("uid-4", true, &host)});
        if (*c.partnerReply)
            host.answer("/download/123456", {200, c.partnerReply});
        EventRecorder events;
        DownloadLinkSharingTask task(L"123456", fromUtf8(receiveDir));
        useTestApiKey();
        task.setAuthTokenValue(&token);
        task.setOptionValues(&own);
        events.attach(task);
        task.start();
        task.wait();
        EXPECT_EQ(events.outcome(), kNoSuchKey) << c.what;
        EXPECT_EQ(host.count("/download/123456"), *c.partnerReply ? 1u : 0u) << c.what;
        if (!*c.partnerReply) {
            EXPECT_EQ(host.count("/register"), 0u) << c.what;
        }
        EXPECT_EQ(host.count("/file/v1/recv"), 0u) << c.what;
        EXPECT_TRUE(listTree(receiveDir).empty()) << c.what;
    }
}

TEST_F(ScriptedLinkSharing, FailedRegistrationEndsAfterTwoAttempts)
{
    scriptLookup("K77");
    server.answer("/register", {503, ""});
    DownloadLinkSharingTask task(L"K77", fromUtf8(receiveDir));
    const EventList outcome = run(task);
    ASSERT_FALSE(outcome.empty());
    EXPECT_EQ(outcome.back(), std::make_pair(1, 259));
    EXPECT_EQ(server.count("/register"), 2u);
    EXPECT_EQ(server.count("/download/K77"), 0u);
    // The key lookup's answer is kept, so the next run goes straight to the partner.
    EXPECT_EQ(option.prefs()["auth_key"], "AZ-1");
}

TEST_F(ScriptedLinkSharing, UnsafePartnerNamesStayInsideTheFolder)
{
    presetPrefs(server.url(""));
    fs::create_directories(receiveDir);
    const std::vector<SharedFile> hostile = {{"../x.txt", "evil"}, {"/tmp/abs-x.txt", "evil"}, {"ok.txt", "fine"}};
    server.answer("/download/K77", {200, contents(hostile, server)});
    DownloadLinkSharingTask task(L"K77", fromUtf8(receiveDir));
    const EventList outcome = run(task);
    int refused = 0;
    for (const auto& e : recorder.events())
        refused += e.first == 2 && e.second == DownloadTask::ERROR_FILE_UNSAFE_NAME;
    EXPECT_EQ(refused, 2);
    ASSERT_FALSE(outcome.empty());
    EXPECT_EQ(outcome.back(), std::make_pair(1, 259));
    EXPECT_FALSE(fs::exists(temp.file("x.txt")));
    EXPECT_FALSE(fs::exists(temp.file("x.txt.trovanti")));
    EXPECT_EQ(server.count("/f/0"), 0u);
    EXPECT_EQ(server.count("/f/1"), 0u);
    EXPECT_EQ(readFile(receiveDir + "/ok.txt"), "fine");
    const std::vector<std::string> inside = {"ok.txt"};
    EXPECT_EQ(listTree(receiveDir), inside);
}

TEST_F(ScriptedLinkSharing, RetryPassFetchesAFreshListAndKeepsFinishedFiles)
{
    presetPrefs(server.url(""));
    const std::string list = contents(files, server);
    server.answer("/download/K77", {200, list});
    // The second file comes short once, late enough that the first one is surely under way.
    server.answerSequence("/f/1", {{200, files[1].bytes.substr(0, 1), 300}, {200, files[1].bytes}});
    DownloadLinkSharingTask task(L"K77", fromUtf8(receiveDir));
    EXPECT_EQ(run(task), kSuccess);
    expectFiles(files);
    EXPECT_EQ(server.count("/download/K77"), 2u);
    EXPECT_EQ(server.count("/f/0"), 1u);
    EXPECT_EQ(server.count("/f/1"), 2u);
}

TEST_F(ScriptedLinkSharing, FileUrlsOtherThanHttpAreNotFollowed)
{
    presetPrefs(server.url(""));
    TempDir secret;
    writeFile(secret.file("secret.txt"), "local secret");
    Json::Value reply(Json::objectValue);
    reply["rcode"] = "0000000000";
    Json::Value item(Json::objectValue);
    item["name"] = "copy.txt";
    item["original"] = "file://" + secret.file("secret.txt");
    item["size"] = 12;
    reply["contents"].append(item);
    server.answer("/download/K77", {200, reply.toStyledString()});
    DownloadLinkSharingTask task(L"K77", fromUtf8(receiveDir));
    const EventList outcome = run(task);
    ASSERT_FALSE(outcome.empty());
    EXPECT_EQ(outcome.back(), std::make_pair(1, 259));
    EXPECT_FALSE(recorder.has(100, TransferTask::TRANSFERRING_START_NEW_FILE));
    EXPECT_TRUE(listTree(receiveDir).empty());
}

TEST_F(ScriptedLinkSharing, CancelWhileThePartnerStallsEndsPromptly)
{
    presetPrefs(server.url(""));
    server.answer("/download/K77", {200, contents(files, server), 20000});
    DownloadLinkSharingTask task(L"K77", fromUtf8(receiveDir));
    useTestApiKey();
    task.setAuthTokenValue(&token);
    task.setOptionValues(&option);
    recorder.attach(task);
    task.start();
    for (int i = 0; i < 300 && server.count("/download/K77") == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(server.count("/download/K77"), 1u);
    const auto before = std::chrono::steady_clock::now();
    task.cancel();
    task.wait();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(3));
    const EventList expected = {{1, 258}};
    EXPECT_EQ(recorder.outcome(), expected);
    EXPECT_EQ(server.count("/download/K77"), 1u);
    EXPECT_TRUE(listTree(receiveDir).empty());
}

// ---------------------------------------------------------------------------------------------
// End to end against the real service and its partner double.

class ServiceLinkSharing : public ::testing::Test {
protected:
    static void SetUpTestSuite() { HttpServer::setPortCandidates({static_cast<uint16_t>(TestSupport::freePort())}); }

    void SetUp() override
    {
        option.api = service.apiUrl();
        option.push = service.pushUrl();
        option.partner = service.partnerUrl();
    }

    std::wstring share(const std::vector<SharedFile>& shared)
    {
        Json::Value request(Json::objectValue);
        for (const auto& f : shared) {
            Json::Value item(Json::objectValue);
            item["name"] = f.name;
            item["data"] = toBase64(f.bytes);
            request["files"].append(item);
        }
        ServerInfo client;
        Json::Value reply;
        if (client.getData(service.partnerUrl() + "share", request, reply) != 200)
            return std::wstring();
        return fromUtf8(reply["key"].asString());
    }

    size_t logCount(const std::string& text) const
    {
        const std::string log = service.log();
        size_t n = 0;
        for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
            ++n;
        return n;
    }

    void expectReceived(const std::string& dir, const std::vector<SharedFile>& shared)
    {
        for (const auto& f : shared) {
            const std::string path = dir + "/" + f.name;
            ASSERT_TRUE(isFile(path)) << path;
            EXPECT_EQ(md5(readFile(path)), md5(f.bytes)) << path;
        }
        std::vector<std::string> expected;
        for (const auto& f : shared)
            expected.push_back(f.name);
        for (const auto& name : listTree(dir)) {
            if (isFile(dir + "/" + name)) {
                EXPECT_NE(std::find(expected.begin(), expected.end(), name), expected.end()) << name;
            }
        }
    }

    ServiceProcess service;
    TempDir temp;
    AuthTokenValue token;
    LinkOption option;
};

TEST_F(ServiceLinkSharing, TermsThenReceiveThenSecondRunGoesStraightToThePartner)
{
    const std::vector<SharedFile> shared = {
        {"photo.bin", randomBytes(900 * 1024 + 11, 3)},
        {"notes.txt", "shared by link"},
        {"empty.dat", ""},
        {"more.bin", randomBytes(64 * 1024, 4)},
    };
    const std::wstring key = share(shared);
    ASSERT_FALSE(key.empty());

    // An ordinary receive recognises the partner key and hands out the terms.
    {
        EventRecorder events;
        std::string terms;
        DownloadTask probe(key, fromUtf8(temp.file("plain")));
        useTestApiKey();
        probe.setAuthTokenValue(&token);
        probe.setOptionValues(&option);
        probe.setCallback([&](int state, int detail, const void*) {
            if (state == 2 && detail == DownloadTask::ERROR_LINK_SHARING_KEY)
                terms = boost::any_cast<std::string>(probe.getValue(DownloadTask::VALUE_TERMS_URL));
            events.add(state, detail);
        });
        probe.start();
        probe.wait();
        const EventList expected = {{2, 536}, {1, 259}};
        EXPECT_EQ(events.outcome(), expected);
        EXPECT_EQ(terms, service.partnerUrl() + "terms");
        EXPECT_TRUE(listTree(temp.file("plain")).empty());
    }

    std::wstring typed = key;
    for (auto& c : typed)
        c = static_cast<wchar_t>(std::towlower(c));
    const std::string first = temp.file("first");
    {
        EventRecorder events;
        DownloadLinkSharingTask task(typed, fromUtf8(first));
        useTestApiKey();
        task.setAuthTokenValue(&token);
        task.setOptionValues(&option);
        events.attach(task);
        task.start();
        task.wait();
        EXPECT_EQ(events.outcome(), kSuccess);
        EXPECT_TRUE(task.IsTransferComplete());
        expectReceived(first, shared);
    }
    const std::map<std::string, std::string> prefs = option.prefs();
    for (const auto& name : kPrefNames)
        EXPECT_FALSE(prefs.count(name) == 0 || prefs.at(name).empty()) << name;
    EXPECT_EQ(option.prefs()["share_server"], "http://127.0.0.1:" + std::to_string(service.partnerPort()));
    EXPECT_EQ(logCount("/key/search/"), 2u);
    EXPECT_EQ(logCount(" POST /register "), 1u);

    // Everything is stored now: the second run asks the partner for the list and nothing else.
    const std::string second = temp.file("second");
    {
        EventRecorder events;
        DownloadLinkSharingTask task(key, fromUtf8(second));
        useTestApiKey();
        task.setAuthTokenValue(&token);
        task.setOptionValues(&option);
        events.attach(task);
        task.start();
        task.wait();
        EXPECT_EQ(events.outcome(), kSuccess);
        expectReceived(second, shared);
    }
    EXPECT_EQ(logCount("/key/search/"), 2u);
    EXPECT_EQ(logCount(" POST /register "), 1u);
    EXPECT_EQ(logCount(" POST /authorization "), 0u);
    EXPECT_EQ(logCount(" GET /download/"), 2u);
}

TEST_F(ServiceLinkSharing, NameLeadingOutOfTheFolderIsRefused)
{
    const std::vector<SharedFile> shared = {{"../x", "outside"}, {"inside.txt", "inside"}};
    const std::wstring key = share(shared);
    ASSERT_FALSE(key.empty());
    const std::string dir = temp.file("recv");
    EventRecorder events;
    DownloadLinkSharingTask task(key, fromUtf8(dir));
    useTestApiKey();
    task.setAuthTokenValue(&token);
    task.setOptionValues(&option);
    events.attach(task);
    task.start();
    task.wait();
    EXPECT_TRUE(events.has(2, DownloadTask::ERROR_FILE_UNSAFE_NAME));
    ASSERT_FALSE(events.outcome().empty());
    EXPECT_EQ(events.outcome().back(), std::make_pair(1, 259));
    EXPECT_FALSE(fs::exists(temp.file("x")));
    EXPECT_FALSE(fs::exists(temp.file("x.trovanti")));
    EXPECT_EQ(readFile(dir + "/inside.txt"), "inside");
}

}  // namespace
