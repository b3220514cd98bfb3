#pragma once

class CliContext;

// trovanti-cli listen [--once]: prints the keys pushed to this device as they arrive.
class ListenCommand {
public:
    explicit ListenCommand(CliContext& context) : context_(context) {}
    int run();

private:
    CliContext& context_;
};
