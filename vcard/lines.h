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

// Finds the physical lines of a text in one forward pass.
class LineCutter {
public:
    explicit LineCutter(std::string_view text) : text_(text), lastCrlf_(text.rfind("\r\n")) {}

    // The next physical line; false once the last line has been returned.
    bool next(std::string_view& line) {
        if (done_) return false;
        const std::size_t start = start_;
        std::size_t end = std::string_view::npos;
        if (lastCrlf_ != std::string_view::npos && lastCrlf_ >= start) {
            // A CR LF follows: the line ends at the first one; bare LF stay inside.
            for (std::size_t from = start;;) {
                const std::size_t lf = find('\n', from);
                if (lf > start && text_[lf - 1] == '\r') {
                    end = lf - 1;
                    start_ = lf + 1;
                    break;
                }
                from = lf + 1;
            }
        } else {
            end = find('\n', start);
            if (end != std::string_view::npos) start_ = end + 1;
        }
        if (end == std::string_view::npos) {
            end = text_.size();
            done_ = true;
        }
        line = text_.substr(start, end - start);
        return true;
    }

private:
    std::size_t find(char c, std::size_t from) const {
        const void* p = std::memchr(text_.data() + from, c, text_.size() - from);
        return p == nullptr ? std::string_view::npos
                            : static_cast<std::size_t>(static_cast<const char*>(p) - text_.data());
    }

    std::string_view text_;
    std::size_t lastCrlf_;
    std::size_t start_ = 0;
    bool done_ = false;
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
