// Cutting the source text into physical lines and joining folded lines into
// logical lines: BASE64 values continue on lines that begin with a space,
// QUOTED-PRINTABLE values after a line that ends in "=".
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "vcard/contact.h"

namespace velmora {

// Hands every logical line of `text` (up to its first zero byte) to the
// property mapping, in order. Lines end at CR LF while a CR LF follows
// anywhere in the rest of the text, at LF after the last one; a CR alone ends
// nothing. A value still being folded at the end of the text is dropped.
// Throws std::bad_alloc when memory runs out.
int parseVcardText(std::string_view text, ContactList& list);

// Advances the state by one physical line (without its line end).
void feedLine(LineState& lineState, std::string_view line);

// Finds the physical lines of a text in one forward pass. A line ends at the
// first CR LF of the rest of the text; only when the rest holds no CR LF at
// all does it end at the first LF. Whether a CR LF follows a bare LF is
// looked up once and remembered, so a text with LF line ends costs one extra
// memchr scan for CR, not a search of the rest per line.
class LineCutter {
public:
    explicit LineCutter(std::string_view text) : text_(text) {}

    // The next physical line; false once the last line has been returned.
    bool next(std::string_view& line) {
        if (done_) return false;
        const std::size_t start = start_;
        for (std::size_t lf = find('\n', start);; lf = find('\n', lf + 1)) {
            if (lf == std::string_view::npos) {
                line = text_.substr(start);
                done_ = true;
                return true;
            }
            const bool crlf = lf > start && text_[lf - 1] == '\r';
            if (crlf || !crlfAfter(lf)) {
                const std::size_t end = crlf ? lf - 1 : lf;
                line = text_.substr(start, end - start);
                start_ = lf + 1;
                return true;
            }
            // A bare LF with a CR LF still to come stays inside the line.
        }
    }

private:
    std::size_t find(char c, std::size_t from) const {
        if (from >= text_.size()) return std::string_view::npos;
        const void* p = std::memchr(text_.data() + from, c, text_.size() - from);
        return p == nullptr ? std::string_view::npos
                            : static_cast<std::size_t>(static_cast<const char*>(p) - text_.data());
    }

    // Whether a CR LF begins after `pos`.
    bool crlfAfter(std::size_t pos) {
        if (pos < searchedFrom_ || (nextCrlf_ != std::string_view::npos && nextCrlf_ <= pos)) {
            searchedFrom_ = pos;
            nextCrlf_ = std::string_view::npos;
            for (std::size_t cr = find('\r', pos); cr != std::string_view::npos; cr = find('\r', cr + 1)) {
                if (cr + 1 < text_.size() && text_[cr + 1] == '\n') {
                    nextCrlf_ = cr;
                    break;
                }
            }
        }
        return nextCrlf_ != std::string_view::npos;
    }

    std::string_view text_;
    std::size_t start_ = 0;
    bool done_ = false;
    std::size_t searchedFrom_ = std::string_view::npos;  // nothing searched yet
    std::size_t nextCrlf_ = std::string_view::npos;      // first CR LF found behind searchedFrom_
};

// Reads the next piece of a text into `buffer` (at most `size` bytes): the
// number of bytes delivered, 0 at the end, nothing when reading failed.
using ReadPiece = std::function<std::optional<std::size_t>(char* buffer, std::size_t size)>;

// Cuts a text that arrives piece by piece into the same physical lines as
// LineCutter would cut the whole text. Where its last CR LF stands must be
// known beforehand, because whether a bare LF ends a line depends on it; when
// that is only a guess, the cutter checks it on the way and stops as soon as
// the text proves it wrong. The text ends at its first zero byte. Only the
// unfinished line and one piece are held, so a large file costs little memory.
class StreamLineCutter {
public:
    static constexpr std::uint64_t kNone = UINT64_MAX;

    // `lastCrlf`: offset of the CR of the text's last CR LF, or kNone;
    // `guessed`: whether that still has to be checked.
    StreamLineCutter(ReadPiece read, std::uint64_t lastCrlf, std::size_t pieceSize = 1 << 20, bool guessed = false)
        : read_(std::move(read)), lastCrlf_(lastCrlf), pieceSize_(pieceSize), guessed_(guessed) {}

