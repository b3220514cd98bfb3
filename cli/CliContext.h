#pragma once

#include <string>

#include "ostrel/AuthTokenValue.h"
#include "CliConfig.h"
#include "CliOptions.h"
#include "EngineOption.h"

namespace Ostrel {
class BaseTask;
}

// What every command shares: the parsed command line, the settings file, the one credential
// record of this process and the engine options.
class CliContext {
public:
    enum class Output { Terminal, Plain, Json, Quiet };

    explicit CliContext(const CliOptions& options);

    // Loads the settings and credentials and fills the engine options; false with a reason.
    bool prepare(std::string& error);
    // Hands the task the credential record and the options.
    void attach(Ostrel::BaseTask& task);
    // Saves the credential fields when they changed; a failure is reported on standard error.
    void saveCredentials();

    const CliOptions& options;
    CliConfig config;
    Ostrel::AuthTokenValue token;
    EngineOption engine;
    Output output = Output::Plain;
    bool verbose = false;

    bool json() const { return output == Output::Json; }
    bool quiet() const { return output == Output::Quiet; }

private:
    bool prepared_ = false;
};
