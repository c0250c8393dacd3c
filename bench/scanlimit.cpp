// velmora-scanlimit: the speed limit for any converter of a given file.
//
//   velmora-scanlimit FILE          reads the file in 1 MiB pieces into one
//                                   buffer, a memchr pass for LF over each
//   velmora-scanlimit --whole FILE  reads the whole file into fresh memory,
//                                   then one memchr pass
//
// The first is the least any one-pass reader must do: after its first piece
// it touches no fresh memory. The second, the limit of earlier versions, also
// pays the first touch of every page of the file's size, which on a virtual
// machine can cost more than the scan. Prints the bytes, the LF bytes, the
// time taken inside the process and the MB/s (10^6 bytes per second).
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
    for (;;) {
        // The whole-file limit fills its buffer; the piece by piece one reuses it.
        char* const at = buffer.get() + (whole ? bytes : 0);
        const ssize_t got = ::read(file.fd, at, whole ? capacity - bytes : capacity);
        if (got < 0) {
            std::perror(path);
            return 1;
        }
        if (got == 0) break;
        bytes += static_cast<std::size_t>(got);
        if (!whole) lines += lineEnds(at, static_cast<std::size_t>(got));
    }
    if (whole) lines = lineEnds(buffer.get(), bytes);

    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("%zu bytes, %zu line ends, %.4f s, %.1f MB/s\n", bytes, lines, seconds,
                seconds > 0 ? bytes / seconds / 1e6 : 0.0);
    return 0;
}
