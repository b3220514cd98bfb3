#pragma once

class CliContext;

// trovanti-cli send [--mode direct|upload|hybrid] [--to DEVICE_ID] PATH...
class SendCommand {
public:
    explicit SendCommand(CliContext& context) : context_(context) {}
    int run();

private:
    CliContext& context_;
};
