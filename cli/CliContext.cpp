#include "CliContext.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>

#include "ostrel/BaseTask.h"
#include "ostrel/Defaults.h"
#include "ostrel/HttpServer.h"
#include "ostrel/StringUtil.h"

namespace {

// Command line, then environment, then the settings file, then the built-in default.
std::string pick(const CliOptions& options, const char* flag, const char* env, const CliConfig& config,
                 const char* key, const std::string& fallback)
{
    if (options.has(flag))
        return options.value(flag);
    if (const char* e = std::getenv(env))
        if (*e)
            return e;
    const std::string stored = config.get("settings", key);
    return stored.empty() ? fallback : stored;
}

std::string hostName()
{
    char name[256] = {0};
    if (::gethostname(name, sizeof(name) - 1) != 0 || !name[0])
        return "trovanti-cli";
    return name;
}

std::string randomHex(size_t length)
{
    std::random_device rd;
    std::string s;
    const char* digits = "0123456789abcdef";
    for (size_t i = 0; i < length; ++i)
        s += digits[rd() % 16];
    return s;
}

}  // namespace

CliContext::CliContext(const CliOptions& opts)
    : options(opts), config(CliConfig::resolveDataDir(opts.value("data-dir")))
{
    if (options.has("json"))
        output = Output::Json;
    else if (options.has("quiet"))
        output = Output::Quiet;
    else
        output = ::isatty(STDOUT_FILENO) ? Output::Terminal : Output::Plain;
}

bool CliContext::prepare(std::string& error)
{
    if (prepared_)
        return true;
    prepared_ = true;
    if (!config.load(error))
        return false;
    engine.apiUrl = pick(options, "api-url", "TROVANTI_API_URL", config, "api_url", Ostrel::Defaults::kApiUrl);
    engine.pushUrl = pick(options, "push-url", "TROVANTI_PUSH_URL", config, "push_url", Ostrel::Defaults::kPushUrl);
    if (!engine.apiUrl.empty() && engine.apiUrl.back() != '/')
        engine.apiUrl += '/';
    if (!engine.pushUrl.empty() && engine.pushUrl.back() != '/')
        engine.pushUrl += '/';
    const std::string apiKey = pick(options, "api-key", "TROVANTI_API_KEY", config, "api_key", Ostrel::Defaults::kApiKey);
    Ostrel::BaseTask::setApiKey(apiKey.c_str());
    const std::string port = pick(options, "port", "TROVANTI_PEER_PORT", config, "peer_port", "");
    if (!port.empty()) {
        char* end = nullptr;
        const long n = std::strtol(port.c_str(), &end, 10);
        if (!end || *end || n < 1 || n > 65535) {
            error = "the peer port must be a number from 1 to 65535, not '" + port + "'";
            return false;
        }
        Ostrel::HttpServer::setPortCandidates({static_cast<uint16_t>(n)});
    }
    engine.profileName = Ostrel::fromUtf8(pick(options, "profile-name", "TROVANTI_PROFILE_NAME", config,
                                               "profile_name", hostName()));
    // The service only needs a stable per-device value here; make one on first use.
    engine.pushId = config.get("settings", "push_id");
    if (engine.pushId.empty()) {
        engine.pushId = "cli-" + randomHex(24);
        config.set("settings", "push_id", engine.pushId);
        if (!config.save(error))
            return false;
    }
    config.loadCredentials(token);

    verbose = options.has("verbose");
    if (verbose) {
        Ostrel::BaseTask::setDebugLogCallback(
            [](int, const char* text) { std::fprintf(stderr, "%s", text ? text : ""); },
            [](int, const wchar_t* text) { std::fprintf(stderr, "%ls", text ? text : L""); });
    }
    return true;
}

void CliContext::attach(Ostrel::BaseTask& task)
{
    task.setAuthTokenValue(&token);
    task.setOptionValues(&engine);
}

void CliContext::saveCredentials()
{
    std::string error;
    if (!config.storeCredentials(token, error))
        std::fprintf(stderr, "trovanti-cli: warning: %s\n", error.c_str());
}
