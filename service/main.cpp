#include <cstdio>

#include "service/ServiceOptions.h"

int main(int argc, char** argv)
{
    Service::ServiceOptions options;
    std::string message;
    int exitCode = 0;
    if (!options.parse(argc, argv, message, exitCode)) {
        std::fputs(message.c_str(), exitCode == 0 ? stdout : stderr);
        return exitCode;
    }
    std::fprintf(stderr, "trovanti-service: the service is not built yet\n");
    return 1;
}
