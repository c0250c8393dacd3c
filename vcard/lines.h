// Cutting the source text into physical lines and joining folded lines into
// logical lines: BASE64 values continue on lines that begin with a space,
// QUOTED-PRINTABLE values after a line that ends in "=".
//
// One rule decides where a physical line ends: at CR LF while a CR LF follows
// anywhere in the rest of the text, at LF after the last CR LF; a CR alone
// ends nothing. So the cutter needs to know where the text's last CR LF
// stands, which LastCrlfFinder finds and LineCutter applies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "vcard/contact.h"

namespace velmora {

// Finds the last CR LF of a text looked at piece by piece, in text order.
class LastCrlfFinder {
public:
    // `start`: the text offset of the first piece.
    explicit LastCrlfFinder(std::uint64_t start = 0) : next_(start) {}

    // Looks at the piece that follows the ones seen so far.
    void add(std::string_view piece);

    // The text offset of the CR of the last CR LF seen, or nothing.
    std::optional<std::uint64_t> offset() const { return last_; }

private:
    std::uint64_t next_;  // text offset of the next piece
    std::optional<std::uint64_t> last_;
    bool previousEndsInCr_ = false;
};

// Reads the next piece of a text into `buffer` (at most `size` bytes): the
// number of bytes delivered, 0 at the end, nothing when reading failed.
using ReadPiece = std::function<std::optional<std::size_t>(char* buffer, std::size_t size)>;

// Whether the last CR LF handed to a LineCutter is known or still a guess.
enum class LastCrlfIs : std::uint8_t { known, guessed };

// How cutting a text into lines ended.
enum class CutResult : std::uint8_t {
    complete,    // every line of the text was delivered
    readFailed,  // a piece could not be read
    wrongGuess,  // the guessed last CR LF proved wrong; the lines delivered are not to be trusted
};

// Delivers the physical lines of a text, without their line ends, in one
// forward pass. The text ends at its first zero byte. It is either given
// whole, or it arrives piece by piece through a ReadPiece; then only the
// unfinished line and one piece are held, so a large file costs little
// memory. A text that ends with a line end has one further, empty line.
class LineCutter {
public:
    explicit LineCutter(std::string_view text);

    // `lastCrlf`: where the text's last CR LF stands. When that is only
    // guessed, the cutter checks it on the way and stops as soon as the text
    // proves it wrong.
    LineCutter(ReadPiece read, std::optional<std::uint64_t> lastCrlf, std::size_t pieceSize, LastCrlfIs lastCrlfIs);

    // The next physical line, valid until the next call; false once there is
    // none left (see result()).
    bool next(std::string_view& line);

    CutResult result() const { return result_; }

private:
    static constexpr std::uint64_t kNoCrlf = UINT64_MAX;

    bool fill();
    bool stopWrong();

    ReadPiece read_;                   // none for a text given whole
    std::unique_ptr<char[]> storage_;  // the unfinished line and the piece behind it
    std::size_t capacity_ = 0;
    std::size_t pieceSize_ = 0;
    const char* data_ = nullptr;  // the text given whole, or storage_
    std::size_t size_ = 0;
    std::size_t pos_ = 0;     // start of the bytes not yet cut into lines
    std::uint64_t base_ = 0;  // text offset of data_[0]
    std::uint64_t lastCrlf_ = kNoCrlf;
    bool guessed_ = false;
    bool end_ = false;  // nothing more will be read
    bool done_ = false;
    CutResult result_ = CutResult::complete;
};

// Advances the state by one physical line (without its line end).
void feedLine(LineState& lineState, std::string_view line);

// Receives each logical line with the state that says how to decode it.
using LineSink = std::function<void(std::string_view line, const LineState& lineState)>;

// Joins the physical lines that `cutter` delivers into logical lines and
// hands each one to `sink`, in order. A value still being folded at the end
// of the text is dropped.
void assembleLogicalLines(LineCutter& cutter, const LineSink& sink);

// Parses `text` (up to its first zero byte) into `list`. Throws
// std::bad_alloc when memory runs out.
void parseVcardText(std::string_view text, ContactList& list);

// Parses a text that arrives piece by piece (see LineCutter) into `list`.
// After anything but CutResult::complete the list is incomplete. Throws
// std::bad_alloc when memory runs out.
CutResult parseVcardStream(ReadPiece read, std::optional<std::uint64_t> lastCrlf, ContactList& list,
                           std::size_t pieceSize, LastCrlfIs lastCrlfIs);

}  // namespace velmora
