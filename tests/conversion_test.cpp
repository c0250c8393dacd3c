#include "conversion/conversion.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "conversion/messages.h"
#include "csv/csv_writer.h"
#include "platform/files.h"
#include "tests/fake_file_system.h"
#include "tests/test_support.h"

namespace velmora {
namespace {

using Strings = std::vector<std::string>;
using PathString = std::filesystem::path::string_type;

// A path written with "/" in the test, in the platform's own form.
PathString native(std::string_view text) {
    PathString out;
    for (char c : text)
        out += c == '/' ? std::filesystem::path::preferred_separator : static_cast<PathString::value_type>(c);
    return out;
}

const std::string kCard = "BEGIN:VCARD\r\nN:A\r\nEND:VCARD\r\n";

// The folder of the books on a disk in memory.
const std::filesystem::path kFolder = native("/books");

TEST(PathOperations, ExtensionDirectoryAndProposal) {
    EXPECT_EQ(extensionOf(native("/a/book.VCF")), native(".VCF"));
    EXPECT_EQ(extensionOf(native("/data.old/book")), native(".old/book"));
    EXPECT_EQ(extensionOf(native("/a/book")), native(""));
    EXPECT_EQ(proposeDestination(native("/a/book.VCF")), native("/a/book.csv"));
    EXPECT_EQ(proposeDestination(native("/x.y/noext")), native("/x.csv"));
    EXPECT_EQ(proposeDestination(native("/a/noext")), native("/a/noext.csv"));

    test::FakeFileSystem files;
    files.addFolder(kFolder);
    const PathString folder = kFolder.native();
    EXPECT_EQ(directoryOf(kFolder / "out.csv", files), folder);
    EXPECT_EQ(directoryOf(kFolder, files), folder);  // an existing folder is its own folder
    EXPECT_EQ(directoryOf(native("out.csv"), files), native("out.csv"));
    EXPECT_EQ(directoryOf(kFolder / "missing" / "out.csv", files), (kFolder / "missing").native());
#ifdef _WIN32
    EXPECT_EQ(directoryOf(L"C:\\out.csv", files), L"C:");
#endif
}

// Real disk: the platform's folder search, with a separator at the end and (on Windows) at a drive's root.
TEST(RealFileSystem, FindsFoldersAsTheRunAsksForThem) {
    test::TempDir dir;
    platform::FileSystem& files = platform::realFileSystem();
    EXPECT_TRUE(files.folderExists(dir.path()));
    EXPECT_TRUE(files.folderExists(dir.path().native() + std::filesystem::path::preferred_separator));
    EXPECT_FALSE(files.folderExists(dir / "missing"));
#ifdef _WIN32
    test::writeFile(dir / "book.vcf", kCard);
    test::RecordingUi ui;
    // The folder part C: is the drive, searched at its root.
    EXPECT_TRUE(validatePaths(dir / "book.vcf", L"C:\\out.csv", ui));
    EXPECT_TRUE(ui.errors.empty());
#endif
}

TEST(ValidatePaths, ChecksInOrderAndShowsTheFirstFailure) {
    test::FakeFileSystem files;
    files.addFolder(kFolder);
    files.addFile(kFolder / "book.vcf", kCard);
    files.addFile(kFolder / "BOOK.VCF", kCard);
    const auto src = (kFolder / "book.vcf").native();
    const auto dst = (kFolder / "out.csv").native();
    // Paths of exactly 256 and 257 UTF-16 code units.
    const auto sized = [&](std::size_t length, std::string_view extension) {
        PathString path = kFolder.native() + std::filesystem::path::preferred_separator;
        while (path.size() + extension.size() < length) path += 'x';
        for (char c : extension) path += c;
        return path;
    };
    struct Case {
        PathString source;
        PathString destination;
        std::string_view message;  // empty: the paths pass
    } cases[] = {
        {PathString(), PathString(), messages::sourceEmpty},
        {src, PathString(), messages::destinationEmpty},
        {sized(257, ".vcf"), dst, messages::sourceTooLong},
        {sized(256, ".vcf"), dst, messages::sourceMissing},
        {src, sized(257, ".csv"), messages::destinationTooLong},
        {src, sized(256, ".csv"), ""},
        {(kFolder / "book.txt").native(), dst, messages::sourceNotVcard},
        {src, (kFolder / "out.txt").native(), messages::destinationNotCsv},
        {(kFolder / "BOOK.VCF").native(), (kFolder / "out.Csv").native(), ""},
        {(kFolder / "missing.vcf").native(), dst, messages::sourceMissing},
        {src, (kFolder / "no" / "out.csv").native(), messages::destinationFolderMissing},
        {src, native("out.csv"), messages::destinationFolderMissing},  // a bare name is taken as a folder
    };
    for (const auto& c : cases) {
        test::RecordingUi ui;
        const bool ok = validatePaths(c.source, c.destination, ui, files);
        EXPECT_EQ(ok, c.message.empty()) << c.message;
        EXPECT_EQ(ui.errors, c.message.empty() ? Strings{} : Strings{std::string(c.message)});
        EXPECT_TRUE(ui.messages.empty());
    }
}

// A run from kFolder's book.vcf into its out.csv on a disk in memory.
struct Fixture {
    test::FakeFileSystem files;
    std::filesystem::path source = kFolder / "book.vcf";
    std::filesystem::path destination = kFolder / "out.csv";
    test::RecordingUi ui;

