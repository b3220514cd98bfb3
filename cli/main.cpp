#include <cstdio>
#include <exception>

#include "AccountCommands.h"
#include "CliContext.h"
#include "CliOptions.h"
#include "ListenCommand.h"
#include "ReceiveCommand.h"
#include "SendCommand.h"

namespace {

int dispatch(CliContext& context)
{
    const std::string& command = context.options.command();
    AccountCommands account(context);
    if (command == "send")
        return SendCommand(context).run();
    if (command == "receive")
        return ReceiveCommand(context).run();
    if (command == "listen")
        return ListenCommand(context).run();
    if (command == "login")
        return account.login();
    if (command == "logout")
        return account.logout();
    if (command == "register")
        return account.registerUser();
    if (command == "whoami")
        return account.whoami();
    if (command == "devices")
        return account.devices();
    if (command == "nearby")
        return account.nearby();
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    CliOptions options;
    try {
        options.parse(argc, argv);
    } catch (const CliOptions::UsageError& e) {
        std::fprintf(stderr, "trovanti-cli: %s\n\n%s", e.what(), CliOptions::usage(options.command()).c_str());
        return 2;
    }
    const std::string& command = options.command();
    if (command == "help") {
        const std::string topic = options.positional().empty() ? std::string() : options.positional()[0];
        std::printf("%s", CliOptions::usage(topic).c_str());
        return 0;
    }
    if (options.has("help")) {
        std::printf("%s", CliOptions::usage(command).c_str());
        return 0;
    }
    if (command.empty()) {
        std::fprintf(stderr, "%s", CliOptions::usage(std::string()).c_str());
        return 2;
    }
    CliContext context(options);
    try {
        return dispatch(context);
    } catch (const CliOptions::UsageError& e) {
        std::fprintf(stderr, "trovanti-cli: %s\n\n%s", e.what(), CliOptions::usage(command).c_str());
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "trovanti-cli: %s\n", e.what());
        return 1;
    }
}
