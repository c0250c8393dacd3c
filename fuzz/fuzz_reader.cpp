// Fuzz target: a whole conversion run, in memory. The input is the source
// address book on a file system held in memory (tests/fake_file_system.h);
// its last two bytes are not part of the book but choose how the run goes:
// the layout, whether an account is kept, whether the destination is there
// beforehand (and whether the user then overwrites it, appends to it or
// cancels), and where the disk fills up or breaks down. No file is written
// anywhere.
//
// The same bytes are also read on their own with parseVcardText, the way the
// loader reads a file (byte-order marks, UTF-16LE, the first zero byte), and
// each exportable record laid out with formatContactRow. Besides the
// sanitizers' verdict, each run checks what must hold for any source:
// - every line has exactly 95 columns, absent fields are empty columns and
//   present ones quoted and holding the field's bytes (only quotes doubled,
//   line breaks dropped or, in the full layout, written as CR LF, and
//   backslashes before ";" removed);
// - the destination ends up holding exactly its old bytes (when appended to),
//   the header (when it is created or overwritten and the header fits) and
//   every contact line that fits when its turn comes, whole and in order, and
//   nothing of a line that did not fit;
// - the run shows exactly the messages that outcome calls for: one
//   "vCard情報のCSV出力に失敗しました。" per line that did not fit, and the
//   counts line with the contacts read and the lines written;
// - the account, when one is kept, is printable UTF-8, names the reading the
//   whole text calls for, and lists with a reason each contact that is not
//   written, and its numbers agree with the records;
// - the run never throws.
#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <exception>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "conversion/conversion.h"
#include "conversion/messages.h"
#include "conversion/report.h"
#include "csv/csv_writer.h"
#include "fuzz/fuzz_check.h"
#include "platform/platform.h"
#include "tests/fake_file_system.h"
#include "vcard/loader.h"

// The loader asks how much memory is left before it reads a source, and on
// Linux the answer is read from /proc/meminfo: some 20 microseconds, as much
// as the rest of a small book's run. This target is linked with
// --wrap for that function (CMakeLists.txt), so that every run gets the
// answer the first one got, as a run of the program asks once.
std::optional<std::uint64_t> realAvailableMemory() __asm__("__real__ZN7velmora8platform15availableMemoryEv");
std::optional<std::uint64_t> availableMemoryAskedOnce() __asm__("__wrap__ZN7velmora8platform15availableMemoryEv");
std::optional<std::uint64_t> availableMemoryAskedOnce() {
    static const std::optional<std::uint64_t> available = realAvailableMemory();
    return available;
}