    // The next physical line, valid until the next call; false after the
    // last line, when reading failed (then failed() is true), or when the
    // guessed last CR LF proved wrong (then wrongGuess() is true).
    bool next(std::string_view& line) {
        if (done_) return false;
        std::size_t from = pos_;  // where the search for the line end goes on
        for (;;) {
            const void* hit = from < size_ ? std::memchr(data_.get() + from, '\n', size_ - from) : nullptr;
            if (hit != nullptr) {
                const std::size_t lf = static_cast<std::size_t>(static_cast<const char*>(hit) - data_.get());
                const bool crlf = lf > pos_ && data_[lf - 1] == '\r';
                if (crlf && guessed_ && (lastCrlf_ == kNone || base_ + lf - 1 > lastCrlf_)) return stopWrong();
                if (crlf || lastCrlf_ == kNone || lastCrlf_ < base_ + lf) {
                    line = std::string_view(data_.get() + pos_, (crlf ? lf - 1 : lf) - pos_);
                    pos_ = lf + 1;
                    return true;
                }
                from = lf + 1;  // a bare LF with a CR LF still to come stays inside the line
                continue;
            }
            if (end_) {
                line = size_ > pos_ ? std::string_view(data_.get() + pos_, size_ - pos_) : std::string_view();
                done_ = true;
                return true;
            }
            // Keep the unfinished line at the front and read on behind it.
            if (pos_ > 0) std::memmove(data_.get(), data_.get() + pos_, size_ - pos_);
            size_ -= pos_;
            base_ += pos_;
            from -= pos_;
            pos_ = 0;
            if (!fill()) {
                if (failed_) {
                    done_ = true;
                    return false;
                }
                end_ = true;
            }
            // The text ends before the guessed last CR LF: it was not the last one.
            if (end_ && guessed_ && lastCrlf_ != kNone && lastCrlf_ + 1 >= base_ + size_) return stopWrong();
        }
    }

    bool failed() const { return failed_; }
    bool wrongGuess() const { return wrongGuess_; }

private:
    bool stopWrong() {
        wrongGuess_ = true;
        done_ = true;
        return false;
    }

    // Appends the next piece; false at the end of the text or on failure.
    bool fill() {
        if (capacity_ - size_ < pieceSize_) {
            // Room for one more piece behind the unfinished line, which only
            // a line longer than a piece makes grow.
            const std::size_t capacity = std::max(capacity_ * 2, size_ + pieceSize_);
            auto data = std::make_unique_for_overwrite<char[]>(capacity);
            if (size_ > 0) std::memcpy(data.get(), data_.get(), size_);
            data_ = std::move(data);
            capacity_ = capacity;
        }
        char* piece = data_.get() + size_;
        const auto delivered = read_(piece, pieceSize_);
        std::size_t n = delivered ? *delivered : 0;
        failed_ = !delivered;
        if (const void* nul = std::memchr(piece, '\0', n)) {
            n = static_cast<std::size_t>(static_cast<const char*>(nul) - piece);
            end_ = true;  // the text ends at its first zero byte
        }
        size_ += n;
        return n > 0;
    }

    ReadPiece read_;
    std::uint64_t lastCrlf_;
    std::size_t pieceSize_;
    std::unique_ptr<char[]> data_;  // the unfinished line and the piece behind it
    std::size_t capacity_ = 0;
    std::size_t size_ = 0;
    std::size_t pos_ = 0;     // start of the bytes not yet cut into lines
    std::uint64_t base_ = 0;  // text offset of data_[0]
    bool end_ = false;        // nothing more will be read
    bool done_ = false;
    bool failed_ = false;
    bool guessed_;
    bool wrongGuess_ = false;
};

// Joins the physical lines that `cutter` delivers into logical lines and
// calls `sink(line, lineState)` for each one in order.
template <typename Cutter, typename Sink>
void assembleLines(Cutter& cutter, Sink&& sink) {
    LineState state;
    std::string_view line;
    std::uint64_t lineNumber = 0;
    while (cutter.next(line)) {
        ++lineNumber;
        if (!state.pending) state.lineNumber = lineNumber;
        feedLine(state, line);
        switch (state.state) {
        case AssemblyState::collecting:
            break;
        case AssemblyState::lineReady:
            sink(line, state);
            break;
        case AssemblyState::pendingReady:
            sink(std::string_view(*state.pending), state);
            state.reset();
            break;
        case AssemblyState::pendingAndLineReady:
            sink(std::string_view(*state.pending), state);
            state.reset();
            state.lineNumber = lineNumber;
            // The line after a folded value starts a logical line of its own,
            // with its own parameters: a TEL line right after a PHOTO must not
            // be BASE64-decoded with the photo's encoding.
            feedLine(state, line);
            if (state.state == AssemblyState::lineReady) {
                sink(line, state);
            } else if (state.state == AssemblyState::pendingReady) {
                sink(std::string_view(*state.pending), state);
                state.reset();
            }
            break;
        }
    }
}

// Cuts `text` (up to its first zero byte) into physical lines, joins them
// into logical lines and calls `sink(line, lineState)` for each one in order.
template <typename Sink>
void assembleLogicalLines(std::string_view text, Sink&& sink) {
    LineCutter cutter(text.substr(0, text.find('\0')));
    assembleLines(cutter, sink);
}

// Parses a text that arrives piece by piece (see StreamLineCutter) into
// `list`. Returns 0, -2 when reading failed, or 1 when `lastCrlf` was
// `guessed` and proved wrong (the list is then incomplete). Throws
// std::bad_alloc when memory runs out.
int parseVcardStream(ReadPiece read, std::uint64_t lastCrlf, ContactList& list, std::size_t pieceSize = 1 << 20,
                     bool guessed = false);

}  // namespace velmora
