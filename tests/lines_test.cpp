#include "vcard/lines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "tests/test_support.h"
#include "vcard/assembly.h"
#include "vcard/loader.h"
#include "vcard/source_text.h"

namespace velmora {
namespace {

constexpr Charset noCharset = Charset::none, sjis = Charset::shiftJis, utf8 = Charset::utf8;
constexpr TransferEncoding plain = TransferEncoding::none, b64 = TransferEncoding::base64,
                           qp = TransferEncoding::quotedPrintable;

// A logical line with the codes it is handed over with; a plain line by default.
struct Handed {
    std::string line;
    Charset charset = noCharset;
    TransferEncoding encoding = plain;
    bool operator==(const Handed&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Handed& h) {
    return os << '{' << ::testing::PrintToString(h.line) << ", " << static_cast<int>(h.charset) << ", "
              << static_cast<int>(h.encoding) << '}';
}

std::vector<Handed> logicalLines(std::string_view text) {
    std::vector<Handed> lines;
    LineCutter cutter(text);
    LineAssembler assembler(cutter, SourceReading::codePage);
    while (const LogicalLine* line = assembler.next())
        lines.push_back({std::string(line->text), line->coding.charset, line->coding.transfer});
    return lines;
}

std::vector<std::string> physicalLines(std::string_view text) {
    std::vector<std::string> lines;
    LineCutter cutter(text);
    while (const auto line = cutter.next()) lines.emplace_back(*line);
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
    const std::size_t crlf = text.rfind("\r\n");
    LineCutter cutter(
        [&](char* buffer, std::size_t size) -> std::optional<std::size_t> {
            const std::size_t n = std::min(size, text.size() - at);
            std::memcpy(buffer, text.data() + at, n);
            at += n;
            return n;
        },
        crlf == std::string_view::npos ? std::nullopt : std::optional<std::uint64_t>(crlf), pieceSize);
    std::vector<std::string> lines;
    while (const auto line = cutter.next()) lines.emplace_back(*line);
    EXPECT_FALSE(cutter.readFailed());
    return lines;
}

TEST(LineCutter, CutsAPieceByPieceTextLikeTheWholeText) {
    const std::string_view texts[] = {
        "",
        "A",
        "A\nB\r\nC",
        "A\nB\nC\n",
        "A\r\nB\nC\r\nD\nE",
        "\r\n\r\n\n\r",
        "BEGIN:VCARD\r\nNOTE;QUOTED-PRINTABLE:a=\r\nb\nc\r\nEND:VCARD\r\n",
    };
    for (std::string_view text : texts) {
        const auto whole = physicalLines(text);
        for (std::size_t piece : {1, 2, 3, 5, 7, 64}) {
            EXPECT_EQ(streamedLines(text, piece), whole) << ::testing::PrintToString(std::string(text)) << " " << piece;
        }
    }
}

TEST(LastCrlfFinder, FindsTheLastCrLfAcrossPieces) {
    for (std::string_view text : {"", "A\r", "\r\n", "A\r\nB\r\nC", "A\r\nB\r", "\r\r\n\n", "A\nB\rC"}) {
        const std::size_t at = text.rfind("\r\n");
        const auto expected = at == std::string_view::npos ? std::nullopt : std::optional<std::uint64_t>(at);
        for (std::size_t piece : {1, 2, 3, 100}) {
            LastCrlfFinder finder;
            for (std::size_t i = 0; i < text.size(); i += piece) finder.add(text.substr(i, piece));
            EXPECT_EQ(finder.offset(), expected) << ::testing::PrintToString(std::string(text)) << " " << piece;
        }
    }
}

TEST(LineCutter, SaysWhenTheTextContradictsItsLastCrLf) {
    struct Case {
        std::string_view text;
        std::optional<std::uint64_t> lastCrlf;
        bool contradicted;
    } cases[] = {
        {"A\r\nB\r\nC", 4, false},
        {"A\nB\nC", std::nullopt, false},
        {"A\r\nB\nC", std::nullopt, true},  // a CR LF it was not told of
        {"A\r\nB\r\nC", 1, true},           // a later CR LF
        {"A\r\nB", 5, true},                // the text ends before it
    };
    for (const auto& c : cases) {
        std::size_t at = 0;
        LineCutter cutter(
            [&](char* buffer, std::size_t size) -> std::optional<std::size_t> {
                const std::size_t n = std::min(size, c.text.size() - at);
                std::memcpy(buffer, c.text.data() + at, n);
                at += n;
                return n;
            },
            c.lastCrlf, 2);
        std::vector<std::string> lines;
        while (const auto line = cutter.next()) lines.emplace_back(*line);
        EXPECT_EQ(cutter.contradicted(), c.contradicted) << ::testing::PrintToString(std::string(c.text));
        if (!c.contradicted) {
            EXPECT_EQ(lines, physicalLines(c.text));
        }
    }
}

TEST(LineCutter, ReportsAFailedRead) {
    int calls = 0;
    LineCutter cutter(
        [&](char* buffer, std::size_t) -> std::optional<std::size_t> {
            if (calls++ > 0) return std::nullopt;
            std::memcpy(buffer, "A\nB", 3);
            return 3;
        },
        std::nullopt, 3);
    EXPECT_EQ(cutter.next(), std::optional<std::string_view>("A"));
    EXPECT_EQ(cutter.next(), std::nullopt);
    EXPECT_TRUE(cutter.readFailed());
}

TEST(LogicalLines, PlainLinesAreHandedOverAsTheyAre) {
    EXPECT_EQ(logicalLines(""), (std::vector<Handed>{{""}}));
    EXPECT_EQ(logicalLines("A:1\nB:2"), (std::vector<Handed>{{"A:1"}, {"B:2"}}));
    // The text ends at its first zero byte.
    EXPECT_EQ(logicalLines(std::string_view("A:1\0\nB:2", 8)), (std::vector<Handed>{{"A:1"}}));
}

TEST(LogicalLines, Base64ContinuationLinesAreJoined) {
    EXPECT_EQ(logicalLines("PHOTO;ENCODING=BASE64;TYPE=JPEG:AAAA\r\n BBBB\r\n  CCCC\r\n\r\nN:x"),
              (std::vector<Handed>{{"PHOTO;ENCODING=BASE64;TYPE=JPEG:AAAABBBB CCCC", noCharset, b64}, {""}, {"N:x"}}));
    // A tab is no continuation.
    EXPECT_EQ(logicalLines("X;BASE64:AA\n\tBB\n"),
              (std::vector<Handed>{{"X;BASE64:AA", noCharset, b64}, {"\tBB"}, {""}}));
    // ENCODING=b is not BASE64: each line stands alone.
    EXPECT_EQ(logicalLines("PHOTO;ENCODING=b:AA\n BB"), (std::vector<Handed>{{"PHOTO;ENCODING=b:AA"}, {" BB"}}));
}

TEST(LogicalLines, TheLineAfterABase64ValueIsExaminedAfresh) {
    // Neither BASE64-decoded with the photo's codes nor left unjoined.
    EXPECT_EQ(
        logicalLines("PHOTO;ENCODING=BASE64:AAAA\r\n BBBB\r\nTEL;CELL:090\r\nEND:VCARD"),
        (std::vector<Handed>{{"PHOTO;ENCODING=BASE64:AAAABBBB", noCharset, b64}, {"TEL;CELL:090"}, {"END:VCARD"}}));
    EXPECT_EQ(logicalLines("PHOTO;ENCODING=BASE64:AAAA\nNOTE;QUOTED-PRINTABLE;CHARSET=UTF-8:a=\nb\nX"),
              (std::vector<Handed>{{"PHOTO;ENCODING=BASE64:AAAA", noCharset, b64},
                                   {"NOTE;QUOTED-PRINTABLE;CHARSET=UTF-8:ab", utf8, qp},
                                   {"X"}}));
}

TEST(LogicalLines, QuotedPrintableSoftLineBreaksAreJoined) {
    EXPECT_EQ(logicalLines("NOTE;ENCODING=QUOTED-PRINTABLE:abc=\r\ndef=\r\nghi\r\nN:x"),
              (std::vector<Handed>{{"NOTE;ENCODING=QUOTED-PRINTABLE:abcdefghi", noCharset, qp}, {"N:x"}}));
    EXPECT_EQ(logicalLines("NOTE;QUOTED-PRINTABLE:a=\n  b"),
              (std::vector<Handed>{{"NOTE;QUOTED-PRINTABLE:a  b", noCharset, qp}}));
    // "=" followed by a blank is no soft line break.
    EXPECT_EQ(logicalLines("NOTE;QUOTED-PRINTABLE:a= \nb:c"),
              (std::vector<Handed>{{"NOTE;QUOTED-PRINTABLE:a= ", noCharset, qp}, {"b:c"}}));
    // An empty line ends the value and adds nothing.
    EXPECT_EQ(logicalLines("NOTE;QUOTED-PRINTABLE:a=\n\nb:c"),
              (std::vector<Handed>{{"NOTE;QUOTED-PRINTABLE:a", noCharset, qp}, {"b:c"}}));
    // A value still folded at the end of the text is dropped.
    EXPECT_EQ(logicalLines("N:x\nNOTE;QUOTED-PRINTABLE:a="), (std::vector<Handed>{{"N:x"}}));
}

TEST(LogicalLines, EndOfContactEndsAnUnfinishedQuotedPrintableValue) {
    EXPECT_EQ(logicalLines("NOTE;ENCODING=QUOTED-PRINTABLE:abc=\r\nend:vcard\r\n"),
              (std::vector<Handed>{{"NOTE;ENCODING=QUOTED-PRINTABLE:abc", noCharset, qp}, {"end:vcard"}, {""}}));
    // Anything else, BEGIN:VCARD included, is still joined.
    EXPECT_EQ(logicalLines("NOTE;QUOTED-PRINTABLE:a=\nBEGIN:VCARD\n"),
              (std::vector<Handed>{{"NOTE;QUOTED-PRINTABLE:aBEGIN:VCARD", noCharset, qp}, {""}}));
}

TEST(LogicalLines, CharsetAndEncodingKeywords) {
    struct Case {
        std::string_view line;
        Charset charset;
        TransferEncoding encoding;
    } cases[] = {
        {"N;CHARSET=SHIFT_JIS:x", sjis, plain},
        {"N;charset=utf-8:x", utf8, plain},
        {"N;CHARSET=SHIFT_JIS;CHARSET=UTF-8:x", utf8, plain},
        {"N;BASE64;QUOTED-PRINTABLE:x", noCharset, qp},
        {"X-BASE64-THING:x", noCharset, b64},
        {"N:CHARSET=UTF-8", noCharset, plain},  // only parameters count, not the value
    };
    for (const auto& c : cases) {
        const auto lines = logicalLines(std::string(c.line) + "\n");
        ASSERT_FALSE(lines.empty()) << c.line;
        EXPECT_EQ(lines[0], (Handed{std::string(c.line), c.charset, c.encoding})) << c.line;
    }
}

TEST(ParseVcardText, BuildsContactsFromTheWholeText) {
    ContactList list;
    parseVcardText("BEGIN:VCARD\nN:a\nEND:VCARD\nBEGIN:VCARD\nN:b\nEND:VCARD\n", list);
    ASSERT_EQ(list.count(), 2u);
    EXPECT_EQ(test::fieldText(list, list.records[1], Field::fullName), "b");
}

TEST(ParseVcardText, AFoldedLineIsMappedByTheHeadOfTheWholeLogicalLine) {
    struct Case {
        std::string_view line;
        std::string_view fullName;
        bool unsupported;
    } cases[] = {
        {"N;CHARSET=SHIFT_JIS;ENCODING=QUOTED-PRINTABLE:=82=A0;=\r\n=82=A2", "\x82\xA0 \x82\xA2", false},
        // The head runs on into the continuation line, which names the charset.
        {"N;ENCODING=QUOTED-PRINTABLE=\r\n;CHARSET=ISO-8859-1:ab", "ab", true},
        {"N;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:a=\r\nb", "ab", true},
        {"N;ENCODING=8BIT;CHARSET=SHIFT_JIS:ab", "ab", true},
    };
    for (const auto& c : cases) {
        const ContactList list = test::parse("BEGIN:VCARD\r\n" + std::string(c.line) + "\r\nEND:VCARD\r\n");
        ASSERT_EQ(list.count(), 1u) << c.line;
        EXPECT_EQ(test::fieldText(list, list.records[0], Field::fullName), c.fullName) << c.line;
        EXPECT_EQ(list.records[0].unsupported, c.unsupported) << c.line;
    }
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