namespace {

using namespace velmora;

// ---------------------------------------------------------------------------
// What the input chooses.

// The destination before the run, and the user's answer when it is there.
enum class Before : std::uint8_t { none, overwritten, appended, cancelled };

// How the disk fails, at the point the input chooses.
enum class Fault : std::uint8_t {
    none,
    fills,   // free space runs out: a line that does not fit fails, a shorter one later may fit
    breaks,  // every write fails from a number of bytes on
    both,    // fills at the point, breaks once twice as many bytes were written
};

// What an existing destination holds before the run.
constexpr std::string_view kOldContents[] = {
    "",
    "\"\x96\xBC\",,\r\n",  // an earlier run's line
    "\"cut",               // a line an earlier failure left unfinished
    "old text",
};

struct Choices {
    Layout layout = Layout::classic;
    Accounting accounting = Accounting::none;
    Before before = Before::none;
    Fault fault = Fault::none;
    std::string_view old;
    // The fault point: below kBoundaryPoints a share of the bytes the run
    // writes, from kBoundaryPoints on the end of the header or of a line.
    std::uint8_t point = 0;
};
constexpr std::uint8_t kBoundaryPoints = 0xC0;

// The last byte chooses the layout (bit 0), the account (bit 1), the
// destination (bits 2-3), the fault (bits 4-5) and the old contents (bits
// 6-7); the byte before it the fault point. An input of fewer than two bytes
// is a book by itself, converted into a new destination without fault.
Choices choicesOf(std::string_view& input) {
    Choices c;
    if (input.size() < 2) return c;
    const auto flags = static_cast<std::uint8_t>(input.back());
    c.point = static_cast<std::uint8_t>(input[input.size() - 2]);
    input.remove_suffix(2);
    c.layout = (flags & 1) != 0 ? Layout::full : Layout::classic;
    c.accounting = (flags & 2) != 0 ? Accounting::kept : Accounting::none;
    c.before = static_cast<Before>((flags >> 2) & 3);
    c.fault = static_cast<Fault>((flags >> 4) & 3);
    c.old = kOldContents[(flags >> 6) & 3];
    return c;
}

// ---------------------------------------------------------------------------
// The source read on its own, as the loader reads a file.

// The UTF-16LE text up to its first zero code unit, without an odd last byte.
std::string_view utf16Text(std::string_view bytes) {
    std::size_t units = bytes.size() / 2;
    for (std::size_t i = 0; i < units; ++i)
        if (bytes[2 * i] == 0 && bytes[2 * i + 1] == 0) units = i;
    return bytes.substr(0, units * 2);
}

// Whether `text` is well-formed UTF-8, judged by the code points it spells:
// each sequence is as long as its lead byte says, its value needs that many
// bytes, and it is no surrogate and at most U+10FFFF. The core judges by the
// ranges of the bytes; judging by value instead, this check and the core's
// check each other. Written here rather than asked of the core, it also adds
// nothing to the coverage.
bool wellFormedUtf8(std::string_view text) {
    constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};  // the smallest value of each length
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80   ? 1
                                   : lead < 0xC0 ? 0  // a continuation byte cannot lead
                                   : lead < 0xE0 ? 2
                                   : lead < 0xF0 ? 3
                                   : lead < 0xF8 ? 4
                                                 : 0;
        if (length == 0 || text.size() - i < length) return false;
        char32_t value = length == 1 ? lead : lead & (0x7Fu >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            value = value << 6 | (next & 0x3Fu);
        }
        if (value < kLeast[length] || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) return false;
        i += length;
    }
    return true;
}

// How the loader must read a file: refused (a UTF-16 big-endian mark), not
// read (UTF-16 text that cannot be converted), or read as `reading`.
enum class Expected : std::uint8_t { refused, unreadable, read };

struct SourceReadOnItsOwn {
    Expected outcome = Expected::read;
    SourceReading reading = SourceReading::codePage;
};

SourceReadOnItsOwn readOnItsOwn(std::string_view bytes, ContactList& list) {
    const auto marked = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
    if (marked("\xEF\xBB\xBF")) {
        parseVcardText(bytes.substr(3), list, SourceReading::utf8Marked);
        return {Expected::read, SourceReading::utf8Marked};
    }
    if (marked("\xFE\xFF")) return {Expected::refused, {}};
    if (marked("\xFF\xFE")) {
        const std::optional<std::string> text = platform::utf16leToAnsi(utf16Text(bytes.substr(2)));
        if (!text) return {Expected::unreadable, {}};
        parseVcardText(*text, list, SourceReading::utf16);
        return {Expected::read, SourceReading::utf16};
    }
    // Text up to its first zero byte is UTF-8 when it is well-formed UTF-8
    // with a byte above 0x7F, otherwise code page text.
    const std::string_view text = bytes.substr(0, bytes.find('\0'));
    const bool high =
        std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) > 0x7F; });
    const SourceReading reading =
        high && wellFormedUtf8(text) ? SourceReading::utf8WellFormed : SourceReading::codePage;
    parseVcardText(bytes, list, reading);
    return {Expected::read, reading};
}

// ---------------------------------------------------------------------------
// The columns of a line.

// Which field each column of a line holds, as the writer's table says; the
// golden files of the tests hold the table itself to the layouts.
using ColumnMap = std::array<std::optional<Field>, kCsvColumns>;

