// Whole books in the dialects phones export, from the benchmark kit's
// generator: feature phones' books convert to the bytes they always did, and
// smartphones' books read back as the text they hold.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "book_generator.h"
#include "csv/csv_writer.h"
#include "platform/platform.h"
#include "tests/fake_file_system.h"
#include "tests/test_support.h"
#include "vcard/loader.h"

namespace velmora {
namespace {

using bench::BookGenerator;
using bench::BookStyle;
using bench::LineEnd;

std::string book(BookStyle style, LineEnd lineEnd) {
    BookGenerator generator(style, lineEnd, 4);
    std::string text;
    while (generator.contacts() < 300) generator.appendContact(text);
    return text;
}

std::vector<std::string_view> linesOf(std::string_view text) {
    std::vector<std::string_view> lines;
    for (std::size_t end; (end = text.find('\n')) != std::string_view::npos; text.remove_prefix(end + 1))
        lines.push_back(text.substr(0, end + 1));
    if (!text.empty()) lines.push_back(text);
    return lines;
}

std::string upper(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

// The book without the lines that convert differently since smartphones'
// exports are read right: group-prefixed lines (and the QUOTED-PRINTABLE
// lines they continue on), mobile numbers marked VOICE, X-PHONETIC-LAST-NAME.
std::string withoutNewlyReadLines(std::string_view text) {
    std::string kept;
    bool continued = false;  // the line goes on a dropped QUOTED-PRINTABLE line
    for (std::string_view line : linesOf(text)) {
        std::string_view bare = line.substr(0, line.find_first_of("\r\n"));
        const bool wasContinued = continued;
        continued = false;
        const std::string name = upper(bare.substr(0, bare.find(':')));
        const std::string property = name.substr(0, name.find(';'));
        const bool drop =
            wasContinued || property.find('.') != std::string::npos || property == "X-PHONETIC-LAST-NAME" ||
            (property == "TEL" && name.find("CELL") != std::string::npos && name.find("VOICE") != std::string::npos);
        if (drop) {
            continued = bare.ends_with('=') && (wasContinued || name.find("QUOTED-PRINTABLE") != std::string::npos);
            continue;
        }
        kept += line;
    }
    return kept;
}

std::string csvOf(std::string_view text) {
    ContactList list;
    parseVcardText(text, list);
    test::FakeFileSystem files;
    const auto file = files.destination();
    writeCsvHeader(*file);
    writeContactRows(list, *file);
    return files.destinationBytes();
}

// FNV-1a, 64 bits: enough to hold the bytes of a whole CSV file against.
std::uint64_t fingerprint(std::string_view bytes) {
    std::uint64_t hash = 0xCBF29CE484222325u;
    for (const unsigned char c : bytes) hash = (hash ^ c) * 0x100000001B3u;
    return hash;
}

TEST(DialectBooks, FeaturePhonesConvertToTheSameBytesAsBefore) {
    // The fingerprints of the CSV files that the converter wrote for these
    // books before it read smartphones' exports right.
    struct Case {
        BookStyle style;
        LineEnd lineEnd;
        std::uint64_t csv;
    } cases[] = {
        {BookStyle::feature, LineEnd::crlf, 0xc6caea15f5273413},
        {BookStyle::feature, LineEnd::lf, 0xc6caea15f5273413},
        {BookStyle::carrierA, LineEnd::crlf, 0x876f639f37780db1},
        {BookStyle::carrierA, LineEnd::lf, 0x876f639f37780db1},
        {BookStyle::carrierB, LineEnd::crlf, 0x810baada31308132},
        {BookStyle::carrierB, LineEnd::lf, 0x810baada31308132},
        {BookStyle::carrierC, LineEnd::crlf, 0xa48b4d7050994937},
        {BookStyle::carrierC, LineEnd::lf, 0xa48b4d7050994937},
    };
    for (const Case& c : cases) {
        const std::string text = withoutNewlyReadLines(book(c.style, c.lineEnd));
        EXPECT_EQ(fingerprint(csvOf(text)), c.csv)
            << bench::styleName(c.style) << (c.lineEnd == LineEnd::crlf ? " crlf" : " lf");
    }
}

// Every N line of a smartphone's book, as the name the CSV file is to hold:
// family name, one blank, given name; and how many of its contacts carry a
// reading.
std::vector<std::string> namesIn(std::string_view text, std::size_t& readings) {
    std::vector<std::string> names;
    bool reading = false;  // the contact under way has one
    for (std::string_view line : linesOf(text)) {
        const std::string head = upper(line.substr(0, line.find_first_of(":;")));
        if (head == "END") readings += reading;
        if (head == "BEGIN") reading = false;
        const std::string property = head.substr(head.rfind('.') + 1);
        reading = reading || property == "X-PHONETIC-LAST-NAME" || property == "SORT-STRING" || property == "SOUND";
        if (!line.starts_with("N:") && !line.starts_with("N;")) continue;
        line = line.substr(line.find(':') + 1);
        line = line.substr(0, line.find_first_of("\r\n"));
        const std::size_t semicolon = line.find(';');
        const std::string_view family = line.substr(0, semicolon);
        const std::string_view given = line.substr(semicolon + 1, line.find(';', semicolon + 1) - semicolon - 1);
        names.push_back(std::string(family) + (given.empty() ? "" : " ") + std::string(given));
    }
    return names;
}

TEST(DialectBooks, SmartphonesReadBackInUnicode) {
    for (const BookStyle style : {BookStyle::smart, BookStyle::iphone}) {
        for (const LineEnd lineEnd : {LineEnd::crlf, LineEnd::lf}) {
            const std::string text = book(style, lineEnd);
            const std::string what = std::string(bench::styleName(style));
            ContactList list;
            parseVcardText(text, list);
            std::size_t withReading = 0;
            const std::vector<std::string> names = namesIn(text, withReading);
            ASSERT_EQ(list.count(), names.size()) << what;
            std::size_t readings = 0, addresses = 0, notes = 0;
            for (std::size_t i = 0; i < list.count(); ++i) {
                const ContactRecord& record = list.records[i];
                const auto unicode = [&](Field field) {
                    return platform::ansiToUtf8(list.text(record, field).value_or(""));
                };
                // The names hold no character outside code page 932.
                EXPECT_EQ(unicode(Field::fullName), names[i]) << what;
                readings += record.has(Field::readingPrefix);
                addresses += record.has(Field::homeStreet);
                notes += record.has(Field::notes);
                // Escapes are undone: no "\," or "\:" is left (a "\n" may be
                // the text of a written "\\n").
                for (const Field field : {Field::notes, Field::homeStreet, Field::webPage}) {
                    const std::string value = unicode(field);
                    for (std::string_view escape : {"\\,", "\\:"})
                        EXPECT_EQ(value.find(escape), std::string::npos) << what << ": " << value;
                }
            }
            // Every contact with a reading has it, and grouped addresses are read.
            EXPECT_EQ(readings, withReading) << what;
            EXPECT_GT(readings, list.count() / 2) << what;
            EXPECT_GT(addresses, list.count() / 4) << what;
            EXPECT_GT(notes, 0u) << what;
        }
    }
}

}  // namespace
}  // namespace velmora
