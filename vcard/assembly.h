// Joining physical lines into logical lines: BASE64 values continue on lines
// that begin with a space, QUOTED-PRINTABLE values after a line that ends in
// "=". Every other line is a logical line of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "vcard/contact.h"
#include "vcard/lines.h"
#include "vcard/tokens.h"

namespace velmora {

// One logical line, with what its first physical line says about its values.
struct LogicalLine {
    std::string_view text;       // the whole line, its folded parts joined
    std::size_t nameLength = 0;  // the property name and parameters: the bytes before the first ":"
    bool hasValue = false;       // the line holds a ":" (otherwise all of it counts as name)
    LineCoding coding;           // its escapes are left to the block the line belongs to
    std::uint64_t number = 0;    // the physical line (from 1) where it began
    SearchableText head;         // the name part, for keyword tests

    std::string_view name() const { return text.substr(0, nameLength); }
    std::string_view value() const { return hasValue ? text.substr(nameLength + 1) : std::string_view(); }
    // Whether `keyword` occurs in the property name and parameters, a to z
    // upper-cased.
    bool names(const Keyword& keyword) const { return head.contains(keyword); }
};

// Delivers the logical lines made of the physical lines of a LineCutter.
class LineAssembler {
public:
    // `reading` says what the text of a line that names no charset is in.
    LineAssembler(LineCutter& lines, SourceReading reading);

    // The next logical line, valid until the next call; none at the end of
    // the text. A value still being folded at the end of the text is dropped.
    const LogicalLine* next();

private:
    // How far the assembly of the logical line under way has come.
    enum class State : std::uint8_t {
        collecting,           // nothing complete yet
        lineReady,            // the current physical line is a complete logical line
        pendingReady,         // `pending_` is a complete logical line
        pendingAndLineReady,  // a BASE64 value ended; the current line is not part of it
    };

    void begin(std::string_view line);
    void collect(std::string_view line);

    LineCutter& lines_;
    TextEncoding sourceText_;
    State state_ = State::collecting;
    bool hasPending_ = false;
    std::string pending_;                   // the logical line assembled so far; its buffer is kept from line to line
    std::optional<std::string_view> held_;  // a physical line that ended a BASE64 value, still to begin
    std::uint64_t physical_ = 0;            // physical lines cut so far
    LogicalLine line_;                      // the line under way, or the one handed over last
};

}  // namespace velmora
