#include "CliOptions.h"

#include <algorithm>
#include <cctype>

namespace {

const std::vector<CliOptions::Spec> kGlobal = {
    {"api-url", 0, true},    {"push-url", 0, true}, {"api-key", 0, true}, {"data-dir", 0, true},
    {"port", 0, true},       {"profile-name", 0, true}, {"json", 0, false}, {"quiet", 'q', false},
    {"verbose", 'v', false}, {"help", 'h', false},
};

const char* const kGlobalHelp =
    "Common options:\n"
    "  --data-dir DIR       settings and device credentials (TROVANTI_DATA_DIR;\n"
    "                       default $XDG_DATA_HOME/trovanti-cli); one directory is one device\n"
    "  --api-url URL        service REST API (TROVANTI_API_URL; default http://127.0.0.1:8470/api/v1/)\n"
    "  --push-url URL       push service (TROVANTI_PUSH_URL; default http://127.0.0.1:8470/push/v1/)\n"
    "  --api-key KEY        application key the service expects (TROVANTI_API_KEY)\n"
    "  --port N             port of the peer-to-peer file server (TROVANTI_PEER_PORT;\n"
    "                       default the first free of 8080, 8000, 8888, 8668, 3882)\n"
    "  --profile-name NAME  name other devices see (default from the settings, else the host name)\n"
    "  --json               machine-readable events, one JSON object per line\n"
    "  -q, --quiet          no progress output\n"
    "  -v, --verbose        engine log lines on standard error\n"
    "  -h, --help           this help\n";

}  // namespace

const std::vector<std::string>& CliOptions::commands()
{
    static const std::vector<std::string> names = {"send",   "receive", "listen", "devices", "nearby",
                                                   "login",  "logout",  "register", "whoami", "help"};
    return names;
}

std::vector<CliOptions::Spec> CliOptions::specsFor(const std::string& command)
{
    std::vector<Spec> specs = kGlobal;
    if (command == "send") {
        specs.push_back({"mode", 0, true});
        specs.push_back({"to", 0, true});
        specs.push_back({"limit-rate", 0, true});
    } else if (command == "receive") {
        specs.push_back({"output", 'o', true});
        specs.push_back({"only", 0, true});
        specs.push_back({"pattern", 0, true});
        specs.push_back({"no-resume", 0, false});
        specs.push_back({"overwrite", 0, false});
        specs.push_back({"accept-terms", 0, false});
        specs.push_back({"limit-rate", 0, true});
    } else if (command == "listen") {
        specs.push_back({"once", 0, false});
    } else if (command == "nearby") {
        specs.push_back({"publish", 0, false});
    } else if (command == "login" || command == "register") {
        specs.push_back({"password-stdin", 0, false});
        if (command == "register")
            specs.push_back({"name", 0, true});
    }
    return specs;
}

void CliOptions::parse(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    // The command word is the first argument that is neither an option nor a global option's value.
    size_t commandAt = args.size();
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--")
            break;
        if (a.size() > 1 && a[0] == '-') {
            const std::string name = a.compare(0, 2, "--") == 0 ? a.substr(2, a.find('=') - 2) : std::string();
            for (const auto& s : kGlobal)
                if (s.takesValue && name == s.name && a.find('=') == std::string::npos)
                    ++i;
            continue;
        }
        commandAt = i;
        break;
    }
    if (commandAt < args.size()) {
        command_ = args[commandAt];
        if (std::find(commands().begin(), commands().end(), command_) == commands().end())
            throw UsageError("unknown command '" + command_ + "'");
        args.erase(args.begin() + static_cast<long>(commandAt));
    }
    const std::vector<Spec> specs = specsFor(command_);
    auto findLong = [&](const std::string& name) -> const Spec* {
        for (const auto& s : specs)
            if (name == s.name)
                return &s;
        return nullptr;
    };
    auto findShort = [&](char c) -> const Spec* {
        for (const auto& s : specs)
            if (s.shortName == c)
                return &s;
        return nullptr;
    };
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (optionsEnded || a.size() < 2 || a[0] != '-') {
            positional_.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        const Spec* spec = nullptr;
        std::string inlineValue;
        bool hasInline = false;
        if (a[1] == '-') {
            const size_t eq = a.find('=');
            spec = findLong(a.substr(2, eq == std::string::npos ? std::string::npos : eq - 2));
            if (eq != std::string::npos) {
                hasInline = true;
                inlineValue = a.substr(eq + 1);
            }
        } else {
            spec = findShort(a[1]);
            if (a.size() > 2) {
                hasInline = true;
                inlineValue = a.substr(2);
            }
        }
        if (!spec)
            throw UsageError("unknown option '" + a + "'");
        if (!spec->takesValue) {
            if (hasInline)
                throw UsageError("option '--" + std::string(spec->name) + "' takes no value");
            values_.emplace(spec->name, "");
            continue;
        }
        if (!hasInline) {
            if (i + 1 >= args.size())
                throw UsageError("option '--" + std::string(spec->name) + "' needs a value");
            inlineValue = args[++i];
        }
        values_.emplace(spec->name, inlineValue);
    }
}

std::string CliOptions::value(const std::string& name, const std::string& fallback) const
{
    auto range = values_.equal_range(name);
    if (range.first == range.second)
        return fallback;
    auto last = range.second;
    return (--last)->second;
}

