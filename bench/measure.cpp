// velmora-measure: runs programs as whole child processes and compares their
// wall time, with PROGRAM's processor time and peak resident memory, from the
// kernel's accounting of each child alone (wait4), so that scripts/bench.sh
// needs no timing tool of its own.
//
//   velmora-measure --pairs N [--quiet] -- REFERENCE [ARGS...] [--and REFERENCE [ARGS...]]...
//                   --versus PROGRAM [ARGS...]
//       runs the references and PROGRAM in N rounds, PROGRAM last in odd
//       rounds and first in even ones (the references then in reverse), so
//       that a drift of the machine's load weighs on all alike. Prints per
//       round and reference "# pair ROUND REFERENCE REF_S PROGRAM_S SHARE
//       PEAK_KIB CPU_S", then per reference, in the order given,
//       "REF_S PROGRAM_S SHARE SHARE_MIN SHARE_MAX PEAK_KIB CPU_S": median wall
//       times, the median, smallest and largest of the shares REF_S /
//       PROGRAM_S (the share of the reference's speed that PROGRAM reaches),
//       PROGRAM's largest peak and its median processor time. Exits 1 as soon
//       as a program fails, naming it.
//
// With --quiet the programs' standard output and error go to /dev/null.
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

#include "tool.h"

extern char** environ;

namespace {

struct Run {
    double seconds;
    double cpuSeconds;  // user and system time of the child
    long peakKib;       // ru_maxrss, in KiB on Linux
};

double seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

// Runs `argv` (null-terminated) once and waits for it; nothing, after saying
// why, when it could not be started or did not exit with status 0.
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
    const int exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (exitStatus != 0) {
        std::fprintf(stderr, "velmora-measure: %s exited with status %d\n", argv[0], exitStatus);
        return std::nullopt;
    }
    return Run{wall, seconds(usage.ru_utime) + seconds(usage.ru_stime), usage.ru_maxrss};
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

constexpr const char* kUsage =
    "usage: velmora-measure --pairs N [--quiet] -- REFERENCE [ARGS...] [--and REFERENCE [ARGS...]]...\n"
    "                       --versus PROGRAM [ARGS...]\n";

// `commands`: the references, then the program they are compared with.
int compare(int rounds, const std::vector<char**>& commands, bool quiet) {
    const std::size_t n = commands.size() - 1;  // the program's index
    std::vector<std::vector<double>> wall(n + 1), shares(n);
    std::vector<double> cpu;
    long peak = 0;
    for (int round = 1; round <= rounds; ++round) {
        std::vector<Run> runs(n + 1);
        for (std::size_t k = 0; k <= n; ++k) {
            const std::size_t slot = round % 2 ? k : n - k;
            const auto run = runOnce(commands[slot], quiet);
            if (!run) return 1;
            runs[slot] = *run;
        }
        const Run& program = runs[n];
        cpu.push_back(program.cpuSeconds);
        peak = std::max(peak, program.peakKib);
        for (std::size_t r = 0; r <= n; ++r) wall[r].push_back(runs[r].seconds);
        for (std::size_t r = 0; r < n; ++r) {
            shares[r].push_back(runs[r].seconds / program.seconds);
            std::printf("# pair %d %zu %.6f %.6f %.4f %ld %.6f\n", round, r + 1, runs[r].seconds, program.seconds,
                        shares[r].back(), program.peakKib, program.cpuSeconds);
        }
    }
    for (std::size_t r = 0; r < n; ++r) {
        const auto [low, high] = std::minmax_element(shares[r].begin(), shares[r].end());
        std::printf("%.6f %.6f %.4f %.4f %.4f %ld %.6f\n", median(wall[r]), median(wall[n]), median(shares[r]), *low,
                    *high, peak, median(cpu));
    }
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
            if (ec != std::errc() || end != n.data() + n.size() || pairs < 1) velmora::bench::usage(kUsage);
        } else if (arg == "--") {
            ++first;
            break;
        } else {
            velmora::bench::usage(kUsage);
        }
    }
    if (first >= argc || pairs == 0) velmora::bench::usage(kUsage);

    // Cut the rest at every --and and at --versus into null-terminated
    // argument vectors: the references, then the program.
    std::vector<char**> commands{argv + first};
    for (int i = first; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg != "--and" && arg != "--versus") continue;
        if (i == first || argv[i - 1] == nullptr || i + 1 >= argc) velmora::bench::usage(kUsage);
        argv[i] = nullptr;
        commands.push_back(argv + i + 1);
        if (arg == "--versus") return compare(pairs, commands, quiet);
    }
    velmora::bench::usage(kUsage);
}