    Fixture() { files.addFolder(kFolder); }
    RunResult convert(std::string_view sourceBytes) {
        files.addFile(source, sourceBytes);
        return runConversion({source, destination}, ui, files).result;
    }
    // The destination's bytes; nothing when there is no such file.
    std::optional<std::string> written() const {
        const test::FakeFileSystem::File* file = files.file(destination);
        return file ? std::optional(file->bytes) : std::nullopt;
    }
};

// The same run on the real disk, for what only the operating system decides.
struct DiskFixture {
    test::TempDir dir;
    std::filesystem::path source = dir / "book.vcf";
    std::filesystem::path destination = dir / "out.csv";
    test::RecordingUi ui;

    RunResult convert(std::string_view sourceBytes) {
        test::writeFile(source, sourceBytes);
        return runConversion({source, destination}, ui).result;
    }
};

TEST(RunConversion, CreatesTheDestinationWithHeaderAndRows) {
    Fixture run;
    EXPECT_EQ(run.convert(kCard + kCard), RunResult::completed);
    EXPECT_EQ(run.written(), std::string(csvHeader()) + test::csvRow({{1, "A"}}) + test::csvRow({{1, "A"}}));
    EXPECT_EQ(run.ui.messages,
              (Strings{"変換処理中...", "変換が完了しました。", "入力データ：2件、　出力データ：2件"}));
    EXPECT_EQ(run.ui.questions, 0);
    EXPECT_TRUE(run.ui.errors.empty());
}

TEST(RunConversion, ExistingDestinationIsOverwrittenAppendedOrLeftAlone) {
    const std::string old = "old bytes without line end";
    struct Case {
        OverwriteChoice answer;
        RunResult result;
        std::string bytes;
        Strings messages;
    } cases[] = {
        {OverwriteChoice::overwrite,
         RunResult::completed,
         std::string(csvHeader()) + test::csvRow({{1, "A"}}),
         {"変換処理中...", "変換が完了しました。", "入力データ：1件、　出力データ：1件"}},
        {OverwriteChoice::append,
         RunResult::completed,
         old + test::csvRow({{1, "A"}}),
         {"変換処理中...", "変換が完了しました。", "入力データ：1件、　出力データ：1件"}},
        {OverwriteChoice::cancel, RunResult::cancelled, old, {}},
    };
    for (const auto& c : cases) {
        Fixture run;
        run.files.addFile(run.destination, old);
        run.ui.answer = c.answer;
        EXPECT_EQ(run.convert(kCard), c.result);
        EXPECT_EQ(run.ui.questions, 1);
        EXPECT_EQ(run.written(), c.bytes);
        EXPECT_EQ(run.ui.messages, c.messages);
    }
}

TEST(RunConversion, NothingToOutputLeavesTheHeaderAlone) {
    const std::string_view sources[] = {
        "no contact at all",
        "BEGIN:VCARD\r\nEND:VCARD\r\n",                        // complete but empty
        "BEGIN:VCARD\r\nVERSION:4.0\r\nN:A\r\nEND:VCARD\r\n",  // unsupported
        "BEGIN:VCARD\r\nN:A\r\n",                              // never completed
        "BEGIN:VCARD",                                         // no line end at all
    };
    for (std::string_view source : sources) {
        Fixture run;
        EXPECT_EQ(run.convert(source), RunResult::completed);
        EXPECT_EQ(run.written(), std::string(csvHeader()));
        EXPECT_EQ(run.ui.messages, (Strings{"変換処理中...", "出力対象データが1件もありませんでした。"}));
    }
}

TEST(RunConversion, CountsCompleteContactsEvenWhenNotWritten) {
    Fixture run;
    EXPECT_EQ(run.convert(kCard + "BEGIN:VCARD\r\nEND:VCARD\r\nBEGIN:VCARD\r\nN:x\r\n"), RunResult::completed);
    EXPECT_EQ(run.ui.messages.back(), "入力データ：2件、　出力データ：1件");
}

TEST(RunConversion, LinesOfAMillionSemicolons) {
    Fixture run;
    const std::string semicolons(1000000, ';');
    EXPECT_EQ(run.convert("BEGIN:VCARD\r\nN:a" + semicolons + "z\r\nNOTE:" + semicolons + "\r\nEND:VCARD\r\n"),
              RunResult::completed);
    EXPECT_EQ(run.written(), std::string(csvHeader()) + test::csvRow({{1, "a z"}, {58, ""}}));
}

TEST(RunConversion, ReportsAnUnsupportedSourceEncoding) {
    Fixture run;
    EXPECT_EQ(run.convert("\xFE\xFF" + kCard), RunResult::failed);
    EXPECT_EQ(run.ui.errors, Strings{std::string(messages::encodingUnsupported)});
    EXPECT_EQ(run.ui.messages, (Strings{"変換処理中...", "変換処理に失敗しました。"}));
    EXPECT_EQ(run.written(), std::nullopt);
}

TEST(RunConversion, ValidationFailureReportsOnlyTheReason) {
    Fixture run;
    EXPECT_EQ(runConversion({kFolder / "missing.vcf", run.destination}, run.ui, run.files).result, RunResult::failed);
    EXPECT_EQ(run.ui.errors, Strings{std::string(messages::sourceMissing)});
    EXPECT_TRUE(run.ui.messages.empty());
}

// Real disk: the platform's open without sharing, against a handle held by the test.
TEST(RunConversionOnDisk, ReportsASourceInUse) {
    DiskFixture run;
    test::writeFile(run.source, kCard);
    const auto holder = platform::realFileSystem().openSource(run.source);
    ASSERT_TRUE(holder);
    EXPECT_EQ(runConversion({run.source, run.destination}, run.ui).result, RunResult::failed);
    EXPECT_EQ(run.ui.errors, Strings{std::string(messages::sourceUnreadable)});
    EXPECT_EQ(run.ui.messages, (Strings{"変換処理中...", "変換処理に失敗しました。"}));
    EXPECT_FALSE(std::filesystem::exists(run.destination));
}

// Real disk: the platform's open without sharing must neither write nor truncate a destination held open.
TEST(RunConversionOnDisk, ReportsADestinationInUse) {
    DiskFixture run;
    test::writeFile(run.destination, "kept");
    auto holder = platform::realFileSystem().openDestination(run.destination, platform::WriteMode::openAlways);
    ASSERT_TRUE(holder);
    EXPECT_EQ(run.convert(kCard), RunResult::failed);
    holder.reset();
    EXPECT_EQ(run.ui.errors, Strings{std::string(messages::destinationUnwritable)});
    EXPECT_EQ(run.ui.messages, (Strings{"変換処理中...", "変換処理に失敗しました。"}));
    EXPECT_EQ(test::readFile(run.destination), "kept");
}

// Real disk: a folder named like the destination, which the platform must refuse and leave empty.
TEST(RunConversionOnDisk, ReportsADestinationThatIsAFolder) {
    DiskFixture run;
    std::filesystem::create_directory(run.destination);
    EXPECT_EQ(run.convert(kCard), RunResult::failed);
    EXPECT_EQ(run.ui.errors, Strings{std::string(messages::destinationUnwritable)});
    EXPECT_TRUE(std::filesystem::is_empty(run.destination));
}

}  // namespace
}  // namespace velmora
