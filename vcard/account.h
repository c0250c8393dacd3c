// The facts behind an account of what the CSV file leaves out. A record says
// only whether its block was complete and supported; the reader, when an
// account is asked for (ContactList::keepAccount), also tells the Account
// where each block began, what made it unsupported and which lines of it found
// no place in the record. Without an account the reader pays one pointer test
// at each of these points.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vcard/assembly.h"
#include "vcard/contact.h"

namespace velmora {

// The parameter or value that made a block unsupported.
enum class UnsupportedBy : std::uint8_t { version, charset, encoding };

struct UnsupportedLine {
    UnsupportedBy cause;
    std::uint64_t lineNumber;
    std::string text;  // "VERSION:" and the value, or the property name with its parameters
};

// Why a line of a block left nothing in the block's CSV line.
enum class Loss : std::uint8_t {
    telephoneWithoutColumn,  // a TEL line found every column it may use taken
    emailWithoutColumn,      // an EMAIL line, likewise
    addressWithoutColumn,    // an ADR line, likewise (full layout)
    notUsed,                 // a second N, ADR, ...
    codingRefused,           // an FN, TITLE or X-PHONETIC line whose CHARSET or ENCODING cannot be read (full layout)
    utf8Unconverted,         // UTF-8 text on a line that names no charset, in a file read as Shift_JIS
};

struct LostLine {
    Loss loss;
    std::uint64_t lineNumber;
    std::string property;  // the property name and parameters as written, in the file's encoding
    // The value as decoded, in the ANSI code page; for utf8Unconverted the
    // UTF-8 bytes as they reach the CSV file. At most kKeptBytes bytes.
    std::string value;
    // For utf8Unconverted: the text is also well-formed Shift_JIS, so the
    // line alone does not tell which of the two it is.
    bool alsoShiftJis = false;
};

struct BlockFacts {
    std::uint64_t beginLine = 0;                 // physical line of its BEGIN:VCARD
    std::optional<UnsupportedLine> unsupported;  // the first line that made it unsupported
    std::optional<std::string> formattedName;    // the first FN value, for a block without N
    std::vector<LostLine> lost;
};

class Account {
public:
    // Longest property or value kept for showing; an account names a line,
    // it does not copy it.
    static constexpr std::size_t kKeptBytes = 200;

    // What the reader reports, always about the block begun last.
    void blockBegun(std::uint64_t lineNumber);
    void markedUnsupported(UnsupportedBy cause, std::uint64_t lineNumber, std::string_view text);
    // `value`: the line's whole value, as the reader decoded it.
    void lineLost(Loss loss, const LogicalLine& line, std::string_view value);
    // A line whose property has a column was applied; `stored` when it left
    // text in the record. Looks for UTF-8 text on lines that name no charset.
    void lineApplied(const LogicalLine& line, const LineCoding& coding, std::string_view value, bool stored);
    // An FN line's name, as the reader decoded it: the classic layout takes
    // the name from N alone, but a block without N is still named by it.
    void formattedName(std::string_view name);
    // How the whole source was read; the loader says so once it knows.
    void sourceRead(SourceReading reading) { reading_ = reading; }
    SourceReading reading() const { return reading_; }

    // Forgets the blocks (when the records are cleared); what is known of
    // the file itself stays.
    void clear();

    const std::vector<BlockFacts>& blocks() const { return blocks_; }

    // Whether a lost line is to be shown. In a file read as Shift_JIS, UTF-8
    // text on a line that names no charset is copied into the CSV file as it
    // stands and shows there as garbled characters. Shift_JIS text sometimes
    // also forms well-formed UTF-8 (two half-width katakana such as "ﾆｼ" form
    // one two-byte UTF-8 character), so such a line counts only when its text
    // cannot be Shift_JIS, or no text in the file without a charset or
    // marked SHIFT_JIS shows itself to be something other than UTF-8.
    bool shown(const LostLine& line) const;

private:
    // Text as the file wrote it, cut between two characters of its encoding.
    std::string keptAsWritten(std::string_view text) const;

    std::vector<BlockFacts> blocks_;
    SourceReading reading_ = SourceReading::codePage;
    std::uint64_t textNotUtf8_ = 0;  // values with bytes above 0x7F that are not UTF-8
};

}  // namespace velmora
