// velmora-scanlimit: the speed limit for any converter of a given file. It
// reads the whole file and scans it once for line ends with memchr, which is
// the least that a line-based reader has to do. It reads in 1 MiB pieces into
// one buffer, as the converter's loader does: reading the whole file into
// fresh memory would add the cost of a page fault for every 4 KiB, which on
// some machines takes longer than the scan itself, and would let a converter
// that streams its input appear faster than the limit.
//
//   velmora-scanlimit FILE
//
// Prints the file size, the number of LF bytes, the time taken (read and scan,
// measured inside the process) and the resulting MB/s (10^6 bytes per second).
#include <fcntl.h>
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
    if (file.fd < 0) {
        std::perror(argv[1]);
        return 1;
    }
    constexpr std::size_t kPieceSize = 1 << 20;
    std::unique_ptr<char[]> buffer(new char[kPieceSize]);
    std::size_t have = 0;
    std::size_t lines = 0;
    for (;;) {
        const ssize_t got = ::read(file.fd, buffer.get(), kPieceSize);
        if (got < 0) {
            std::perror(argv[1]);
            return 1;
        }
        if (got == 0) break;
        have += static_cast<std::size_t>(got);
        const char* p = buffer.get();
        const char* const end = p + got;
        while (const void* hit = std::memchr(p, '\n', static_cast<std::size_t>(end - p))) {
            ++lines;
            p = static_cast<const char*>(hit) + 1;
        }
    }

    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("%zu bytes, %zu line ends, %.4f s, %.1f MB/s\n", have, lines, seconds,
                seconds > 0 ? have / seconds / 1e6 : 0.0);
    return 0;
}