ColumnMap columnMap(Layout layout) {
    ColumnMap map{};
    for (std::size_t c = 0; c < kCsvColumns; ++c) map[c] = fieldInColumn(layout, c);
    return map;
}

// One column of a line: absent (empty) or the text between its quotes, with
// the quotes inside still doubled.
struct ColumnText {
    bool quoted = false;
    std::string_view text;
};

// Splits a line into its columns, failing the run when it is not well formed:
// it ends in CR LF, nothing unquoted stands in a column, every quoted column
// is closed, and a line break inside one is CR LF, which only the full layout
// writes. Returns the number of columns.
std::size_t splitColumns(std::string_view line, Layout layout, std::array<ColumnText, kCsvColumns>& columns) {
    FUZZ_CHECK(line.size() >= 2 && line.substr(line.size() - 2) == "\r\n");
    line.remove_suffix(2);
    std::size_t count = 0;
    std::size_t i = 0;
    for (;;) {
        FUZZ_CHECK(count < kCsvColumns);
        ColumnText& column = columns[count++];
        column = ColumnText();
        if (i < line.size() && line[i] == '"') {
            const std::size_t start = ++i;
            for (;;) {
                FUZZ_CHECK(i < line.size());  // an unterminated quoted column
                const char c = line[i];
                if (c == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        i += 2;
                        continue;
                    }
                    break;
                }
                if (c == '\r') {
                    FUZZ_CHECK(layout == Layout::full && i + 1 < line.size() && line[i + 1] == '\n');
                    i += 2;
                    continue;
                }
                FUZZ_CHECK(c != '\n');
                ++i;
            }
            column = {true, line.substr(start, i - start)};
            ++i;
        }
        if (i == line.size()) break;
        FUZZ_CHECK(line[i] == ',');
        ++i;
    }
    return count;
}

// The text as it must read once the escaping is undone as far as it can be:
// doubled quotes single (for a column's text), line breaks dropped, and every
// run of backslashes right before a ";" dropped. A column's text and its
// field both reduce to the same text.
void reduce(std::string_view text, bool quotesDoubled, std::string& scratch, std::string& out) {
    scratch.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') continue;
        if (quotesDoubled && c == '"') ++i;  // the column was split at its quotes: the next is the pair
        scratch += c;
    }
    out.clear();
    for (std::size_t i = 0; i < scratch.size();) {
        std::size_t j = i;
        while (j < scratch.size() && scratch[j] == '\\') ++j;
        if (j > i && j < scratch.size() && scratch[j] == ';') {
            i = j;  // the backslashes go, the ";" stays
            continue;
        }
        if (j == i) ++j;
        out.append(scratch, i, j - i);
        i = j;
    }
}

void checkLine(const ContactList& list, const ContactRecord& record, const ColumnMap& map, std::string_view line) {
    static std::array<ColumnText, kCsvColumns> columns;
    static std::string scratch, fromColumn, fromField;
    FUZZ_CHECK(splitColumns(line, list.layout(), columns) == kCsvColumns);
    for (std::size_t c = 0; c < kCsvColumns; ++c) {
        if (!map[c]) {
            FUZZ_CHECK(!columns[c].quoted);
            continue;
        }
        const auto value = list.text(record, *map[c]);
        FUZZ_CHECK(value.has_value() == columns[c].quoted);
        if (!value) continue;
        FUZZ_CHECK(value->find('\0') == std::string_view::npos);
        reduce(columns[c].text, true, scratch, fromColumn);
        reduce(*value, false, scratch, fromField);
        FUZZ_CHECK(fromColumn == fromField);
    }
}

// ---------------------------------------------------------------------------
// The disk as the run must find it.

constexpr std::uint64_t kUnlimited = std::numeric_limits<std::uint64_t>::max() / 2;

// Room left on the disk and bytes left before it breaks. A write takes what
// both allow; what a failed write stored is taken back out, which gives its
// room back but not the bytes it wrote on the way to breaking.
struct Disk {
    std::uint64_t room = kUnlimited;
    std::uint64_t budget = kUnlimited;

