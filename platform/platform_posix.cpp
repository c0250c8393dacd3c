// POSIX implementation of the platform seam. Code page 932 is the ANSI code
// page here, converted with the table dumped from Windows (cp932.h), so that
// the same text gives the same bytes as on Windows.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <new>

#include "platform/cp932.h"
#include "platform/files.h"
#include "platform/platform.h"

namespace velmora::platform {
namespace {

// A file descriptor, closed when the object ends.
class Descriptor {
public:
    Descriptor() = default;
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    // Takes over `fd`; false when it is -1, no descriptor.
    bool take(int fd) {
        fd_ = fd;
        return fd >= 0;
    }
    int get() const { return fd_; }

private:
    int fd_ = -1;
};

// Opens `path` and takes a non-blocking exclusive lock, so that a file that a
// cooperating program holds is refused instead of waited for; -1 on failure.
int openLocked(const std::filesystem::path& path, int flags) {
    const int f = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
    if (f < 0) return -1;
    struct stat st {};
    if (::fstat(f, &st) != 0 || S_ISDIR(st.st_mode) || ::flock(f, LOCK_EX | LOCK_NB) != 0) {
        ::close(f);
        return -1;
    }
    return f;
}

class PosixSourceFile final : public SourceFile {
public:
    Descriptor fd;

    std::optional<std::uint64_t> size() override {
        struct stat st {};
        if (::fstat(fd.get(), &st) != 0) return std::nullopt;
        return static_cast<std::uint64_t>(st.st_size);
    }

    std::optional<std::size_t> read(char* buffer, std::size_t count) override {
        std::size_t total = 0;
        while (total < count) {
            const ssize_t n = ::read(fd.get(), buffer + total, count - total);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return std::nullopt;
            if (n == 0) break;
            total += static_cast<std::size_t>(n);
        }
        return total;
    }

    void seek(std::uint64_t offset) override { ::lseek(fd.get(), static_cast<off_t>(offset), SEEK_SET); }
};

class PosixDestinationFile final : public DestinationFile {
public:
    Descriptor fd;

    bool seekToEnd() override { return ::lseek(fd.get(), 0, SEEK_END) != -1; }

    std::size_t write(const char* data, std::size_t count) override {
        std::size_t total = 0;
        while (total < count) {
            const ssize_t n = ::write(fd.get(), data + total, count - total);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            total += static_cast<std::size_t>(n);
        }
        return total;
    }

    bool discardTail(std::uint64_t count) override {
        const off_t end = ::lseek(fd.get(), 0, SEEK_CUR);
        if (end < 0 || static_cast<std::uint64_t>(end) < count) return false;
        const off_t keep = end - static_cast<off_t>(count);
        return ::ftruncate(fd.get(), keep) == 0 && ::lseek(fd.get(), keep, SEEK_SET) == keep;
    }
};

// The file objects are made before anything is opened, so that running out
// of memory leaves no file open or created.
class PosixFileSystem final : public FileSystem {
public:
    std::unique_ptr<SourceFile> openSource(const std::filesystem::path& path) override {
        auto file = std::make_unique<PosixSourceFile>();
        if (!file->fd.take(openLocked(path, O_RDONLY))) return nullptr;
        return file;
    }

    std::unique_ptr<DestinationFile> openDestination(const std::filesystem::path& path, WriteMode mode) override {
        // A write past the file-size limit then fails like a full disk instead
        // of ending the program.
        static const bool ignored = (::signal(SIGXFSZ, SIG_IGN), true);
        (void)ignored;
        auto file = std::make_unique<PosixDestinationFile>();
        if (!file->fd.take(openLocked(path, O_WRONLY | O_CREAT))) return nullptr;
        // Truncated only once the lock is ours, never under another program.
        if (mode == WriteMode::createAlways && ::ftruncate(file->fd.get(), 0) != 0) return nullptr;
        return file;
    }

    bool exists(const std::filesystem::path& path) override {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0;
    }

    bool folderExists(const std::filesystem::path& folder) override {
        DIR* dir = ::opendir(folder.empty() ? "/" : folder.c_str());
        if (dir == nullptr) return false;
        // Like a folder search on Windows, the search finds "." in any folder
        // that can be opened.
        const bool found = ::readdir(dir) != nullptr;
        ::closedir(dir);
        return found;
    }
};

}  // namespace

FileSystem& realFileSystem() {
    static PosixFileSystem files;
    return files;
}

bool utf8ToAnsi(std::string_view utf8, std::string& out) {
    try {
        cp932::fromUtf8(utf8, out);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

std::optional<std::string> utf8ToAnsi(std::string_view utf8) {
    std::string out;
    if (!utf8ToAnsi(utf8, out)) return std::nullopt;
    return out;
}

std::optional<std::string> utf16leToAnsi(std::string_view bytes) {
    try {
        return cp932::fromUtf16le(bytes);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

std::string ansiToUtf8(std::string_view ansi) {
    return cp932::toUtf8(ansi);
}

const std::array<bool, 256>& leadByteTable() {
    return cp932::leadBytes();
}

void preferLargePages([[maybe_unused]] void* block, [[maybe_unused]] std::size_t size) {
#ifdef MADV_HUGEPAGE
    // Only the whole large pages inside the block can be advised.
    constexpr std::uintptr_t largePage = std::uintptr_t{2} << 20;
    const auto begin = (reinterpret_cast<std::uintptr_t>(block) + largePage - 1) & ~(largePage - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(block) + size) & ~(largePage - 1);
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#endif
}

std::optional<std::uint64_t> availableMemory() {
    std::optional<std::uint64_t> available;
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    std::uint64_t kilobytes = 0;
    std::string unit;
    while (meminfo >> key >> kilobytes >> unit) {
        if (key == "MemAvailable:") {
            available = kilobytes * 1024;
            break;
        }
    }
    // A limit on the address space (ulimit -v) leaves only what is below it.
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        std::uint64_t pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const std::uint64_t used = pages * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
        const std::uint64_t room = limit.rlim_cur > used ? limit.rlim_cur - used : 0;
        available = available ? std::min(*available, room) : room;
    }
    return available;
}

bool isTerminal(Stream stream) {
    return ::isatty(stream == Stream::output ? 1 : 2) != 0;
}

bool isInputTerminal() {
    return ::isatty(0) != 0;
}

void writeText(Stream stream, std::string_view utf8) {
    std::FILE* f = stream == Stream::output ? stdout : stderr;
    std::fwrite(utf8.data(), 1, utf8.size(), f);
    std::fflush(f);
}

std::optional<std::string> readLine() {
    std::string line;
    if (!std::getline(std::cin, line)) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

std::size_t utf16Length(const std::filesystem::path& path) {
    std::size_t units = 0;
    for (const char ch : path.native()) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c & 0xC0) != 0x80) ++units;  // every character but continuation bytes
        if (c >= 0xF0) ++units;           // four-byte characters take a surrogate pair
    }
    return units;
}

}  // namespace velmora::platform