std::vector<std::string> CliOptions::values(const std::string& name) const
{
    std::vector<std::string> result;
    auto range = values_.equal_range(name);
    for (auto it = range.first; it != range.second; ++it)
        result.push_back(it->second);
    return result;
}

unsigned long long CliOptions::bytes(const std::string& name, unsigned long long fallback) const
{
    if (!has(name))
        return fallback;
    const std::string text = value(name);
    size_t digits = 0;
    while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits])))
        ++digits;
    const std::string suffix = text.substr(digits);
    unsigned long long scale = 1;
    if (suffix == "k" || suffix == "K")
        scale = 1024ULL;
    else if (suffix == "m" || suffix == "M")
        scale = 1024ULL * 1024;
    else if (suffix == "g" || suffix == "G")
        scale = 1024ULL * 1024 * 1024;
    else if (!suffix.empty())
        digits = 0;
    if (digits == 0 || digits > 12)
        throw UsageError("option '--" + name + "' needs a number of bytes such as 500K or 20M");
    return std::stoull(text.substr(0, digits)) * scale;
}

std::string CliOptions::usage(const std::string& command)
{
    std::string text;
    if (command == "send") {
        text = "Usage: trovanti-cli send [--mode direct|upload|hybrid] [--to DEVICE_ID] PATH...\n"
               "Registers the files and folders and prints 'key: NNNNNN' (and 'link: URL') at once;\n"
               "the other device runs 'trovanti-cli receive NNNNNN'. direct (the default) waits for the\n"
               "receiver and serves the bytes peer to peer; upload stores them on the service's relay and\n"
               "ends when they are there; hybrid does both and the faster route wins (default with --to).\n"
               "  --mode MODE        direct, upload or hybrid\n"
               "  --to DEVICE_ID     also push the key to that device (see 'trovanti-cli listen')\n"
               "  --limit-rate RATE  at most RATE bytes per second per file (e.g. 500K, 20M)\n";
    } else if (command == "receive") {
        text = "Usage: trovanti-cli receive KEY [-o DIR] [--only NAME]... [--pattern REGEX]\n"
               "                            [--no-resume] [--overwrite] [--accept-terms]\n"
               "Receives the files of KEY into DIR. Partial files of an interrupted receive are resumed.\n"
               "  -o, --output DIR   receive folder (default: the current directory)\n"
               "  --only NAME        receive only this file (as the sender names it); repeatable\n"
               "  --pattern REGEX    receive only the names that fully match REGEX\n"
               "  --no-resume        start every file from the beginning\n"
               "  --overwrite        replace existing files instead of adding (1), (2) to the name\n"
               "  --accept-terms     accept the partner's terms for a shared link\n"
               "  --limit-rate RATE  at most RATE bytes per second per file (e.g. 500K, 20M)\n";
    } else if (command == "listen") {
        text = "Usage: trovanti-cli listen [--once] [--json]\n"
               "Prints the keys other devices push to this one as they arrive, until Ctrl-C.\n"
               "  --once             print what is pending and exit\n";
    } else if (command == "devices") {
        text = "Usage: trovanti-cli devices\n"
               "Lists the devices of the signed-in user (sign in with 'trovanti-cli login').\n";
    } else if (command == "nearby") {
        text = "Usage: trovanti-cli nearby [--publish]\n"
               "Lists devices published nearby.\n"
               "  --publish          first make this device visible to nearby searches\n";
    } else if (command == "login") {
        text = "Usage: trovanti-cli login USER_ID [--password-stdin]\n"
               "Signs USER_ID in on this device; the password is asked for without echo, or read\n"
               "as the first line of standard input with --password-stdin.\n";
    } else if (command == "register") {
        text = "Usage: trovanti-cli register USER_ID [--name NAME] [--password-stdin]\n"
               "Creates a user account (then sign in with 'trovanti-cli login USER_ID').\n";
    } else if (command == "logout") {
        text = "Usage: trovanti-cli logout\nSigns the user out; the device stays registered.\n";
    } else if (command == "whoami") {
        text = "Usage: trovanti-cli whoami [--json]\n"
               "Prints this device's id, its profile name and the signed-in user, registering the\n"
               "device with the service first when it has no id yet.\n";
    } else {
        text = "Usage: trovanti-cli COMMAND [OPTIONS] [ARGS]\n"
               "Moves files between devices through a Trovanti service.\n\n"
               "Commands:\n"
               "  send PATH...       share files and folders under a new key\n"
               "  receive KEY        receive the files of a key\n"
               "  listen             print keys pushed to this device\n"
               "  devices            list the signed-in user's devices\n"
               "  nearby             list devices published nearby\n"
               "  login USER_ID      sign a user in on this device\n"
               "  logout             sign the user out\n"
               "  register USER_ID   create a user account\n"
               "  whoami             this device's id, profile name and user\n\n"
               "'trovanti-cli COMMAND --help' describes a command.\n"
               "Exit status: 0 success, 1 failure (reason on standard error), 2 usage error,\n"
               "130 interrupted (partial files are kept for a later resume).\n";
    }
    return text + "\n" + kGlobalHelp;
}
