// A file system in memory for tests of the conversion run: files are byte
// strings, folders are names, and the faults a run must survive are set on a
// file or on the disk: a read or a write that fails after so many bytes, a
// full disk, a file held by another program, a folder where a file is
// expected, a missing folder (one never added).
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace velmora::test {

class FakeFileSystem : public platform::FileSystem {
public:
    struct File {
        std::string bytes;
        // Open in another program that shares it with no one: every open fails.
        bool held = false;
        // Each time the file is open, its reads deliver this many bytes in
        // all; the read that would go past them fails.
        std::optional<std::uint64_t> readFailsAfter;
    };

    // Every write fails once this many bytes have been written to the disk
    // in all, as on a device that breaks down; the write that crosses the
    // number stores the bytes up to it.
    std::optional<std::uint64_t> writeFailsAfter;
    // Bytes the disk can still take: a file that grows uses them up, one that
    // is truncated gives them back. Nothing for a disk that never fills.
    std::optional<std::uint64_t> freeSpace;
    // Calls of write() on any destination so far.
    std::size_t writeCalls = 0;

    // A folder, in place of a file of that name.
    void addFolder(const std::filesystem::path& folder);
    // A file, in place of one of that name.
    File& addFile(const std::filesystem::path& path, std::string_view bytes);
    // A destination opened in a folder of its own, for tests of what is
    // written into it: it must be the only file opened this way.
    std::unique_ptr<platform::DestinationFile> destination();
    const std::string& destinationBytes() const { return file(kDestinationPath)->bytes; }
    static inline const std::filesystem::path kDestinationPath = "/written/out.csv";
    // Forgets the faults set on the disk and the bytes written to it so far,
    // keeping its files and folders, for one more run on the same disk.
    void resetDisk();
    // Takes away the file or folder `path`, not what a folder holds.
    void remove(const std::filesystem::path& path);
    // The file at `path`, or null when there is none.
    const File* file(const std::filesystem::path& path) const;
    bool isFolder(const std::filesystem::path& path) const;

    std::unique_ptr<platform::SourceFile> openSource(const std::filesystem::path& path) override;
    std::unique_ptr<platform::DestinationFile> openDestination(const std::filesystem::path& path,
                                                               platform::WriteMode mode) override;
    bool exists(const std::filesystem::path& path) override;
    bool folderExists(const std::filesystem::path& folder) override;

private:
    friend class FakeDestinationFile;

    // How many of `count` bytes written at `position` of `file` fit on the
    // disk; the room they take is used up.
    std::size_t claim(const File& file, std::uint64_t position, std::size_t count);

    std::map<std::filesystem::path, File> files_;
    std::set<std::filesystem::path> folders_;
    std::uint64_t written_ = 0;  // bytes written to the disk in all
};

}  // namespace velmora::test
