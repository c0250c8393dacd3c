// The files a conversion run reaches, behind one interface: the source opened
// for reading, the destination opened for writing, and the questions whether
// a file or a folder is there. The program uses realFileSystem(), whose POSIX
// and Win32 implementations live beside the rest of the platform seam; the
// tests hand the run a file system in memory that fails where they tell it to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>

namespace velmora::platform {

enum class WriteMode {
    createAlways,  // create the file, or truncate an existing one
    openAlways,    // create the file, or keep an existing one's content
};

// A file open for reading; it is closed when the object ends.
class SourceFile {
public:
    virtual ~SourceFile() = default;
    // The whole size in bytes; nothing when the query fails.
    virtual std::optional<std::uint64_t> size() = 0;
    // Reads up to `count` bytes at the current position; the number of bytes
    // delivered (short only at the end of the file), or nothing on failure.
    virtual std::optional<std::size_t> read(char* buffer, std::size_t count) = 0;
    // Moves the position to `offset` bytes from the start.
    virtual void seek(std::uint64_t offset) = 0;
};

// A file open for writing, written sequentially from its end; it is closed
// when the object ends.
class DestinationFile {
public:
    virtual ~DestinationFile() = default;
    virtual bool seekToEnd() = 0;
    // Writes all `count` bytes; returns how many reached the file, which is
    // less than `count` only when the write failed.
    virtual std::size_t write(const char* data, std::size_t count) = 0;
    // Takes the last `count` bytes written back out of the file, so that a
    // write that failed halfway leaves no fragment; false when that fails.
    virtual bool discardTail(std::uint64_t count) = 0;
};

// Both opens throw std::bad_alloc when memory runs out, before anything is
// opened or created.
class FileSystem {
public:
    virtual ~FileSystem() = default;
    // Opened with no sharing: while it is open, no cooperating program can
    // open it for reading or writing. Nothing when the file is missing, not
    // accessible, a folder, or open elsewhere.
    virtual std::unique_ptr<SourceFile> openSource(const std::filesystem::path& path) = 0;
    // With no sharing. Nothing when the file cannot be opened or created (a
    // folder, a missing folder, no permission, open elsewhere); a file open
    // elsewhere is never truncated.
    virtual std::unique_ptr<DestinationFile> openDestination(const std::filesystem::path& path, WriteMode mode) = 0;
    // True when there is a file or a folder at `path` (a status query on it
    // succeeds): a run asks before it reads a source or overwrites a
    // destination, and a folder there is refused when it is opened.
    virtual bool exists(const std::filesystem::path& path) = 0;
    // True when `folder` is a folder: a search for its entries finds a first
    // one, or, for the root of an empty drive, which holds no entry at all,
    // the folder's own status says so. The empty path stands for the root
    // folder (of the current drive on Windows).
    virtual bool folderExists(const std::filesystem::path& folder) = 0;
};

// The operating system's files.
FileSystem& realFileSystem();

}  // namespace velmora::platform
