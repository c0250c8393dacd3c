// velmora-scanlimit: the speed limit for any converter of a given file, the
// least that a one-pass, line-based reader has to do with it.
//
//   velmora-scanlimit FILE          reads the file in 1 MiB pieces into one
//                                   buffer and finds the line ends of each
//                                   piece with memchr
//   velmora-scanlimit --whole FILE  reads the whole file into fresh memory and
//                                   finds its line ends with one memchr pass
//
// The piece by piece limit touches no fresh memory after its first piece, as
// a reader that keeps only its results need not. The whole-file limit also
// pays the first touch of every page of the file's size, which on a virtual
// machine can cost more than the scan itself. Prints the bytes, the LF bytes,
// the time taken (read and scan, measured inside the process) and the MB/s
// (10^6 bytes per second).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

namespace {

struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

// The number of LF bytes in `size` bytes at `data`.
std::size_t lineEnds(const char* data, std::size_t size) {
    std::size_t count = 0;
    const char* const end = data + size;
    for (const char* p = data; (p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p))));
         ++p)
        ++count;
    return count;
}

// Reads up to `size` bytes; fewer only at the end of the file, -1 on failure.
ssize_t readFully(int fd, char* buffer, std::size_t size) {
    std::size_t have = 0;
    while (have < size) {
        const ssize_t got = ::read(fd, buffer + have, size - have);
        if (got < 0) return -1;
        if (got == 0) break;
        have += static_cast<std::size_t>(got);
    }
    return static_cast<ssize_t>(have);
}

}  // namespace

int main(int argc, char** argv) {
    const bool whole = argc == 3 && std::string_view(argv[1]) == "--whole";
    if (argc != 2 && !whole) {
        std::fputs("usage: velmora-scanlimit [--whole] FILE\n", stderr);
        return 2;
    }
    const char* const path = argv[argc - 1];
    const auto started = std::chrono::steady_clock::now();

    Descriptor file{::open(path, O_RDONLY)};
    struct stat status {};
    if (file.fd < 0 || ::fstat(file.fd, &status) != 0) {
        std::perror(path);
        return 1;
    }
    // Left uninitialised on purpose: the first read is the first touch of
    // every page of the buffer, as for a reader's freshly allocated one.
    const std::size_t capacity = whole ? static_cast<std::size_t>(status.st_size) : std::size_t{1} << 20;
    const std::unique_ptr<char[]> buffer(new char[capacity + 1]);
    std::size_t bytes = 0, lines = 0;
    for (ssize_t got = 1; got > 0;) {
        got = readFully(file.fd, buffer.get(), capacity);
        if (got < 0) {
            std::perror(path);
            return 1;
        }
        bytes += static_cast<std::size_t>(got);
        lines += lineEnds(buffer.get(), static_cast<std::size_t>(got));
        if (whole) break;
    }

    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("%zu bytes, %zu line ends, %.4f s, %.1f MB/s\n", bytes, lines, seconds,
                seconds > 0 ? bytes / seconds / 1e6 : 0.0);
    return 0;
}
