// velmora-measure: runs programs as whole child processes and reports their
// wall time and peak resident memory, taken from the kernel's accounting of
// each child alone (wait4), so the benchmark script needs no timing tool of
// its own.
//
//   velmora-measure [--quiet] -- PROGRAM [ARGS...]
//       runs PROGRAM once and prints one line "SECONDS PEAK_KIB EXIT_STATUS".
//
//   velmora-measure --pairs N [--quiet] -- LIMIT [ARGS...] --versus PROGRAM [ARGS...]
//       runs LIMIT and PROGRAM alternately, N pairs, and compares them pair by
//       pair. Prints one line per pair,
//         "# pair I LIMIT_SECONDS PROGRAM_SECONDS SHARE PROGRAM_PEAK_KIB PROGRAM_CPU_SECONDS",
//       where SHARE is LIMIT_SECONDS / PROGRAM_SECONDS (the share of the
//       limit's speed that PROGRAM reaches), then one summary line
//         "LIMIT_SECONDS PROGRAM_SECONDS SHARE SHARE_MIN SHARE_MAX PEAK_KIB PROGRAM_CPU_SECONDS"
//       with the median wall times, the median of the pairwise shares, their
//       smallest and largest, PROGRAM's largest peak and its median processor
//       time (user and system). The order within a
//       pair alternates (limit first, then PROGRAM first, and so on), so that
//       a drift of the machine's load over the run weighs on both alike.
//
// With --quiet the programs' standard output and error go to /dev/null. In the
// single mode the exit status of velmora-measure is 0 when the program could be
// started, whatever the program returned; in the pair mode it is 1 as soon as
// either program fails, after naming it on standard error.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

extern char** environ;

namespace {

struct Run {
    double seconds;
    double cpuSeconds;  // user and system time of the child
    long peakKib;       // ru_maxrss, in KiB on Linux
    int exitStatus;
};

double seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

// Runs `argv` (null-terminated) once and waits for it; nothing when it could
// not be started.
std::optional<Run> runOnce(char* const* argv, bool quiet) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (quiet) {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    }
    const auto started = std::chrono::steady_clock::now();
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        std::fprintf(stderr, "velmora-measure: %s: %s\n", argv[0], std::strerror(spawned));
        return std::nullopt;
    }
    int status = 0;
    struct rusage usage {};
    while (::wait4(child, &status, 0, &usage) < 0) {
        if (errno != EINTR) {
            std::perror("velmora-measure: wait4");
            return std::nullopt;
        }
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return Run{wall, seconds(usage.ru_utime) + seconds(usage.ru_stime), usage.ru_maxrss,
               WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status)};
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

[[noreturn]] void usage() {
    std::fputs(
        "usage: velmora-measure [--quiet] -- PROGRAM [ARGS...]\n"
        "       velmora-measure --pairs N [--quiet] -- LIMIT [ARGS...] --versus PROGRAM [ARGS...]\n",
        stderr);
    std::exit(2);
}

// Runs `program` and reports a start failure or a non-zero exit as a failure.
std::optional<Run> runChecked(char* const* program, bool quiet) {
    const auto run = runOnce(program, quiet);
    if (run && run->exitStatus != 0) {
        std::fprintf(stderr, "velmora-measure: %s exited with status %d\n", program[0], run->exitStatus);
        return std::nullopt;
    }
    return run;
}

int comparePairs(int pairs, char** limit, char** program, bool quiet) {
    std::vector<double> limitSeconds, programSeconds, programCpuSeconds, shares;
    long peak = 0;
    for (int i = 0; i < pairs; ++i) {
        std::optional<Run> a, b;
        if (i % 2 == 0) {
            a = runChecked(limit, quiet);
            if (a) b = runChecked(program, quiet);
        } else {
            b = runChecked(program, quiet);
            if (b) a = runChecked(limit, quiet);
        }
        if (!a || !b) return 1;
        const double share = a->seconds / b->seconds;
        limitSeconds.push_back(a->seconds);
        programSeconds.push_back(b->seconds);
        programCpuSeconds.push_back(b->cpuSeconds);
        shares.push_back(share);
        peak = std::max(peak, b->peakKib);
        std::printf("# pair %d %.6f %.6f %.4f %ld %.6f\n", i + 1, a->seconds, b->seconds, share, b->peakKib,
                    b->cpuSeconds);
    }
    const auto [low, high] = std::minmax_element(shares.begin(), shares.end());
    std::printf("%.6f %.6f %.4f %.4f %.4f %ld %.6f\n", median(limitSeconds), median(programSeconds), median(shares),
                *low, *high, peak, median(programCpuSeconds));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    bool quiet = false;
    int pairs = 0;
    int first = 1;
    for (; first < argc; ++first) {
        const std::string_view arg = argv[first];
        if (arg == "--quiet") {
            quiet = true;
        } else if (arg == "--pairs" && first + 1 < argc) {
            const std::string_view n = argv[++first];
            const auto [end, ec] = std::from_chars(n.data(), n.data() + n.size(), pairs);
            if (ec != std::errc() || end != n.data() + n.size() || pairs < 1) usage();
        } else if (arg == "--") {
            ++first;
            break;
        } else {
            usage();
        }
    }
    if (first >= argc) usage();

    if (pairs == 0) {
        const auto run = runOnce(argv + first, quiet);
        if (!run) return 1;
        std::printf("%.6f %ld %d\n", run->seconds, run->peakKib, run->exitStatus);
        return 0;
    }

    // Split the rest at --versus into two null-terminated argument vectors.
    int versus = first;
    while (versus < argc && std::string_view(argv[versus]) != "--versus") ++versus;
    if (versus == first || versus + 1 >= argc) usage();
    argv[versus] = nullptr;
    return comparePairs(pairs, argv + first, argv + versus + 1, quiet);
}
