// weibo-albums-cli: the download engine from a terminal or a script.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <cstring>

#include "cli/arguments.h"
#include "cli/commands.h"

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(wa::cli::HelpText().c_str(), stdout);
            return wa::cli::kExitOk;
        }
    }
    // Signals go to the thread that waits for them, never to a worker.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    wa::cli::Arguments args;
    if (!wa::cli::ParseArguments(argc, argv, args)) return wa::cli::kExitUsage;
    return wa::cli::RunCommand(args);
}
