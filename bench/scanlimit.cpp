// velmora-scanlimit: the speed limit for any converter of a given file. It
// reads the whole file into memory and scans it once for line ends with
// memchr, which is the least that a line-based reader has to do.
//
//   velmora-scanlimit FILE
//
// Prints the file size, the number of LF bytes, the time taken (read and scan,
// measured inside the process) and the resulting MB/s (10^6 bytes per second).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: velmora-scanlimit FILE\n", stderr);
        return 2;
    }
    const auto started = std::chrono::steady_clock::now();

    Descriptor file{::open(argv[1], O_RDONLY)};
    struct stat status {};
    if (file.fd < 0 || ::fstat(file.fd, &status) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    const auto size = static_cast<std::size_t>(status.st_size);
    // Left uninitialised on purpose: the read is the first touch of every page,
    // as it is for a loader that reads into a freshly allocated buffer.
    std::unique_ptr<char[]> buffer(new char[size + 1]);
    std::size_t have = 0;
    while (have < size) {
        const ssize_t got = ::read(file.fd, buffer.get() + have, size - have);
        if (got < 0) {
            std::perror(argv[1]);
            return 1;
        }
        if (got == 0) break;
        have += static_cast<std::size_t>(got);
    }

    std::size_t lines = 0;
    const char* p = buffer.get();
    const char* const end = p + have;
    while (const void* hit = std::memchr(p, '\n', static_cast<std::size_t>(end - p))) {
        ++lines;
        p = static_cast<const char*>(hit) + 1;
    }

    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("%zu bytes, %zu line ends, %.4f s, %.1f MB/s\n", have, lines, seconds,
                seconds > 0 ? have / seconds / 1e6 : 0.0);
    return 0;
}
