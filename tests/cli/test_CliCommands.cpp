#include <signal.h>

#include <boost/filesystem.hpp>

#include "CliTestUtil.h"

using namespace CliTest;
namespace fs = boost::filesystem;

namespace {

class CliCommands : public CliFixture {
protected:
    int run(CliProcess& p, const std::vector<std::string>& arguments, const std::string& input = std::string(),
            int timeoutMs = 30000)
    {
        p.start(arguments, input);
        return p.wait(timeoutMs);
    }

    Json::Value whoami(const Device& d)
    {
        auto p = process("whoami");
        EXPECT_EQ(run(*p, args(d, "whoami", {"--json"})), 0) << p->err();
        Json::Value v;
        const auto events = p->events();
        if (!events.empty())
            v = events.front();
        return v;
    }
};

struct FailureCase {
    const char* name;
    std::vector<std::string> extra;  // after "receive"
    const char* reason;              // expected in the one line on standard error
};

TEST_F(CliCommands, ReceiveFailuresExitOneWithAPlainReason)
{
    writeFile(temp.file("plainfile"), "x");
    const std::vector<FailureCase> cases = {
        {"unknown key", {"999999", "-o", temp.file("recv")}, "unknown key"},
        {"folder under a file", {"999999", "-o", temp.file("plainfile") + "/sub"}, "receive folder not writable"},
        {"folder is a file", {"999999", "-o", temp.file("plainfile")}, "receive folder not writable"},
    };
    for (const auto& c : cases) {
        auto p = process("receive");
        EXPECT_EQ(run(*p, args(b, "receive", c.extra)), 1) << c.name;
        const std::string err = p->err();
        EXPECT_NE(err.find(c.reason), std::string::npos) << c.name << ": " << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << c.name << ": " << err;
        EXPECT_EQ(err.compare(0, 14, "trovanti-cli: "), 0) << err;
    }
}

TEST_F(CliCommands, ServiceThatIsNotThereIsNamed)
{
    auto p = process("receive");
    const std::string deadUrl = "http://127.0.0.1:" + std::to_string(TestSupport::freePort()) + "/api/v1/";
    EXPECT_EQ(run(*p, {"receive", "123456", "--api-url", deadUrl, "--data-dir", b.dataDir, "-o", temp.file("r")},
                  std::string(), 60000),
              1);
    EXPECT_NE(p->err().find("cannot reach the service at " + deadUrl), std::string::npos) << p->err();
}

TEST_F(CliCommands, UsageErrorsExitTwoWithTheUsageOnStandardError)
{
    const std::vector<std::vector<std::string>> cases = {
        {"receive", "--bogus", "123456"}, {"send"}, {"send", "--mode", "teleport", "x"},
        {"receive"},                      {"frobnicate"}, {"receive", "1", "--pattern", "(["},
        {"send", "--limit-rate", "fast", "x"},
    };
    for (const auto& c : cases) {
        auto p = process("usage");
        EXPECT_EQ(run(*p, c), 2) << c[0];
        EXPECT_NE(p->err().find("Usage: trovanti-cli"), std::string::npos) << p->err();
        EXPECT_TRUE(p->out().empty()) << p->out();
    }
    for (const std::string command : {"send", "receive", "listen", "whoami", "login"}) {
        auto p = process("help");
        EXPECT_EQ(run(*p, {command, "--help"}), 0);
        EXPECT_NE(p->out().find("Usage: trovanti-cli " + command), std::string::npos) << p->out();
    }
}

TEST_F(CliCommands, SendOfAMissingFileFails)
{
    auto p = process("send");
    EXPECT_EQ(run(*p, args(a, "send", {temp.file("nothing-here")})), 1);
    EXPECT_NE(p->err().find("no such file or folder"), std::string::npos) << p->err();
}

TEST_F(CliCommands, InterruptedReceiveExits130AndKeepsItsTemporaryFile)
{
    const std::string big = temp.file("big.bin");
    writeRandomFile(big, 32, 3);
    const std::string recv = temp.file("recv");
    const std::string partial = recv + "/big.bin.trovanti";
    auto sender = process("send");
    sender->start(args(a, "send", {"--mode", "upload", big}));
    const std::string key = sender->waitForKey(20000);
    ASSERT_FALSE(key.empty()) << sender->err();
    ASSERT_EQ(sender->wait(30000), 0) << sender->err();

    for (int sig : {SIGINT, SIGTERM}) {
        auto receiver = process("receive");
        receiver->start(args(b, "receive", {key, "-o", recv, "--limit-rate", "4M"}));
        const uint64_t before = fileSize(partial);
        ASSERT_TRUE(waitUntil([&] { return fileSize(partial) > before + (1u << 20) || !receiver->running(); }, 20000));
        ASSERT_TRUE(receiver->running()) << receiver->err();
        receiver->signal(sig);
        EXPECT_EQ(receiver->wait(15000), 130) << sig;
        EXPECT_NE(receiver->err().find("cancelled"), std::string::npos) << receiver->err();
        EXPECT_TRUE(isFile(partial));
        EXPECT_FALSE(isFile(recv + "/big.bin"));
    }
    // What the two interrupted runs left is picked up.
    auto last = process("receive-last");
    last->start(args(b, "receive", {key, "-o", recv, "--json"}));
    ASSERT_EQ(last->wait(30000), 0) << last->err();
    EXPECT_TRUE(sameContent(recv + "/big.bin", big));
    EXPECT_GT(findEvent(last->events(), "done")["resumed"].asUInt64(), 2u << 20);
}

TEST_F(CliCommands, WhoamiRegistersOnceAndNamesTheDevice)
{
    auto p = process("whoami");
    ASSERT_EQ(run(*p, args(a, "whoami", {"--json", "--profile-name", "Desk \u00e9"})), 0) << p->err();
    const auto events = p->events();
    ASSERT_EQ(events.size(), 1u) << p->out();
    const Json::Value first = events[0];
    EXPECT_EQ(first["device_id"].asString().empty(), false);
    EXPECT_EQ(first["profile_name"].asString(), "Desk \u00e9");
    ASSERT_TRUE(first["user_id"].isString());
    EXPECT_EQ(first["user_id"].asString(), "");
    EXPECT_EQ(whoami(a)["device_id"], first["device_id"]);
    EXPECT_NE(whoami(b)["device_id"], first["device_id"]);
    struct stat st;
    ASSERT_EQ(::stat((a.dataDir + "/cli.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u) << "the credentials file is readable by others";
}

TEST_F(CliCommands, AccountFlowListsTheUsersDevices)
{
    auto reg = process("register");
    ASSERT_EQ(run(*reg, args(a, "register", {"carol", "--password-stdin", "--name", "Carol"}), "s3cret-pw\n"), 0)
        << reg->err();
    auto wrong = process("login-wrong");
    EXPECT_EQ(run(*wrong, args(a, "login", {"carol", "--password-stdin"}), "not-it\n"), 1);
    EXPECT_NE(wrong->err().find("wrong user id or password"), std::string::npos) << wrong->err();
    auto devicesBefore = process("devices-before");
    EXPECT_EQ(run(*devicesBefore, args(a, "devices", {})), 1);
    EXPECT_NE(devicesBefore->err().find("login"), std::string::npos) << devicesBefore->err();

    for (const Device* d : {&a, &b}) {
        auto login = process("login");
        ASSERT_EQ(run(*login, args(*d, "login", {"carol", "--password-stdin"}), "s3cret-pw\n"), 0) << login->err();
    }
    EXPECT_EQ(whoami(a)["user_id"].asString(), "carol");
    auto devices = process("devices");
    ASSERT_EQ(run(*devices, args(a, "devices", {"--json"})), 0) << devices->err();
    std::set<std::string> ids;
    for (const auto& e : devices->events())
        ids.insert(e["device_id"].asString());
    EXPECT_EQ(ids, (std::set<std::string>{whoami(a)["device_id"].asString(), whoami(b)["device_id"].asString()}));

    auto logout = process("logout");
    ASSERT_EQ(run(*logout, args(a, "logout", {})), 0) << logout->err();
    EXPECT_EQ(whoami(a)["user_id"].asString(), "");
    EXPECT_EQ(whoami(b)["user_id"].asString(), "carol");
}

TEST_F(CliCommands, ListenPrintsAKeyPushedBySend)
{
    const std::string deviceB = whoami(b)["device_id"].asString();
    ASSERT_FALSE(deviceB.empty());
    auto listener = process("listen");
    listener->start(args(b, "listen", {"--json"}));

    writeFile(temp.file("note.txt"), "pushed");
    auto sender = process("send");
    sender->start(args(a, "send", {"--mode", "upload", "--to", deviceB, temp.file("note.txt")}));
    const std::string key = sender->waitForKey(20000);
    ASSERT_FALSE(key.empty()) << sender->err();
    ASSERT_EQ(sender->wait(30000), 0) << sender->err();
    EXPECT_NE(sender->out().find("pushed the key to " + deviceB), std::string::npos) << sender->out();

    const std::string line = listener->waitForLine(
        [&](const std::string& l) { return l.find("\"" + key + "\"") != std::string::npos; }, 20000);
    ASSERT_FALSE(line.empty()) << listener->out() << listener->err();
    Json::Value pushed;
    for (const auto& e : listener->events())
        if (e["key"].asString() == key)
            pushed = e;
    EXPECT_EQ(pushed["event"].asString(), "push");
    EXPECT_EQ(pushed["action"].asString(), "recv_key");
    listener->signal(SIGINT);
    EXPECT_EQ(listener->wait(10000), 130);

    // The key that was pushed is a working key.
    auto receiver = process("receive");
    EXPECT_EQ(run(*receiver, args(b, "receive", {key, "-o", temp.file("recv")})), 0) << receiver->err();
    EXPECT_EQ(readFile(temp.file("recv/note.txt")), "pushed");
}

}  // namespace
