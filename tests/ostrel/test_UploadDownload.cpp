#include "ostrel/DownloadTask.h"
#include "ostrel/FileUtil.h"
#include "ostrel/HashUtil.h"
#include "ostrel/HttpServer.h"
#include "ostrel/UploadTask.h"

#include <gtest/gtest.h>

#include <boost/any.hpp>
#include <boost/filesystem.hpp>

#include "TransferTestUtil.h"
#include "support/FreePort.h"
#include "support/ServiceProcess.h"
#include "support/TempDir.h"

using namespace Ostrel;
using namespace TaskTest;
using TestSupport::ServiceProcess;
using TestSupport::TempDir;

namespace fs = boost::filesystem;

namespace {

const EventList kSuccess = {{1, 257}};

// One device of the test: its own credential record, options and event log.
struct Device {
    TransferOption option;
    AuthTokenValue token;
    EventRecorder recorder;

    void start(BaseTask& task)
    {
        useTestApiKey();
        task.setAuthTokenValue(&token);
        task.setOptionValues(&option);
        recorder.attach(task);
        task.start();
    }
};

struct SourceFile {
    std::string relative;  // below the source folder
    std::string received;  // below the receive folder
    std::string bytes;
};

class UploadDownload : public ::testing::Test {
protected:
    static void SetUpTestSuite() { HttpServer::setPortCandidates({static_cast<uint16_t>(TestSupport::freePort())}); }

    void SetUp() override
    {
        for (Device* d : {&sender, &receiver}) {
            d->option.api = service.apiUrl();
            d->option.push = service.pushUrl();
        }
        receiveDir = temp.file("recv");
        receiver.option.downloadPath = fromUtf8(receiveDir);
        const std::string src = temp.file("src");
        files = {
            {"one.bin", "one.bin", randomBytes(300 * 1024, 1)},
            {"two.txt", "two.txt", "hello two"},
            {"other/two.txt", "two-1.txt", "another two"},
            {"Tree/a.txt", "Tree/a.txt", "tree a"},
            {"Tree/sub/b.bin", "Tree/sub/b.bin", randomBytes(1024 * 1024 + 17, 2)},
        };
        int i = 0;
        for (const auto& f : files) {
            const std::string path = src + "/" + f.relative;
            fs::create_directories(fs::path(path).parent_path());
            writeFile(path, f.bytes);
            File::lastWriteTime(path, 1600000000 + 1000 * (++i));
        }
        fs::create_directories(src + "/Void");
        sources = {fromUtf8(src + "/one.bin"), fromUtf8(src + "/two.txt"), fromUtf8(src + "/other/two.txt"),
                   fromUtf8(src + "/Tree/"), fromUtf8(src + "/Void")};
    }

    std::wstring waitForKey(UploadTask& task)
    {
        if (!sender.recorder.waitFor(TransferTask::PREPARING_UPDATED_KEY, 10000))
            return std::wstring();
        return boost::any_cast<std::wstring>(task.getValue(TransferTask::VALUE_KEY));
    }

    void expectReceived()
    {
        const std::string src = temp.file("src");
        for (const auto& f : files) {
            const std::string path = receiveDir + "/" + f.received;
            ASSERT_TRUE(isFile(path)) << path;
            EXPECT_EQ(md5(readFile(path)), md5(f.bytes)) << path;
            EXPECT_EQ(File::lastWriteTime(path), File::lastWriteTime(src + "/" + f.relative)) << path;
        }
        EXPECT_TRUE(isFile(receiveDir + "/Void/.empty"));
        EXPECT_TRUE(isFile(src + "/Void/.empty"));
        for (fs::recursive_directory_iterator it(receiveDir), end; it != end; ++it)
            EXPECT_EQ(it->path().string().find(".trovanti"), std::string::npos) << it->path();
    }

