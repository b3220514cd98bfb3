#include <csignal>
#include <cstdio>

#include <pthread.h>

#include "service/Service.h"

int main(int argc, char** argv)
{
    Service::ServiceOptions options;
    std::string message;
    int exitCode = 0;
    if (!options.parse(argc, argv, message, exitCode)) {
        std::fputs(message.c_str(), exitCode == 0 ? stdout : stderr);
        return exitCode;
    }
    // Block the stop signals before any thread starts, so only sigwait below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    Service::TrovantiService service(options);
    std::string error;
    if (!service.start(error)) {
        std::fprintf(stderr, "trovanti-service: %s\n", error.c_str());
        return 1;
    }
    std::printf("listening on %s:%d\n", options.bind.c_str(), options.port);
    std::fflush(stdout);
    int received = 0;
    sigwait(&stopSignals, &received);
    std::fprintf(stderr, "trovanti-service: stopping\n");
    service.stop();
    return 0;
}