    bool write(std::uint64_t length) {
        const std::uint64_t stored = std::min({length, room, budget});
        budget -= stored;
        if (stored < length) return false;
        room -= length;
        return true;
    }
};

// The user interface, recording every call in the order made.
class RecordingUi final : public UserInterface {
public:
    void showError(std::string_view text) override { record(calls, 'E', text); }
    void appendMessage(std::string_view text) override { record(calls, 'M', text); }
    OverwriteChoice askOverwriteOrAppend() override {
        record(calls, 'Q', {});
        return answer;
    }

    void reset(OverwriteChoice choice) {
        answer = choice;
        calls.clear();
    }

    OverwriteChoice answer = OverwriteChoice::overwrite;
    std::string calls;  // one line per call: its kind and its text

    // Adds a call to `calls`.
    static void record(std::string& calls, char kind, std::string_view text) {
        calls += kind;
        calls.append(text);
        calls += '\n';
    }
};

// ---------------------------------------------------------------------------
// The account.

// The number a line begins with (after `skip` bytes), or nothing.
std::optional<std::size_t> numberAt(std::string_view line, std::size_t skip) {
    std::size_t n = 0;
    if (std::from_chars(line.data() + skip, line.data() + line.size(), n).ec != std::errc()) return std::nullopt;
    return n;
}

// The number before the last "件" of a line, as the headings and totals end.
std::optional<std::size_t> countAtEnd(std::string_view line) {
    constexpr std::string_view kUnit = "件";
    if (line.size() < kUnit.size() || line.substr(line.size() - kUnit.size()) != kUnit) return std::nullopt;
    line.remove_suffix(kUnit.size());
    std::size_t start = line.size();
    while (start > 0 && line[start - 1] >= '0' && line[start - 1] <= '9') --start;
    return numberAt(line, start);
}

// Checks the account of a run against the records read on their own: it is
// printable UTF-8 of "\n"-ended lines; it names the reading first; its two
// headings give its two numbers; under the first it lists each contact not
// written, by its number in file order, with at least one reason; under the
// second as many written contacts as it counts, each with at least one lost
// line; and its totals add up to the reasons given.
void checkAccount(const AccountReport& account, const ContactList& list, SourceReading reading) {
    const std::string_view text = account.text;
    FUZZ_CHECK(wellFormedUtf8(text));
    for (const char c : text) FUZZ_CHECK(c == '\n' || static_cast<unsigned char>(c) >= 0x20);
    FUZZ_CHECK(!text.empty() && text.back() == '\n');

    std::vector<std::size_t> notExported;
    for (std::size_t i = 0; i < list.count(); ++i)
        if (!isExportable(list.records[i])) notExported.push_back(i + 1);
    FUZZ_CHECK(account.notWritten == notExported.size());
    FUZZ_CHECK(account.lostSomething <= list.count() - notExported.size());

    enum class Section { readAs, notWritten, lostSomething, totals } section = Section::readAs;
    std::size_t line = 0;
    std::size_t contacts = 0;  // contacts listed in the present section
    std::size_t reasons = 0;   // reasons given under the contacts of both sections
    std::size_t totals = 0;    // the totals per reason, added up
    bool reasonDue = false;    // the contact listed last has no reason yet
    std::size_t lastLost = 0;  // the number of the contact listed last under the second heading
    for (std::size_t start = 0; start < text.size(); ++line) {
        const std::size_t end = text.find('\n', start);
        const std::string_view l = text.substr(start, end - start);
        start = end + 1;
        if (line == 0) {
            constexpr std::string_view kReadAs = "読み取った文字コード / Read as: ";
            FUZZ_CHECK(l.starts_with(kReadAs) && l.substr(kReadAs.size()) == readingLabel(reading));
            continue;
        }
        if (l.empty()) {
            FUZZ_CHECK(!reasonDue);
            continue;
        }
        if (l.starts_with("書き出されない連絡先 / Contacts not written: ")) {
            FUZZ_CHECK(section == Section::readAs);
            FUZZ_CHECK(countAtEnd(l) == account.notWritten);
            section = Section::notWritten;
        } else if (l.starts_with("一部が書き出されない連絡先 / Written contacts that lost something: ")) {
            FUZZ_CHECK(section == Section::notWritten && contacts == notExported.size());
            FUZZ_CHECK(countAtEnd(l) == account.lostSomething);
            section = Section::lostSomething;
            contacts = 0;
        } else if (l == "理由ごとの件数 / Totals per reason") {
            FUZZ_CHECK(section == Section::lostSomething && contacts == account.lostSomething);
            section = Section::totals;
        } else if (section == Section::totals) {
            FUZZ_CHECK(l.starts_with("  "));
            const auto n = countAtEnd(l);
            FUZZ_CHECK(n.has_value());
            totals += *n;
        } else if (l.starts_with("    ")) {
            FUZZ_CHECK(section == Section::notWritten || section == Section::lostSomething);
            FUZZ_CHECK(contacts > 0);
            ++reasons;
            reasonDue = false;
        } else {
            FUZZ_CHECK(l.starts_with("  ") && !reasonDue);
            const auto number = numberAt(l, 2);
            FUZZ_CHECK(number.has_value() && *number >= 1 && *number <= list.count());
            if (section == Section::notWritten) {
                FUZZ_CHECK(contacts < notExported.size() && notExported[contacts] == *number);
            } else {
                FUZZ_CHECK(section == Section::lostSomething);
                FUZZ_CHECK(isExportable(list.records[*number - 1]) && *number > lastLost);
                lastLost = *number;
            }
            ++contacts;
            reasonDue = true;
        }
    }
    FUZZ_CHECK(section == Section::totals && !reasonDue);
    FUZZ_CHECK(totals == reasons);
}

