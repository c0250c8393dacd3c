#include "tests/fake_file_system.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace velmora::test {
namespace {

class FakeSourceFile final : public platform::SourceFile {
public:
    explicit FakeSourceFile(const FakeFileSystem::File& file) : file_(file) {}

    std::optional<std::uint64_t> size() override { return file_.bytes.size(); }

    std::optional<std::size_t> read(char* buffer, std::size_t count) override {
        const std::size_t start = static_cast<std::size_t>(std::min<std::uint64_t>(position_, file_.bytes.size()));
        const std::size_t n = std::min(count, file_.bytes.size() - start);
        if (file_.readFailsAfter && delivered_ + n > *file_.readFailsAfter) return std::nullopt;
        std::memcpy(buffer, file_.bytes.data() + start, n);
        position_ = start + n;
        delivered_ += n;
        return n;
    }

    void seek(std::uint64_t offset) override { position_ = offset; }

private:
    const FakeFileSystem::File& file_;
    std::uint64_t position_ = 0;
    std::uint64_t delivered_ = 0;
};

}  // namespace

class FakeDestinationFile final : public platform::DestinationFile {
public:
    FakeDestinationFile(FakeFileSystem& files, FakeFileSystem::File& file) : files_(files), file_(file) {}

    bool seekToEnd() override {
        position_ = file_.bytes.size();
        return true;
    }

    std::size_t write(const char* data, std::size_t count) override {
        ++files_.writeCalls;
        const std::size_t n = files_.claim(file_, position_, count);
        file_.bytes.replace(position_, n, data, n);
        position_ += n;
        return n;
    }

    bool discardTail(std::uint64_t count) override {
        if (count > position_) return false;
        position_ -= count;
        if (files_.freeSpace) *files_.freeSpace += file_.bytes.size() - position_;
        file_.bytes.resize(position_);
        return true;
    }

private:
    FakeFileSystem& files_;
    FakeFileSystem::File& file_;
    std::size_t position_ = 0;
};

void FakeFileSystem::addFolder(const std::filesystem::path& folder) {
    files_.erase(folder);
    folders_.insert(folder);
}

FakeFileSystem::File& FakeFileSystem::addFile(const std::filesystem::path& path, std::string_view bytes) {
    File& file = files_[path];
    file = File();
    file.bytes = bytes;
    return file;
}

std::unique_ptr<platform::DestinationFile> FakeFileSystem::destination() {
    addFolder(kDestinationPath.parent_path());
    return openDestination(kDestinationPath, platform::WriteMode::createAlways);
}

void FakeFileSystem::resetDisk() {
    writeFailsAfter.reset();
    freeSpace.reset();
    writeCalls = 0;
    written_ = 0;
}

void FakeFileSystem::remove(const std::filesystem::path& path) {
    files_.erase(path);
    folders_.erase(path);
}

const FakeFileSystem::File* FakeFileSystem::file(const std::filesystem::path& path) const {
    const auto found = files_.find(path);
    return found == files_.end() ? nullptr : &found->second;
}

bool FakeFileSystem::isFolder(const std::filesystem::path& path) const {
    return folders_.contains(path);
}

std::unique_ptr<platform::SourceFile> FakeFileSystem::openSource(const std::filesystem::path& path) {
    const File* found = file(path);
    if (found == nullptr || found->held) return nullptr;
    return std::make_unique<FakeSourceFile>(*found);
}

std::unique_ptr<platform::DestinationFile> FakeFileSystem::openDestination(const std::filesystem::path& path,
                                                                           platform::WriteMode mode) {
    if (isFolder(path) || !isFolder(path.parent_path())) return nullptr;
    File& file = files_[path];
    if (file.held) return nullptr;
    if (mode == platform::WriteMode::createAlways) {
        if (freeSpace) *freeSpace += file.bytes.size();
        file.bytes.clear();
    }
    return std::make_unique<FakeDestinationFile>(*this, file);
}

bool FakeFileSystem::exists(const std::filesystem::path& path) {
    return file(path) != nullptr || isFolder(path);
}

bool FakeFileSystem::folderExists(const std::filesystem::path& folder) {
    return isFolder(folder);
}

std::size_t FakeFileSystem::claim(const File& file, std::uint64_t position, std::size_t count) {
    std::uint64_t n = count;
    if (writeFailsAfter) n = std::min(n, *writeFailsAfter - std::min(written_, *writeFailsAfter));
    if (freeSpace) {
        // Bytes written over the file's present content take no new room.
        const std::uint64_t overwritten = file.bytes.size() - position;
        n = std::min(n, overwritten + *freeSpace);
        if (n > overwritten) *freeSpace -= n - overwritten;
    }
    written_ += n;
    return static_cast<std::size_t>(n);
}

}  // namespace velmora::test
