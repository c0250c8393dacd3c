// velmora-measure: runs one program once and reports its wall time and peak
// resident memory, taken from the kernel's accounting of that child alone
// (wait4), so the benchmark script needs no timing tool of its own.
//
//   velmora-measure [--quiet] -- PROGRAM [ARGS...]
//
// Prints one line "SECONDS PEAK_KIB EXIT_STATUS". With --quiet the program's
// standard output and error go to /dev/null. The exit status of velmora-measure
// is 0 when the program could be started, whatever the program returned.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string_view>

extern char** environ;

int main(int argc, char** argv) {
    bool quiet = false;
    int first = 1;
    for (; first < argc; ++first) {
        const std::string_view arg = argv[first];
        if (arg == "--quiet") {
            quiet = true;
        } else if (arg == "--") {
            ++first;
            break;
        } else {
            first = argc;
        }
    }
    if (first >= argc) {
        std::fputs("usage: velmora-measure [--quiet] -- PROGRAM [ARGS...]\n", stderr);
        return 2;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (quiet) {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    }

    const auto started = std::chrono::steady_clock::now();
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, argv[first], &actions, nullptr, argv + first, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        std::fprintf(stderr, "velmora-measure: %s: %s\n", argv[first], std::strerror(spawned));
        return 1;
    }

    int status = 0;
    struct rusage usage {};
    while (::wait4(child, &status, 0, &usage) < 0) {
        if (errno != EINTR) {
            std::perror("velmora-measure: wait4");
            return 1;
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const int exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    // ru_maxrss is in KiB on Linux.
    std::printf("%.6f %ld %d\n", seconds, usage.ru_maxrss, exitStatus);
    return 0;
}
