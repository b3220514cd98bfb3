#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "TestHttp.h"
#include "support/ServiceProcess.h"

using namespace TestHttp;
using TestSupport::ServiceProcess;

namespace {

long peakMemoryKiB(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.compare(0, 6, "VmHWM:") == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

std::string substitute(std::string url, const std::string& server)
{
    const std::string authority = server.substr(7, server.find('/', 7) - 7);
    const size_t at = url.find("{SERVER_IP}");
    if (at != std::string::npos)
        url.replace(at, 11, authority);
    return url;
}

}  // namespace

TEST(ServiceWeb, LinkPageListsFilesAndBrowserDownloadsCountForTheSender)
{
    ServiceProcess service;
    Client client(service);
    const Device sender = client.newDevice("sender");
    const std::string data = "<b>web</b> bytes";
    Json::Value req;
    req["mode"] = "upload";
    req["file"][0]["name"] = "docs/<evil>.txt";
    req["file"][0]["size"] = static_cast<Json::UInt64>(data.size());
    const Json::Value key = client.api("key/create", req, sender.token).json();
    const std::string link = key["link"].asString(), server = key["server"].asString();
    Result page = request("GET", link, "");
    ASSERT_EQ(page.status, 200);
    EXPECT_NE(page.body.find("still uploading"), std::string::npos);
    EXPECT_NE(page.body.find("&lt;evil&gt;"), std::string::npos);  // names are escaped
    EXPECT_EQ(page.body.find("<evil>"), std::string::npos);

    Json::Value rep;
    rep["key"] = key["key"];
    rep["state"] = "transfer";
    rep["file"][0]["name"] = "docs/<evil>.txt";
    rep["file"][0]["size"] = static_cast<Json::UInt64>(data.size());
    rep["file"][0]["time"] = 0;
    const Json::Value reply = client.session(server, true, rep, sender).json();
    ASSERT_EQ(request("PUT", substitute(reply["file"][0]["url"].asString(), server), data).status, 200);

    page = request("GET", link, "");
    const size_t href = page.body.find("href=\"");
    ASSERT_NE(href, std::string::npos);
    const std::string path = page.body.substr(href + 6, page.body.find('"', href + 6) - href - 6);
    const Result download = request("GET", service.baseUrl() + path, "");
    EXPECT_EQ(download.status, 200);
    EXPECT_EQ(download.body, data);
    EXPECT_NE(download.headers.at("content-disposition").find("%3Cevil%3E.txt"), std::string::npos);
    const Json::Value events = client.push("get", sender.token).json();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0]["action"].asString(), "peer_recv_completed");
    EXPECT_EQ(request("GET", service.baseUrl() + "/link/0123456789abcdef", "").status, 404);
}

