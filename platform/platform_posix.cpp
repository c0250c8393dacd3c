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
#include <new>

#include "platform/cp932.h"
#include "platform/platform.h"

namespace velmora::platform {
namespace {

int fd(std::intptr_t handle) {
    return static_cast<int>(handle);
}

void closeHandle(std::intptr_t& handle) {
    if (handle >= 0) ::close(fd(handle));
    handle = -1;
}

// Opens `path` and takes a non-blocking exclusive lock, so that a file that a
// cooperating program holds is refused instead of waited for.
std::intptr_t openLocked(const std::filesystem::path& path, int flags) {
    const int f = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
    if (f < 0) return -1;
    struct stat st {};
    if (::fstat(f, &st) != 0 || S_ISDIR(st.st_mode) || ::flock(f, LOCK_EX | LOCK_NB) != 0) {
        ::close(f);
        return -1;
    }
    return f;
}

}  // namespace

SourceFile::~SourceFile() {
    close();
}

bool SourceFile::open(const std::filesystem::path& path) {
    close();
    handle_ = openLocked(path, O_RDONLY);
    return handle_ >= 0;
}

std::optional<std::uint64_t> SourceFile::size() {
    struct stat st {};
    if (::fstat(fd(handle_), &st) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(st.st_size);
}

std::optional<std::size_t> SourceFile::read(char* buffer, std::size_t count) {
    std::size_t total = 0;
    while (total < count) {
        const ssize_t n = ::read(fd(handle_), buffer + total, count - total);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        total += static_cast<std::size_t>(n);
    }
    return total;
}

void SourceFile::seek(std::uint64_t offset) {
    ::lseek(fd(handle_), static_cast<off_t>(offset), SEEK_SET);
}

void SourceFile::close() {
    closeHandle(handle_);
}

DestinationFile::~DestinationFile() {
    close();
}

bool DestinationFile::open(const std::filesystem::path& path, WriteMode mode) {
    // A write past the file-size limit then fails like a full disk instead of
    // ending the program.
    static const bool ignored = (::signal(SIGXFSZ, SIG_IGN), true);
    (void)ignored;
    close();
    handle_ = openLocked(path, O_WRONLY | O_CREAT);
    // Truncated only once the lock is ours, never under another program.
    if (handle_ >= 0 && mode == WriteMode::createAlways && ::ftruncate(fd(handle_), 0) != 0) close();
    return handle_ >= 0;
}

bool DestinationFile::seekToEnd() {
    return handle_ >= 0 && ::lseek(fd(handle_), 0, SEEK_END) != -1;
}

std::size_t DestinationFile::write(const char* data, std::size_t count) {
    std::size_t total = 0;
    while (total < count) {
        const ssize_t n = ::write(fd(handle_), data + total, count - total);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        total += static_cast<std::size_t>(n);
    }
    return total;
}

bool DestinationFile::discardTail(std::uint64_t count) {
    const off_t end = ::lseek(fd(handle_), 0, SEEK_CUR);
    if (end < 0 || static_cast<std::uint64_t>(end) < count) return false;
    const off_t keep = end - static_cast<off_t>(count);
    return ::ftruncate(fd(handle_), keep) == 0 && ::lseek(fd(handle_), keep, SEEK_SET) == keep;
}

void DestinationFile::close() {
    closeHandle(handle_);
}

bool fileExists(const std::filesystem::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool folderExists(const std::filesystem::path& folder) {
    DIR* dir = ::opendir(folder.empty() ? "/" : folder.c_str());
    if (dir == nullptr) return false;
    // Like a folder search on Windows, the search finds "." in any folder
    // that can be opened.
    const bool found = ::readdir(dir) != nullptr;
    ::closedir(dir);
    return found;
}

std::optional<std::string> utf8ToAnsi(std::string_view utf8) {
    try {
        return cp932::fromUtf8(utf8);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
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
