// Fuzz target: the whole reader, from the bytes of a source file to the CSV
// lines written for it. The input is written to a file and loaded the way a
// conversion run loads it (byte-order marks, UTF-16LE, the first zero byte),
// then every record is laid out as a line and written through the block
// writer into a destination that fills up at a point chosen by the input.
//
// Besides the sanitizers' verdict, each run checks what must hold for any
// source: a line has exactly 95 columns, absent fields are empty columns,
// present ones are quoted and hold the field's bytes (only quotes doubled,
// line breaks dropped and backslashes before ";" removed), and the writer
// counts exactly the lines that reached the destination whole.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/report.h"
#include "csv/csv_writer.h"
#include "fuzz/fuzz_check.h"
#include "vcard/account.h"
#include "vcard/loader.h"
#include "vcard/source_text.h"

namespace {

using namespace velmora;

// The file each input is written to: one private folder per fuzzing process
// under TMPDIR (the test script points it at a memory file system), removed
// at exit. Kept on the heap so that it outlives every static.
const std::filesystem::path& sourcePath() {
    static const std::filesystem::path* const path = [] {
        const auto dir = std::filesystem::temp_directory_path() / ("velmora-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        auto* file = new std::filesystem::path(dir / "book.vcf");
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(sourcePath().parent_path(), ignored);
        });
        return file;
    }();
    return *path;
}

// The field text as it must read once the escaping is undone as far as it can
// be: every run of backslashes right before a ";" dropped, line breaks dropped.
// A column's content and its field both reduce to the same text.
std::string reduced(std::string_view text) {
    std::string noBreaks;
    for (const char c : text)
        if (c != '\r' && c != '\n') noBreaks += c;
    std::string out;
    for (std::size_t i = 0; i < noBreaks.size();) {
        std::size_t j = i;
        while (j < noBreaks.size() && noBreaks[j] == '\\') ++j;
        if (j > i && j < noBreaks.size() && noBreaks[j] == ';') {
            i = j;  // the backslashes go, the ";" stays
            continue;
        }
        out.append(noBreaks, i, j > i ? j - i : 1);
        i = j > i ? j : i + 1;
    }
    return out;
}

// The columns of one line: nothing for an empty column, the unquoted content
// for a quoted one. Fails the run when the line is not well formed.
std::vector<std::optional<std::string>> columnsOf(std::string_view line) {
    FUZZ_CHECK(line.size() >= 2 && line.substr(line.size() - 2) == "\r\n");
    line.remove_suffix(2);
    std::vector<std::optional<std::string>> columns;
    std::size_t i = 0;
    for (;;) {
        if (i < line.size() && line[i] == '"') {
            std::string content;
            ++i;
            for (;;) {
                FUZZ_CHECK(i < line.size());  // an unterminated quoted column
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        content += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                FUZZ_CHECK(line[i] != '\r' && line[i] != '\n');
                content += line[i++];
            }
            columns.emplace_back(std::move(content));
        } else {
            columns.emplace_back(std::nullopt);
        }
        if (i == line.size()) break;
        FUZZ_CHECK(line[i] == ',');  // nothing unquoted stands in a column
        ++i;
    }
    return columns;
}

// Which field each column holds (-1: always empty).
constexpr int kColumnField[kCsvColumns] = {-1, 0,  -1, 1,  -1, 5,  6,  7,  -1, -1, -1, -1, -1, -1, -1, 8,  -1, -1, 9,
                                           10, 11, 12, -1, -1, -1, -1, -1, -1, -1, -1, 13, 14, 15, -1, -1, 16, -1, 17,
                                           18, -1, 19, -1, -1, 20, -1, -1, -1, -1, -1, 24, -1, -1, -1, -1, -1, -1, -1,
                                           -1, 25, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                           -1, 2,  -1, 4,  21, -1, -1, 22, -1, -1, 23, -1, -1, -1, -1, -1, -1, 3,  -1};

