// Cutting the source text into physical lines and joining folded lines into
// logical lines: BASE64 values continue on lines that begin with a space,
// QUOTED-PRINTABLE values after a line that ends in "=".
#pragma once

#include <cstring>
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

// Cuts `text` (up to its first zero byte) into physical lines, joins them
// into logical lines and calls `sink(line, lineState)` for each one in order.
template <typename Sink>
void assembleLogicalLines(std::string_view text, Sink&& sink) {
    text = text.substr(0, text.find('\0'));
    LineState state;
    LineCutter cutter(text);
    std::string_view line;
    while (cutter.next(line)) {
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

}  // namespace velmora