// ---------------------------------------------------------------------------

const std::filesystem::path kSource = "/phone/book.vcf";
const std::filesystem::path kFolder = "/csv";
const std::filesystem::path kDestination = "/csv/book.csv";

const ColumnMap kClassicMap = columnMap(Layout::classic);
const ColumnMap kFullMap = columnMap(Layout::full);

// The fault point: a share of the `total` bytes the run writes, or the end
// of the header (when one is written) or of a line.
std::uint64_t faultPoint(const Choices& choices, std::uint64_t headerBytes, std::uint64_t total,
                         const std::vector<std::size_t>& ends) {
    if (choices.point < kBoundaryPoints) return total * choices.point / (kBoundaryPoints - 1);
    std::size_t boundary = choices.point - kBoundaryPoints;
    if (boundary == 0) return 0;
    if (headerBytes != 0) {
        if (boundary == 1) return headerBytes;
        --boundary;
    }
    if (ends.empty()) return total;
    return headerBytes + ends[std::min(boundary, ends.size()) - 1];
}

OverwriteChoice answerFor(Before before) {
    switch (before) {
    case Before::appended:
        return OverwriteChoice::append;
    case Before::cancelled:
        return OverwriteChoice::cancel;
    case Before::none:
    case Before::overwritten:
        break;
    }
    return OverwriteChoice::overwrite;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view book(reinterpret_cast<const char*>(data), size);
    const Choices choices = choicesOf(book);

    // The book read on its own, and every line it must give, in list order.
    ContactList list;
    list.useLayout(choices.layout);
    const SourceReadOnItsOwn source = readOnItsOwn(book, list);
    const ColumnMap& map = choices.layout == Layout::full ? kFullMap : kClassicMap;
    static std::string expected;
    static std::string line;
    static std::vector<std::size_t> ends;
    expected.clear();
    ends.clear();
    std::size_t complete = 0;
    for (const ContactRecord& record : list.records) {
        bool anyField = false;
        for (const TextRef& field : record.fields) anyField = anyField || field.present();
        FUZZ_CHECK(isExportable(record) == (record.complete && !record.unsupported && anyField));
        if (record.complete) ++complete;
        if (!isExportable(record)) continue;
        formatContactRow(list, record, line);
        checkLine(list, record, map, line);
        expected += line;
        ends.push_back(expected.size());
    }

    // The disk: the book, a folder for the destination, and the destination
    // itself when the input says it is there. One disk serves every run, as
    // it costs less than a new one each time.
    static test::FakeFileSystem files;
    files.resetDisk();
    files.addFile(kSource, book);
    files.addFolder(kFolder);
    const bool existed = choices.before != Before::none;
    if (existed)
        files.addFile(kDestination, choices.old);
    else
        files.remove(kDestination);
    const bool appending = choices.before == Before::appended;
    const std::string_view header = csvHeader();
    const std::uint64_t headerBytes = appending ? 0 : header.size();
    const std::uint64_t point = faultPoint(choices, headerBytes, headerBytes + expected.size(), ends);
    Disk disk;
    // A destination that is overwritten gives its room back first.
    const std::uint64_t freed = choices.before == Before::overwritten ? choices.old.size() : 0;
    if (choices.fault == Fault::fills || choices.fault == Fault::both) {
        files.freeSpace = point > freed ? point - freed : 0;
        disk.room = *files.freeSpace + freed;
    }
    if (choices.fault == Fault::breaks || choices.fault == Fault::both) {
        files.writeFailsAfter = choices.fault == Fault::both ? 2 * point : point;
        disk.budget = *files.writeFailsAfter;
    }

    static RecordingUi ui;
    ui.reset(answerFor(choices.before));
    static RunRequest request{kSource, kDestination};
    request.layout = choices.layout;
    request.accounting = choices.accounting;
    RunOutcome outcome{};
    bool threw = false;
    try {
        outcome = runConversion(request, ui, files);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "runConversion threw: %s\n", e.what());
        threw = true;
    } catch (...) {
        threw = true;
    }
    FUZZ_CHECK(!threw);

    // What the run must have done, worked out from the book read on its own.
    static std::string calls;
    static std::string written;
    calls.clear();
    written.clear();
    const auto said = [](char kind, std::string_view text) { RecordingUi::record(calls, kind, text); };
    RunResult result = RunResult::completed;
    bool accounted = false;
    if (existed) said('Q', {});
    if (choices.before == Before::cancelled) {
        result = RunResult::cancelled;
        written = choices.old;
    } else {
        said('M', messages::converting);
        if (source.outcome != Expected::read) {
            said('E', source.outcome == Expected::refused ? messages::encodingUnsupported : messages::sourceUnreadable);
            said('M', messages::failed);
            result = RunResult::failed;
            if (existed) written = choices.old;
        } else if (appending || disk.write(header.size())) {
            written = appending ? choices.old : header;
            std::size_t lines = 0;
            std::size_t failures = 0;
            for (std::size_t i = 0, start = 0; i < ends.size(); start = ends[i++]) {
                if (disk.write(ends[i] - start)) {
                    written.append(expected, start, ends[i] - start);
                    ++lines;
                } else {
                    ++failures;
                }
            }
            for (std::size_t i = 0; i < failures; ++i) said('M', messages::rowFailed);
            if (lines == 0) {
                said('M', messages::nothingToOutput);
            } else {
                said('M', messages::completed);
                said('M', messages::CountsLine(complete, lines).text());
            }
            if (failures != 0) result = RunResult::failed;
            accounted = choices.accounting == Accounting::kept;
        } else {
            said('M', messages::headerFailed);  // what part of it was written has been taken back out
            result = RunResult::failed;
        }
    }

    FUZZ_CHECK(outcome.result == result);
    FUZZ_CHECK(ui.calls == calls);
    const test::FakeFileSystem::File* destination = files.file(kDestination);
    if (!existed && source.outcome != Expected::read) {
        FUZZ_CHECK(destination == nullptr);  // a run that read nothing creates nothing
    } else {
        FUZZ_CHECK(destination != nullptr && destination->bytes == written);
    }
    FUZZ_CHECK(outcome.account.has_value() == accounted);
    if (accounted) checkAccount(*outcome.account, list, source.reading);
    return 0;
}
