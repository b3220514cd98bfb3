#pragma once

class CommandLine;
class QString;

// The fixed start-up and shutdown orders of the application's services, and the start modes.
// Services that are added later take their place in the lists in startupsequence.cpp.
class StartupSequence
{
public:
    // A second start: forwards its command line to the running instance. Returns the status to
    // exit with (-1).
    static int forwardToRunningInstance(const CommandLine& commandLine);

    // Starts every service in order. False when start-up has to stop (a quit was requested).
    static bool startServices(const CommandLine& commandLine);

    // Picks the start mode and runs the event loop unless the mode says otherwise; returns the
    // exit status.
    static int run(const CommandLine& commandLine);

    // Removes every service in the fixed order; safe for services that never started.
    static void shutdown();

    // Files handed over on the command line or by a second start, for the send flow.
    static void handOverFiles(const QString& deviceId, const QString& fileList);
};