    void sendAndReceive(TransferTask::Mode mode, bool receiverAfterUpload)
    {
        UploadTask upload(sources, mode);
        sender.start(upload);
        const std::wstring key = waitForKey(upload);
        ASSERT_FALSE(key.empty());
        if (receiverAfterUpload) {
            upload.wait();
            ASSERT_EQ(sender.recorder.outcome(), kSuccess);
        }
        DownloadTask download(key, receiver.option.downloadPath);
        receiver.start(download);
        download.wait();
        upload.wait();
        EXPECT_EQ(receiver.recorder.outcome(), kSuccess);
        EXPECT_EQ(sender.recorder.outcome(), kSuccess);
        EXPECT_TRUE(download.IsTransferComplete());
        EXPECT_EQ(boost::any_cast<TransferTask::Mode>(download.getValue(TransferTask::VALUE_MODE)), mode);
        EXPECT_TRUE(receiver.recorder.has(100, TransferTask::TRANSFERRING_START_NEW_FILE));
        EXPECT_TRUE(receiver.recorder.has(100, TransferTask::TRANSFERRING_END_FILE));
        EXPECT_TRUE(receiver.recorder.has(10, TransferTask::PREPARING_UPDATED_FILE_LIST));
        expectReceived();
    }

    ServiceProcess service;
    TempDir temp;
    Device sender;
    Device receiver;
    std::string receiveDir;
    std::vector<SourceFile> files;
    std::vector<std::wstring> sources;
};

TEST_F(UploadDownload, DirectSendAndReceive) { sendAndReceive(TransferTask::MODE_DIRECT, false); }

TEST_F(UploadDownload, DirectSingleConnection)
{
    sender.option.parallel = false;
    receiver.option.parallel = false;
    sendAndReceive(TransferTask::MODE_DIRECT, false);
}

TEST_F(UploadDownload, RelayReceiverJoinsAfterUpload) { sendAndReceive(TransferTask::MODE_UPLOAD, true); }

TEST_F(UploadDownload, HybridSendAndReceive) { sendAndReceive(TransferTask::MODE_HYBRID, false); }

TEST_F(UploadDownload, UnknownKeyAndMissingFolder)
{
    {
        DownloadTask download(L"999999", receiver.option.downloadPath);
        receiver.start(download);
        download.wait();
        const EventList expected = {{2, 532}, {1, 259}};
        EXPECT_EQ(receiver.recorder.outcome(), expected);
    }
    {
        Device other;
        other.option.api = service.apiUrl();
        other.option.downloadPath = L"";
        DownloadTask download(L"999999", L"");
        other.start(download);
        download.wait();
        const EventList expected = {{2, 533}, {1, 259}};
        EXPECT_EQ(other.recorder.outcome(), expected);
    }
}

TEST(UploadFileList, FolderNamesDuplicatesAndEmptyFolder)
{
    TempDir temp;
    fs::create_directories(temp.file("Photos/2017"));
    writeFile(temp.file("Photos/2017/b.jpg"), "b");
    writeFile(temp.file("Photos/2017/a.jpg"), "a");
    writeFile(temp.file("Photos/.hidden"), "h");
    writeFile(temp.file("a.txt"), "x");
    fs::create_directories(temp.file("x"));
    writeFile(temp.file("x/a.txt"), "y");
    fs::create_directories(temp.file("y"));
    writeFile(temp.file("y/a.txt"), "z");
    fs::create_directories(temp.file("Empty"));
    for (const std::string photos : {temp.file("Photos"), temp.file("Photos/")}) {
        UploadTask task({fromUtf8(photos), fromUtf8(temp.file("a.txt")), fromUtf8(temp.file("x/a.txt")),
                         fromUtf8(temp.file("y/a.txt")), fromUtf8(temp.file("Empty"))},
                        TransferTask::MODE_DIRECT);
        task.setUploadFileList(std::vector<std::wstring>{fromUtf8(photos), fromUtf8(temp.file("a.txt")),
                                                         fromUtf8(temp.file("x/a.txt")),
                                                         fromUtf8(temp.file("y/a.txt")),
                                                         fromUtf8(temp.file("Empty"))});
        task.removeDuplicatedName();
        std::vector<std::wstring> names;
        for (const auto* r : task.records())
            names.push_back(r->name);
        const std::vector<std::wstring> expected = {L"Photos/.hidden", L"Photos/2017/a.jpg", L"Photos/2017/b.jpg",
                                                    L"a.txt",          L"a-1.txt",           L"a-2.txt",
                                                    L"Empty/.empty"};
        EXPECT_EQ(names, expected) << photos;
        EXPECT_TRUE(isFile(temp.file("Empty/.empty")));
    }
}

}  // namespace