void checkLine(const ContactList& list, const ContactRecord& record, std::string_view line) {
    const auto columns = columnsOf(line);
    FUZZ_CHECK(columns.size() == kCsvColumns);
    for (std::size_t c = 0; c < kCsvColumns; ++c) {
        if (kColumnField[c] < 0) {
            FUZZ_CHECK(!columns[c]);
            continue;
        }
        const auto value = list.text(record, static_cast<Field>(kColumnField[c]));
        FUZZ_CHECK(value.has_value() == columns[c].has_value());
        if (!value) continue;
        FUZZ_CHECK(value->find('\0') == std::string_view::npos);
        FUZZ_CHECK(reduced(*columns[c]) == reduced(*value));
    }
}

// A destination that holds at most `room` bytes, like a disk that is full:
// a write takes what still fits, and bytes taken back out make room again.
class FillingSink : public ByteSink {
public:
    explicit FillingSink(std::size_t room) : room_(room) {}
    std::size_t write(const char* data, std::size_t size) override {
        const std::size_t taken = size < room_ - bytes.size() ? size : room_ - bytes.size();
        bytes.append(data, taken);
        return taken;
    }
    bool discardTail(std::size_t size) override {
        FUZZ_CHECK(size <= bytes.size());
        bytes.resize(bytes.size() - size);
        return true;
    }
    std::string bytes;

private:
    std::size_t room_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream out(sourcePath(), std::ios::binary | std::ios::trunc);
        out.write(input.data(), static_cast<std::streamsize>(input.size()));
        FUZZ_CHECK(out.good());
    }
    // Every other input is read with an account kept beside the records,
    // which must change nothing in them.
    Account account;
    ContactList list;
    const bool withAccount = size % 2 == 1;
    if (withAccount) list.keepAccount(&account);
    const LoadResult result = loadSourceFile(sourcePath(), list);
    const bool bigEndian = input.size() >= 2 && input.substr(0, 2) == "\xFE\xFF";
    FUZZ_CHECK(result == (bigEndian ? LoadResult::unsupportedEncoding : LoadResult::loaded));
    if (result != LoadResult::loaded) {
        FUZZ_CHECK(list.empty());
        return 0;
    }

    if (withAccount) {
        FUZZ_CHECK(account.blocks().size() == list.count());
        // The account is printable UTF-8 whatever the source held.
        const std::string text = describeAccount(list, account).text;
        FUZZ_CHECK(isWellFormedUtf8(text));
        for (const char c : text) FUZZ_CHECK(c == '\n' || static_cast<unsigned char>(c) >= 0x20);
    }

    std::string expected;  // every exportable line, in list order
    std::vector<std::size_t> ends;
    std::string line;
    for (const ContactRecord& record : list.records) {
        bool anyField = false;
        for (const TextRef& field : record.fields) anyField = anyField || field.present();
        FUZZ_CHECK(isExportable(record) == (record.complete && !record.unsupported && anyField));
        if (!isExportable(record)) continue;
        formatContactRow(list, record, line);
        checkLine(list, record, line);
        expected += line;
        ends.push_back(expected.size());
    }

    // The destination fills up somewhere inside (or behind) the lines; small
    // blocks make the writer flush in the middle of the list as well.
    const std::size_t room = size == 0 ? 0 : (static_cast<std::size_t>(data[0]) * 37 + size) % (expected.size() + 64);
    const std::size_t blockSize = size < 2 ? 1 : 1 + data[1] % 200;
    FillingSink sink(room);
    CsvRowWriter writer(sink, blockSize);
    int outputCount = 0;
    int failures = 0;
    for (const ContactRecord& record : list.records) failures += writer.writeContactRow(list, record, outputCount);
    failures += writer.finish(outputCount);

    // Every line that still fits when its turn comes is written whole; a line
    // that does not fit leaves nothing behind.
    std::string fitting;
    std::size_t whole = 0;
    for (std::size_t i = 0, start = 0; i < ends.size(); start = ends[i++]) {
        if (fitting.size() + (ends[i] - start) > room) continue;
        fitting.append(expected, start, ends[i] - start);
        ++whole;
    }
    FUZZ_CHECK(static_cast<std::size_t>(outputCount) == whole);
    FUZZ_CHECK(static_cast<std::size_t>(failures) == ends.size() - whole);
    FUZZ_CHECK(sink.bytes == fitting);
    return 0;
}