TEST(ServiceWeb, PartnerDoubleServesLinkSharingKeys)
{
    ServiceProcess service({{"--token-ttl", "600"}, "", ""});
    Client client(service);
    const Device d = client.newDevice();
    const std::string partner = service.partnerUrl();
    Json::Value share;
    share["files"][0]["name"] = "shared.txt";
    share["files"][0]["data"] = "cGFydG5lciBieXRlcw";  // "partner bytes"
    Json::StreamWriterBuilder writer;
    writer["indentation"] = "";
    const Result shared = request("POST", partner + "share", Json::writeString(writer, share));
    ASSERT_EQ(shared.status, 200);
    const std::string k = shared.json()["key"].asString();

    // The main API marks the key as the partner's and hands out an authorization.
    std::string lower = k;
    for (auto& ch : lower)
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    const Json::Value found = client.api("key/search/" + lower, Json::Value(Json::objectValue), d.token).json();
    ASSERT_TRUE(found["is_link_sharing"].asBool());
    const std::string authz = found["authz_key"].asString();
    EXPECT_FALSE(found["terms_url"].asString().empty());

    const Headers json = {"Content-Type: application/json"};
    Headers h = json;
    h.push_back("Authorization: " + authz);
    EXPECT_EQ(request("POST", partner + "register", "{\"ext_user_info\":{\"ext_did\":\"x\"}}", json).status, 401);
    const Json::Value reg =
        request("POST", partner + "register",
                "{\"ext_user_info\":{\"ext_uid\":\"u\",\"ext_did\":\"" + d.id +
                    "\",\"ext_dvc_type\":5,\"ext_os_type\":10},\"pkg\":{\"pv\":\"0.0.1\",\"vc\":\"001\"}}",
                h)
            .json();
    const std::string uid = reg["uid"].asString(), refresh = reg["refresh_token"].asString();
    ASSERT_FALSE(uid.empty());
    const Json::Value url = reg["urls"][0];
    EXPECT_EQ(url["scheme"].asString() + "://" + url["address"].asString() + ":" + std::to_string(url["port"].asInt()) +
                  "/",
              partner);

    Headers dl = {"Authorization: " + authz, "Uid: " + uid, "Access-Token: stale"};
    EXPECT_EQ(request("GET", partner + "download/" + k, "", dl).json()["rcode"].asString(), "4000400112");
    Headers login = {"Authorization: " + authz, "Uid: " + uid, "Refresh-Token: wrong"};
    EXPECT_EQ(request("POST", partner + "authorization", "{}", login).status, 400);
    login.back() = "Refresh-Token: " + refresh;
    const std::string access = request("POST", partner + "authorization", "{}", login).json()["access_token"].asString();
    dl.back() = "Access-Token: " + access;
    EXPECT_EQ(request("GET", partner + "download/V0000000", "", dl).json()["rcode"].asString(), "4000201016");
    const Json::Value list = request("GET", partner + "download/" + k, "", dl).json();
    ASSERT_EQ(list["contents"].size(), 1u);
    EXPECT_EQ(list["contents"][0]["name"].asString(), "shared.txt");
    EXPECT_EQ(list["contents"][0]["size"].asInt(), 13);
    const Result bytes = request("GET", list["contents"][0]["original"].asString(), "", {"Range: bytes=8-"});
    EXPECT_EQ(bytes.status, 206);
    EXPECT_EQ(bytes.body, "bytes");
}

TEST(ServiceWeb, AnalyticsSinkCountsHits)
{
    ServiceProcess service;
    const std::string url = service.baseUrl() + "/analytics/collect";
    const Headers form = {"Content-Type: application/x-www-form-urlencoded"};
    EXPECT_EQ(request("POST", url, "v=1&tid=UA-12345678-01&cid=abc&t=screenview&cd=main&an=Trovanti(Linux)", form).status,
              200);
    EXPECT_EQ(request("POST", url, "v=1&tid=UA-12345678-01&cid=abc&t=event&ec=send&ea=transfer_success", form).status,
              200);
    EXPECT_EQ(request("POST", url, "garbage", form).status, 400);
    const Json::Value counts = request("GET", url, "").json();
    EXPECT_EQ(counts["hits"].asInt(), 2);
    EXPECT_EQ(counts["event"].asInt(), 1);
    EXPECT_EQ(counts["screenview"].asInt(), 1);
}

TEST(ServiceWeb, LargeRelayUploadStreamsWithFlatMemory)
{
    ServiceProcess service;
    Client client(service);
    const Device d = client.newDevice();
    const uint64_t size = 256ULL << 20;
    Json::Value req;
    req["mode"] = "upload";
    req["file"][0]["name"] = "big.bin";
    req["file"][0]["size"] = Json::UInt64(size);
    const Json::Value key = client.api("key/create", req, d.token).json();
    const std::string server = key["server"].asString();
    Json::Value rep;
    rep["key"] = key["key"];
    rep["state"] = "transfer";
    const std::string url =
        substitute(client.session(server, true, rep, d).json()["file"][0]["url"].asString(), server);
    const long before = peakMemoryKiB(service.pid());
    uint64_t produced = 0;
    const Result put = putStream(url, size, [&](char* buffer, size_t max) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(max, size - produced));
        for (size_t i = 0; i < n; ++i)
            buffer[i] = static_cast<char>((produced + i) % 251);
        produced += n;
        return n;
    });
    ASSERT_EQ(put.status, 200);
    uint64_t received = 0;
    bool same = true;
    const Result get = getStream(url, [&](const char* data, size_t n) {
        for (size_t i = 0; i < n && same; ++i)
            same = data[i] == static_cast<char>((received + i) % 251);
        received += n;
    });
    EXPECT_EQ(get.status, 200);
    EXPECT_EQ(received, size);
    EXPECT_TRUE(same);
    const long after = peakMemoryKiB(service.pid());
    ASSERT_GT(before, 0);
    EXPECT_LT(after - before, 32 * 1024) << "peak memory grew by " << (after - before) << " KiB";
}
