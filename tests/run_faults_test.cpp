// Faults a conversion run must survive, through a file system in memory: a
// read or a write that fails partway, a full disk, a file held by another
// program, a folder where a file is expected, a missing folder. Each case
// checks the calls the run makes on the user interface in order, its result
// and the bytes it leaves on the disk.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "conversion/conversion.h"
#include "conversion/messages.h"
#include "conversion/report.h"
#include "csv/csv_writer.h"
#include "tests/fake_file_system.h"
#include "tests/test_support.h"

namespace velmora {
namespace {

using Strings = std::vector<std::string>;
using test::FakeFileSystem;
using test::RecordingUi;

const std::filesystem::path kFolder = "/books";
const std::filesystem::path kSource = kFolder / "book.vcf";
const std::filesystem::path kDestination = kFolder / "out.csv";

std::string card(std::string_view name) {
    return "BEGIN:VCARD\r\nVERSION:2.1\r\nN:" + std::string(name) + "\r\nEND:VCARD\r\n";
}
std::string row(std::string_view name) {
    return test::csvRow({{1, std::string(name)}});
}

// Three contacts whose lines are 101 bytes each, after the header.
const std::string kBook = card("one") + card("two") + card("six");
const std::string kHeader(csvHeader());
// What an earlier conversion left.
const std::string kOld = kHeader + row("old");

const std::string kConverting = RecordingUi::listed(messages::converting);
const std::string kFailed = RecordingUi::listed(messages::failed);
const std::string kRowFailed = RecordingUi::listed(messages::rowFailed);
const std::string kCompleted = RecordingUi::listed(messages::completed);
const std::string kUnreadable = RecordingUi::shownError(messages::sourceUnreadable);
const std::string kUnwritable = RecordingUi::shownError(messages::destinationUnwritable);
const std::string kQuestion(RecordingUi::kQuestion);
std::string counts(int input, int output) {
    return RecordingUi::listed(messages::CountsLine(input, output).text());
}

struct Case {
    const char* what;
    // Sets the fault up on a disk that holds kBook as kSource in kFolder.
    void (*setUp)(FakeFileSystem& files, RecordingUi& ui);
    RunResult result;
    Strings calls;
    std::optional<std::string> after;  // the destination's bytes afterwards; nothing: no such file
};

void expectRun(const Case& c) {
    SCOPED_TRACE(c.what);
    FakeFileSystem files;
    files.addFolder(kFolder);
    files.addFile(kSource, kBook);
    RecordingUi ui;
    c.setUp(files, ui);
    const FakeFileSystem::File* source = files.file(kSource);
    const std::optional<std::string> sourceBefore = source ? std::optional(source->bytes) : std::nullopt;

    EXPECT_EQ(runConversion({kSource, kDestination}, ui, files).result, c.result);
    EXPECT_EQ(ui.calls, c.calls);
    const FakeFileSystem::File* destination = files.file(kDestination);
    EXPECT_EQ(destination ? std::optional(destination->bytes) : std::nullopt, c.after);
    if (source) {
        EXPECT_EQ(source->bytes, sourceBefore);
    }
}

// The paths are checked before the run starts: only the error is shown, and
// no file is made.
TEST(RunFaults, MissingSourceOrDestinationFolder) {
    const Case cases[] = {
        {"the source is missing",
         [](FakeFileSystem& files, RecordingUi&) { files.remove(kSource); },
         RunResult::failed,
         {RecordingUi::shownError(messages::sourceMissing)},
         std::nullopt},
        {"the destination's folder is missing",
         [](FakeFileSystem& files, RecordingUi&) { files.remove(kFolder); },
         RunResult::failed,
         {RecordingUi::shownError(messages::destinationFolderMissing)},
         std::nullopt},
    };
    for (const Case& c : cases) expectRun(c);
}

TEST(RunFaults, FileHeldByAnotherProgram) {
    const Case cases[] = {
        {"the source held by another program",
         [](FakeFileSystem& files, RecordingUi&) {
             files.addFile(kSource, kBook).held = true;
             files.addFile(kDestination, kOld);
         },
         RunResult::failed,
         {kQuestion, kConverting, kUnreadable, kFailed},
         kOld},
        {"the destination held by another program is not truncated",
         [](FakeFileSystem& files, RecordingUi&) { files.addFile(kDestination, kOld).held = true; },
         RunResult::failed,
         {kQuestion, kConverting, kUnwritable, kFailed},
         kOld},
    };
    for (const Case& c : cases) expectRun(c);
}

TEST(RunFaults, FolderWhereAFileIsExpected) {
    const Case cases[] = {
        {"the source is a folder",
         [](FakeFileSystem& files, RecordingUi&) { files.addFolder(kSource); },
         RunResult::failed,
         {kConverting, kUnreadable, kFailed},
         std::nullopt},
        {"the destination is a folder",
         [](FakeFileSystem& files, RecordingUi&) { files.addFolder(kDestination); },
         RunResult::failed,
         {kQuestion, kConverting, kUnwritable, kFailed},
         std::nullopt},
    };
    for (const Case& c : cases) expectRun(c);
}

TEST(RunFaults, ReadsThatFail) {
    const Case cases[] = {
        {"a read that fails at once",
         [](FakeFileSystem& files, RecordingUi&) { files.addFile(kSource, kBook).readFailsAfter = 0; },
         RunResult::failed,
         {kConverting, kUnreadable, kFailed},
         std::nullopt},
        {"a read that fails in the last piece of a 3 MB book, the destination kept",
         [](FakeFileSystem& files, RecordingUi&) {
             std::string book;
             while (book.size() < (3u << 20)) book += kBook;
             // Its first bytes and its last piece are read before its text,
             // so the reading of the text fails before its end.
             files.addFile(kSource, book).readFailsAfter = book.size();
             files.addFile(kDestination, kOld);
         },
         RunResult::failed,
         {kQuestion, kConverting, kUnreadable, kFailed},
         kOld},
    };
    for (const Case& c : cases) expectRun(c);
}

TEST(RunFaults, WritesThatFailOrFillTheDisk) {
    const std::string headerFailed = RecordingUi::listed(messages::headerFailed);
    const Case cases[] = {
        // What part of the header was written is taken back out.
        {"a write that fails inside the header",
         [](FakeFileSystem& files, RecordingUi&) { files.writeFailsAfter = 1000; },
         RunResult::failed,
         {kConverting, headerFailed},
         ""},
        {"a disk full inside the header",
         [](FakeFileSystem& files, RecordingUi&) { files.freeSpace = 1000; },
         RunResult::failed,
         {kConverting, headerFailed},
         ""},
        // The line in which the write stopped is taken back out; the next
        // fails as well.
        {"a write that fails 40 bytes into the second line",
         [](FakeFileSystem& files, RecordingUi&) { files.writeFailsAfter = kHeader.size() + 101 + 40; },
         RunResult::failed,
         {kConverting, kRowFailed, kRowFailed, kCompleted, counts(3, 1)},
         kHeader + row("one")},
        {"a disk full 40 bytes into the second line",
         [](FakeFileSystem& files, RecordingUi&) { files.freeSpace = kHeader.size() + 101 + 40; },
         RunResult::failed,
         {kConverting, kRowFailed, kRowFailed, kCompleted, counts(3, 1)},
         kHeader + row("one")},
        {"a disk full 40 bytes into the second line, appending",
         [](FakeFileSystem& files, RecordingUi& ui) {
             files.addFile(kDestination, kOld);
             ui.answer = OverwriteChoice::append;
             files.freeSpace = 101 + 40;
         },
         RunResult::failed,
         {kQuestion, kConverting, kRowFailed, kRowFailed, kCompleted, counts(3, 1)},
         kOld + row("one")},
        {"a disk already full, appending",
         [](FakeFileSystem& files, RecordingUi& ui) {
             files.addFile(kDestination, kOld);
             ui.answer = OverwriteChoice::append;
             files.freeSpace = 0;
         },
         RunResult::failed,
         {kQuestion, kConverting, kRowFailed, kRowFailed, kRowFailed, RecordingUi::listed(messages::nothingToOutput)},
         kOld},
        // The room of the line taken back out is free again: a shorter line
        // after it still fits.
        {"a disk full on a long line, a short one after it",
         [](FakeFileSystem& files, RecordingUi&) {
             files.addFile(kSource, card("one") + card(std::string(40, 'L')) + card("x"));
             files.freeSpace = kHeader.size() + 101 + 100;
         },
         RunResult::failed,
         {kConverting, kRowFailed, kCompleted, counts(3, 2)},
         kHeader + row("one") + row("x")},
    };
    for (const Case& c : cases) expectRun(c);
}

// checkSource makes the run's checks of the source path, in the run's order,
// and reads the source through the same file system.
TEST(CheckSource, SharesTheRunsSourceChecks) {
    const std::string longName(260, 'x');
    const struct {
        std::filesystem::path source;
        std::string_view error;  // empty: the source is read
    } cases[] = {
        {"", messages::sourceEmpty},
        {kFolder / (longName + ".txt"), messages::sourceTooLong},
        {kFolder / "book.txt", messages::sourceNotVcard},
        {kFolder / "missing.vcf", messages::sourceMissing},
        {kFolder / "held.vcf", messages::sourceUnreadable},
        {kFolder / "folder.vcf", messages::sourceUnreadable},
        {kSource, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source.string());
        FakeFileSystem files;
        files.addFolder(kFolder);
        files.addFile(kSource, kBook);
        files.addFile(kFolder / "book.txt", kBook);
        files.addFile(kFolder / "held.vcf", kBook).held = true;
        files.addFolder(kFolder / "folder.vcf");
        RecordingUi ui;
        const RunOutcome checked = checkSource(c.source, Layout::classic, ui, files);
        EXPECT_EQ(checked.result, c.error.empty() ? RunResult::completed : RunResult::failed);
        EXPECT_EQ(ui.calls, c.error.empty() ? Strings{} : Strings{RecordingUi::shownError(c.error)});
        EXPECT_EQ(checked.account.has_value(), c.error.empty());
    }
}

}  // namespace
}  // namespace velmora
