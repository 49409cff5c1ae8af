// Runs a whole program as a user would, for the benchmarks that time one.
#pragma once

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace wa::bench {

struct Timed {
    double seconds = 0;
    long peak_kib = 0;
    int status = -1;
};

// A child's peak memory counts the memory of the process it was forked from,
// so a benchmark that holds large answers of its own measures through a
// fresh copy of itself: a benchmark's main calls this first.
inline void MeasureWhenAsked(int argc, char** argv) {
    if (argc < 3 || std::strcmp(argv[1], "--measure") != 0) return;
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        ::execvp(argv[2], argv + 2);
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    std::printf("%ld %d\n", usage.ru_maxrss, WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    std::exit(0);
}

// Runs a program with its output thrown away; wall time and peak RSS.
inline Timed RunProgram(const std::vector<std::string>& args) {
    std::fflush(nullptr);  // nothing buffered goes out twice through the child
    int pipe_fds[2];
    if (::pipe(pipe_fds) != 0) return {};
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipe_fds[1], STDOUT_FILENO);
        ::close(pipe_fds[0]);
        std::vector<std::string> measured{"/proc/self/exe", "--measure"};
        measured.insert(measured.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (const std::string& a : measured) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(pipe_fds[1]);
    std::string said;
    char buffer[64];
    for (ssize_t n; (n = ::read(pipe_fds[0], buffer, sizeof buffer)) > 0;) said.append(buffer, static_cast<std::size_t>(n));
    ::close(pipe_fds[0]);
    ::waitpid(pid, nullptr, 0);
    Timed timed;
    timed.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::sscanf(said.c_str(), "%ld %d", &timed.peak_kib, &timed.status);
    return timed;
}

}  // namespace wa::bench
