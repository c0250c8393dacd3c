// The Win32 side of the platform seam under the ANSI code page 932: files
// opened without sharing, the destination's write modes, code-page
// conversions (best fit included) and console output into a pipe.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/platform.h"
#include "tests/windows/driver.h"

namespace velmora::platform {
namespace {

using velmora::testing::readFile;
using velmora::testing::TemporaryFolder;

bool canOpen(const std::filesystem::path& path, DWORD access) {
    HANDLE file = CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(file);
    return true;
}

TEST(Win32Platform, CodePageIs932) {
    // Everything below assumes the Japanese ANSI code page, as the program's
    // users have it; Wine takes it from LC_ALL=ja_JP.UTF-8.
    ASSERT_EQ(GetACP(), 932u);
}

std::unique_ptr<SourceFile> openSource(const std::filesystem::path& path) {
    return realFileSystem().openSource(path);
}

std::unique_ptr<DestinationFile> openDestination(const std::filesystem::path& path, WriteMode mode) {
    return realFileSystem().openDestination(path, mode);
}

TEST(Win32SourceFile, IsLockedAgainstOtherOpensWhileOpen) {
    TemporaryFolder folder;
    const auto path = folder.write(L"book.vcf", "BEGIN:VCARD\r\n");
    {
        const auto file = openSource(path);
        ASSERT_TRUE(file);
        EXPECT_FALSE(canOpen(path, GENERIC_READ));
        EXPECT_FALSE(canOpen(path, GENERIC_WRITE));
        EXPECT_EQ(file->size(), std::optional<std::uint64_t>(13));
        char buffer[32] = {};
        EXPECT_EQ(file->read(buffer, 3), std::optional<std::size_t>(3));
        file->seek(6);
        EXPECT_EQ(file->read(buffer, sizeof(buffer)), std::optional<std::size_t>(7));
        EXPECT_EQ(std::string(buffer, 7), "VCARD\r\n");
    }
    EXPECT_TRUE(canOpen(path, GENERIC_READ));
}

TEST(Win32SourceFile, RefusesMissingFilesFoldersAndFilesOpenElsewhere) {
    TemporaryFolder folder;
    EXPECT_FALSE(openSource(folder.path() / L"missing.vcf"));
    EXPECT_FALSE(openSource(folder.path()));
    const auto path = folder.write(L"busy.vcf", "x");
    HANDLE other = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(openSource(path));
    CloseHandle(other);
    EXPECT_TRUE(openSource(path));
}

TEST(Win32DestinationFile, CreateAlwaysTruncatesAndOpenAlwaysAppendsAtTheEnd) {
    TemporaryFolder folder;
    const auto path = folder.write(L"out.csv", "old content");
    {
        const auto file = openDestination(path, WriteMode::openAlways);
        ASSERT_TRUE(file);
        ASSERT_TRUE(file->seekToEnd());
        EXPECT_FALSE(canOpen(path, GENERIC_READ));
        EXPECT_EQ(file->write("+new", 4), 4u);
    }
    EXPECT_EQ(readFile(path), "old content+new");
    {
        const auto file = openDestination(path, WriteMode::createAlways);
        ASSERT_TRUE(file);
        ASSERT_TRUE(file->seekToEnd());
        EXPECT_EQ(file->write("fresh", 5), 5u);
    }
    EXPECT_EQ(readFile(path), "fresh");
    {
        // A write that failed halfway is taken back out; later writes follow
        // what is left.
        const auto file = openDestination(path, WriteMode::openAlways);
        ASSERT_TRUE(file);
        ASSERT_TRUE(file->seekToEnd());
        EXPECT_EQ(file->write(",half", 5), 5u);
        EXPECT_TRUE(file->discardTail(5));
        EXPECT_FALSE(file->discardTail(6));
        EXPECT_EQ(file->write("!", 1), 1u);
    }
    EXPECT_EQ(readFile(path), "fresh!");
    EXPECT_FALSE(openDestination(folder.path() / L"no such folder" / L"out.csv", WriteMode::createAlways));
    // A folder where the file should be is left alone.
    const auto inner = folder.path() / L"out folder.csv";
    ASSERT_TRUE(CreateDirectoryW(inner.c_str(), nullptr));
    EXPECT_FALSE(openDestination(inner, WriteMode::createAlways));
    EXPECT_EQ(GetFileAttributesW(inner.c_str()) & FILE_ATTRIBUTE_DIRECTORY, DWORD{FILE_ATTRIBUTE_DIRECTORY});
}

TEST(Win32Files, StatusQueryAndFolderSearch) {
    TemporaryFolder folder;
    const auto path = folder.write(L"a.vcf", "x");
    FileSystem& files = realFileSystem();
    EXPECT_TRUE(files.exists(path));
    EXPECT_TRUE(files.exists(folder.path()));
    EXPECT_FALSE(files.exists(folder.path() / L"b.vcf"));
    EXPECT_TRUE(files.folderExists(folder.path()));
    EXPECT_TRUE(files.folderExists(folder.path().wstring() + L"\\"));
    EXPECT_FALSE(files.folderExists(folder.path() / L"missing"));
    EXPECT_FALSE(files.folderExists(path));  // a file is no folder
    // A drive is searched at its root, with or without the backslash.
    EXPECT_TRUE(files.folderExists(L"C:"));
    EXPECT_TRUE(files.folderExists(L"C:\\"));
}

struct AnsiCase {
    const char* name;
    std::string utf8;
    std::string ansi;
};

class Utf8ToAnsi : public ::testing::TestWithParam<AnsiCase> {};

TEST_P(Utf8ToAnsi, ConvertsIntoCodePage932) {
    EXPECT_EQ(utf8ToAnsi(GetParam().utf8), std::optional<std::string>(GetParam().ansi));
}

INSTANTIATE_TEST_SUITE_P(Characters, Utf8ToAnsi,
                         ::testing::Values(AnsiCase{"Empty", "", ""}, AnsiCase{"Ascii", "abc;1", "abc;1"},
                                           AnsiCase{"Hiragana", "\xE3\x81\x82", "\x82\xA0"},
                                           AnsiCase{"SecondByte5C", "\xE8\xA1\xA8", "\x95\x5C"},  // 表
                                           AnsiCase{"HalfWidthKatakana", "\xEF\xBD\xB1", "\xB1"},
                                           AnsiCase{"NecSpecial", "\xE2\x91\xA0", "\x87\x40"},  // ①
                                           // Windows maps some characters by best fit where iconv's
                                           // CP932 has no mapping: À becomes A.
                                           AnsiCase{"BestFitLatin", "\xC3\x80", "A"},
                                           // ...and leaves others unmapped that iconv's CP932 maps:
                                           // the wave dash U+301C becomes the space.
                                           AnsiCase{"WaveDashUnmapped", "\xE3\x80\x9C", " "},
                                           AnsiCase{"Unrepresentable",
                                                    "a\xE2\x82\xAC"
                                                    "b",
                                                    "a b"},  // €
                                           AnsiCase{"InvalidUtf8",
                                                    "a\xFF"
                                                    "b",
                                                    "a b"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Win32Utf16le, ConvertsWithTheSystemReplacementAndStopsAtZero) {
    EXPECT_EQ(utf16leToAnsi(std::string("A\0\x42\x30", 4)), std::optional<std::string>("A\x82\xA0"));
    EXPECT_EQ(utf16leToAnsi(std::string("\xAC\x20", 2)), std::optional<std::string>("?"));  // €
    EXPECT_EQ(utf16leToAnsi(std::string("A\0B", 3)), std::optional<std::string>("A"));      // odd byte dropped
    EXPECT_EQ(utf16leToAnsi(std::string("A\0\0\0B\0", 6)), std::optional<std::string>("A"));
    EXPECT_EQ(utf16leToAnsi(std::string()), std::optional<std::string>(""));
}

TEST(Win32LeadBytes, MatchCodePage932) {
    const auto& table = leadByteTable();
    for (int byte = 0; byte < 256; ++byte) {
        const bool lead = (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
        EXPECT_EQ(table[static_cast<std::size_t>(byte)], lead) << "byte " << byte;
    }
}

TEST(Win32Console, WritesUtf8BytesIntoAPipe) {
    HANDLE reader = nullptr;
    HANDLE writer = nullptr;
    ASSERT_TRUE(CreatePipe(&reader, &writer, nullptr, 1 << 16));
    HANDLE saved = GetStdHandle(STD_OUTPUT_HANDLE);
    SetStdHandle(STD_OUTPUT_HANDLE, writer);
    const bool terminal = isTerminal(Stream::output);
    writeText(Stream::output, "変換が完了しました。\r\n");
    SetStdHandle(STD_OUTPUT_HANDLE, saved);
    CloseHandle(writer);
    std::string bytes;
    char buffer[256];
    DWORD got = 0;
    while (ReadFile(reader, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
        bytes.append(buffer, got);
    }
    CloseHandle(reader);
    EXPECT_FALSE(terminal);
    EXPECT_EQ(bytes, "変換が完了しました。\r\n");
}

TEST(Win32Console, ReadsLinesFromAPipeOneAtATime) {
    HANDLE reader = nullptr;
    HANDLE writer = nullptr;
    ASSERT_TRUE(CreatePipe(&reader, &writer, nullptr, 1 << 16));
    const std::string input = "o\r\n\xE8\xA1\xA8\r\n\nlast";
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(writer, input.data(), static_cast<DWORD>(input.size()), &written, nullptr));
    CloseHandle(writer);
    HANDLE saved = GetStdHandle(STD_INPUT_HANDLE);
    SetStdHandle(STD_INPUT_HANDLE, reader);
    std::vector<std::optional<std::string>> lines;
    for (int i = 0; i < 5; ++i) lines.push_back(readLine());
    SetStdHandle(STD_INPUT_HANDLE, saved);
    CloseHandle(reader);
    // The CR before the LF is dropped; the last line needs no LF.
    const std::vector<std::optional<std::string>> expected = {"o", "\xE8\xA1\xA8", "", "last", std::nullopt};
    EXPECT_EQ(lines, expected);
}

TEST(Win32Paths, LengthCountsUtf16Units) {
    EXPECT_EQ(utf16Length(std::filesystem::path(L"C:\\\U00020BB7.vcf")), 9u);  // a surrogate pair counts twice
}

}  // namespace
}  // namespace velmora::platform
