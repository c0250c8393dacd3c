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
    notUsed,                 // a second N, ADR, ..., or one written with a group prefix
    utf8Unconverted,         // UTF-8 text on a line that names no charset
};

struct LostLine {
    Loss loss;
    std::uint64_t lineNumber;
    std::string property;  // the property name and parameters as written
    std::string value;     // the value as decoded (not converted), at most kKeptBytes bytes
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
    // `value` is the value as written; it is decoded with the line's codes.
    void lineLost(Loss loss, const LineState& lineState, std::string_view property, std::string_view value);
    // A line whose property has a column was applied; `stored` when it left
    // text in the record. Looks for UTF-8 text on lines that name no charset.
    void lineApplied(const LineState& lineState, std::string_view property, std::string_view value, bool stored);
    // An FN line: the CSV file takes the name from N alone, but a block
    // without N is still named by it.
    void formattedName(const LineState& lineState, std::string_view value);
    // The source began with the UTF-8 byte-order mark.
    void sourceMarkedUtf8() { utf8Mark_ = true; }

    // Forgets the blocks (when the records are cleared); what is known of
    // the file itself stays.
    void clear();

    const std::vector<BlockFacts>& blocks() const { return blocks_; }

    // Whether a lost line is to be shown. UTF-8 text on a line that names no
    // charset is copied into the CSV file as it stands and shows there as
    // garbled characters. Shift_JIS text sometimes also forms well-formed
    // UTF-8 (two half-width katakana such as "ﾆｼ" form one two-byte UTF-8
    // character), so such a line counts only when its text cannot be
    // Shift_JIS, or the file began with the UTF-8 byte-order mark, or no
    // text in the file without a charset or marked SHIFT_JIS shows itself to
    // be something other than UTF-8.
    bool shown(const LostLine& line) const;

private:
    std::vector<BlockFacts> blocks_;
    bool utf8Mark_ = false;
    std::uint64_t textNotUtf8_ = 0;  // values with bytes above 0x7F that are not UTF-8
};

// Well-formed UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
bool isWellFormedUtf8(std::string_view text);

// Every byte is ASCII, a half-width katakana, or a lead byte followed by a
// trail byte of Shift_JIS (code page 932).
bool isWellFormedShiftJis(std::string_view text);

}  // namespace velmora
