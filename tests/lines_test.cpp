#include "vcard/lines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "tests/test_support.h"

namespace velmora {
namespace {

struct Handed {
    std::string line;
    int charset;
    int encoding;
    bool operator==(const Handed&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Handed& h) {
    return os << '{' << ::testing::PrintToString(h.line) << ", " << h.charset << ", " << h.encoding << '}';
}

std::vector<Handed> logicalLines(std::string_view text) {
    std::vector<Handed> lines;
    assembleLogicalLines(text, [&](std::string_view line, const LineState& state) {
        lines.push_back({std::string(line), state.charset, state.encoding});
    });
    return lines;
}

std::vector<std::string> physicalLines(std::string_view text) {
    std::vector<std::string> lines;
    LineCutter cutter(text);
    for (std::string_view line; cutter.next(line);) lines.emplace_back(line);
    return lines;
}

using Strings = std::vector<std::string>;

TEST(LineCutter, CutsAtCrLfWhileOneFollowsThenAtLf) {
    struct Case {
        std::string_view text;
        Strings lines;
    } cases[] = {
        {"", {""}},
        {"A\nB\r\nC", {"A\nB", "C"}},
        {"A\nB\nC", {"A", "B", "C"}},
        {"A\rB", {"A\rB"}},
        {"A\r\n", {"A", ""}},
        {"A\r\nB\nC\r\nD\nE", {"A", "B\nC", "D", "E"}},
        {"\n\r\n", {"\n", ""}},
        {"A\r\r\nB", {"A\r", "B"}},
        {"A\nB\r", {"A", "B\r"}},
        {"A\rB\nC\r\nD\rE\nF", {"A\rB\nC", "D\rE", "F"}},
    };
    for (const auto& c : cases) EXPECT_EQ(physicalLines(c.text), c.lines) << ::testing::PrintToString(c.text);
}

// The lines of `text` as they arrive through pieces of `pieceSize` bytes.
std::vector<std::string> streamedLines(std::string_view text, std::size_t pieceSize) {
    std::size_t at = 0;
    const std::size_t crlf = text.substr(0, text.find('\0')).rfind("\r\n");
    StreamLineCutter cutter(
        [&](char* buffer, std::size_t size) -> std::optional<std::size_t> {
            const std::size_t n = std::min(size, text.size() - at);
            std::memcpy(buffer, text.data() + at, n);
            at += n;
            return n;
        },
        crlf == std::string_view::npos ? StreamLineCutter::kNone : crlf, pieceSize);
    std::vector<std::string> lines;
    for (std::string_view line; cutter.next(line);) lines.emplace_back(line);
    EXPECT_FALSE(cutter.failed());
    return lines;
}

TEST(StreamLineCutter, CutsLikeTheWholeTextAtEveryPieceSize) {
    const std::string_view texts[] = {
        "",
        "A",
        "A\nB\r\nC",
        "A\nB\nC\n",
        "A\r\nB\nC\r\nD\nE",
        "\r\n\r\n\n\r",
        "BEGIN:VCARD\r\nNOTE;QUOTED-PRINTABLE:a=\r\nb\nc\r\nEND:VCARD\r\n",
        std::string_view("A\r\nB\0C\r\nD", 10),
    };
    for (std::string_view text : texts) {
        const auto whole = physicalLines(text.substr(0, text.find('\0')));
        for (std::size_t piece : {1, 2, 3, 5, 7, 64}) {
            EXPECT_EQ(streamedLines(text, piece), whole) << ::testing::PrintToString(std::string(text)) << " " << piece;
        }
    }
}

TEST(StreamLineCutter, AGuessedLastCrLfIsCheckedOnTheWay) {
    struct Case {
        std::string_view text;
        std::uint64_t guess;
        bool wrong;
    } cases[] = {
        {"A\r\nB\r\nC", 4, false},
        {"A\nB\nC", StreamLineCutter::kNone, false},
        {"A\r\nB\nC", StreamLineCutter::kNone, true},    // a CR LF the guess did not know
        {"A\r\nB\r\nC", 1, true},                        // a later CR LF
        {std::string_view("A\r\nB\0\r\n", 7), 5, true},  // the text ends before the guess
    };
    for (const auto& c : cases) {
        std::size_t at = 0;
        StreamLineCutter cutter(
            [&](char* buffer, std::size_t size) -> std::optional<std::size_t> {
                const std::size_t n = std::min(size, c.text.size() - at);
                std::memcpy(buffer, c.text.data() + at, n);
                at += n;
                return n;
            },
            c.guess, 2, true);
        std::vector<std::string> lines;
        for (std::string_view line; cutter.next(line);) lines.emplace_back(line);
        EXPECT_EQ(cutter.wrongGuess(), c.wrong) << ::testing::PrintToString(std::string(c.text));
        if (!c.wrong) {
            EXPECT_EQ(lines, physicalLines(c.text));
        }
    }
}

TEST(StreamLineCutter, ReportsAFailedRead) {
    int calls = 0;
    StreamLineCutter cutter(
        [&](char* buffer, std::size_t) -> std::optional<std::size_t> {
            if (calls++ > 0) return std::nullopt;
            std::memcpy(buffer, "A\nB", 3);
            return 3;
        },
        StreamLineCutter::kNone, 3);
    std::string_view line;
    ASSERT_TRUE(cutter.next(line));
    EXPECT_EQ(line, "A");
    EXPECT_FALSE(cutter.next(line));
    EXPECT_TRUE(cutter.failed());
}

TEST(LogicalLines, PlainLinesAreHandedOverAsTheyAre) {
    EXPECT_EQ(logicalLines(""), (std::vector<Handed>{{"", 0, 0}}));
    EXPECT_EQ(logicalLines("A:1\nB:2"), (std::vector<Handed>{{"A:1", 0, 0}, {"B:2", 0, 0}}));
    // The text ends at its first zero byte.
    EXPECT_EQ(logicalLines(std::string_view("A:1\0\nB:2", 8)), (std::vector<Handed>{{"A:1", 0, 0}}));
}

TEST(LogicalLines, Base64ContinuationLinesAreJoined) {
    EXPECT_EQ(
        logicalLines("PHOTO;ENCODING=BASE64;TYPE=JPEG:AAAA\r\n BBBB\r\n  CCCC\r\n\r\nN:x"),
        (std::vector<Handed>{{"PHOTO;ENCODING=BASE64;TYPE=JPEG:AAAABBBB CCCC", 0, 1}, {"", 0, 0}, {"N:x", 0, 0}}));
    // A tab is no continuation.
    EXPECT_EQ(logicalLines("X;BASE64:AA\n\tBB\n"),
              (std::vector<Handed>{{"X;BASE64:AA", 0, 1}, {"\tBB", 0, 0}, {"", 0, 0}}));
    // ENCODING=b is not BASE64: each line stands alone.
    EXPECT_EQ(logicalLines("PHOTO;ENCODING=b:AA\n BB"),
              (std::vector<Handed>{{"PHOTO;ENCODING=b:AA", 0, 0}, {" BB", 0, 0}}));
}

TEST(LogicalLines, TheLineAfterABase64ValueIsExaminedAfresh) {
    // Neither BASE64-decoded with the photo's codes nor left unjoined.
    EXPECT_EQ(
        logicalLines("PHOTO;ENCODING=BASE64:AAAA\r\n BBBB\r\nTEL;CELL:090\r\nEND:VCARD"),
        (std::vector<Handed>{{"PHOTO;ENCODING=BASE64:AAAABBBB", 0, 1}, {"TEL;CELL:090", 0, 0}, {"END:VCARD", 0, 0}}));
    EXPECT_EQ(
        logicalLines("PHOTO;ENCODING=BASE64:AAAA\nNOTE;QUOTED-PRINTABLE;CHARSET=UTF-8:a=\nb\nX"),
        (std::vector<Handed>{
            {"PHOTO;ENCODING=BASE64:AAAA", 0, 1}, {"NOTE;QUOTED-PRINTABLE;CHARSET=UTF-8:ab", 2, 2}, {"X", 0, 0}}));
}

TEST(LogicalLines, QuotedPrintableSoftLineBreaksAreJoined) {
    EXPECT_EQ(logicalLines("NOTE;ENCODING=QUOTED-PRINTABLE:abc=\r\ndef=\r\nghi\r\nN:x"),
              (std::vector<Handed>{{"NOTE;ENCODING=QUOTED-PRINTABLE:abcdefghi", 0, 2}, {"N:x", 0, 0}}));
    EXPECT_EQ(logicalLines("NOTE;QUOTED-PRINTABLE:a=\n  b"),
              (std::vector<Handed>{{"NOTE;QUOTED-PRINTABLE:a  b", 0, 2}}));
    // "=" followed by a blank is no soft line break.
    EXPECT_EQ(logicalLines("NOTE;QUOTED-PRINTABLE:a= \nb:c"),
              (std::vector<Handed>{{"NOTE;QUOTED-PRINTABLE:a= ", 0, 2}, {"b:c", 0, 0}}));
    // An empty line ends the value and adds nothing.
    EXPECT_EQ(logicalLines("NOTE;QUOTED-PRINTABLE:a=\n\nb:c"),
              (std::vector<Handed>{{"NOTE;QUOTED-PRINTABLE:a", 0, 2}, {"b:c", 0, 0}}));
    // A value still folded at the end of the text is dropped.
    EXPECT_EQ(logicalLines("N:x\nNOTE;QUOTED-PRINTABLE:a="), (std::vector<Handed>{{"N:x", 0, 0}}));
}

TEST(LogicalLines, EndOfContactEndsAnUnfinishedQuotedPrintableValue) {
    EXPECT_EQ(logicalLines("NOTE;ENCODING=QUOTED-PRINTABLE:abc=\r\nend:vcard\r\n"),
              (std::vector<Handed>{{"NOTE;ENCODING=QUOTED-PRINTABLE:abc", 0, 2}, {"end:vcard", 0, 0}, {"", 0, 0}}));
    // Anything else, BEGIN:VCARD included, is still joined.
    EXPECT_EQ(logicalLines("NOTE;QUOTED-PRINTABLE:a=\nBEGIN:VCARD\n"),
              (std::vector<Handed>{{"NOTE;QUOTED-PRINTABLE:aBEGIN:VCARD", 0, 2}, {"", 0, 0}}));
}

TEST(LogicalLines, CharsetAndEncodingKeywords) {
    struct Case {
        std::string_view line;
        int charset;
        int encoding;
    } cases[] = {
        {"N;CHARSET=SHIFT_JIS:x", 1, 0},
        {"N;charset=utf-8:x", 2, 0},
        {"N;CHARSET=SHIFT_JIS;CHARSET=UTF-8:x", 2, 0},
        {"N;BASE64;QUOTED-PRINTABLE:x", 0, 2},
        {"X-BASE64-THING:x", 0, 1},
        {"N:CHARSET=UTF-8", 0, 0},  // only parameters count, not the value
    };
    for (const auto& c : cases) {
        const auto lines = logicalLines(std::string(c.line) + "\n");
        ASSERT_FALSE(lines.empty()) << c.line;
        EXPECT_EQ(lines[0], (Handed{std::string(c.line), c.charset, c.encoding})) << c.line;
    }
}

TEST(ParseVcardText, BuildsContactsFromTheWholeText) {
    ContactList list;
    EXPECT_EQ(parseVcardText("BEGIN:VCARD\nN:a\nEND:VCARD\nBEGIN:VCARD\nN:b\nEND:VCARD\n", list), 0);
    ASSERT_EQ(list.count(), 2u);
    EXPECT_EQ(test::fieldText(list, list.records[1], Field::fullName), "b");
}

TEST(ParseVcardText, LongLinesAndManySeparatorsStayLinear) {
    // A million ";" in one value and a file without any line end.
    std::string text = "BEGIN:VCARD\r\nN:" + std::string(1'000'000, ';') + "x\r\nEND:VCARD";
    const ContactList list = test::parse(text);
    ASSERT_EQ(list.count(), 1u);
    EXPECT_EQ(test::fieldText(list, list.records[0], Field::fullName), " x");
    EXPECT_TRUE(list.records[0].complete);
}

}  // namespace
}  // namespace velmora
