#pragma once

class CliContext;

// trovanti-cli receive KEY [-o DIR] [--only NAME]... [--pattern REGEX] [--no-resume] [--overwrite]
class ReceiveCommand {
public:
    explicit ReceiveCommand(CliContext& context) : context_(context) {}
    int run();

private:
    CliContext& context_;
};
