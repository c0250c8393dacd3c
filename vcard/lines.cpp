#include "vcard/lines.h"

#include <cstring>

#include "vcard/properties.h"
#include "vcard/tokens.h"

namespace velmora {
namespace {

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

}  // namespace

void feedLine(LineState& lineState, std::string_view line) {
    if (!lineState.pending) {
        thread_local TokenList nameTokens;
        splitTokens(namePart(line), ';', true, nameTokens);
        std::int32_t charset = CharsetNone;
        if (hasParam("SHIFT_JIS", nameTokens)) charset = CharsetShiftJis;
        if (hasParam("UTF-8", nameTokens)) charset = CharsetUtf8;
        std::int32_t encoding = EncodingNone;
        if (hasParam("BASE64", nameTokens)) encoding = EncodingBase64;
        if (hasParam("QUOTED-PRINTABLE", nameTokens)) encoding = EncodingQuotedPrintable;
        if (charset == CharsetNone && encoding == EncodingNone) {
            lineState.state = AssemblyState::lineReady;
            return;
        }
        lineState.state = AssemblyState::collecting;
        lineState.charset = charset;
        lineState.encoding = encoding;
    }

    std::optional<std::string>& pending = lineState.pending;
    switch (lineState.encoding) {
    case EncodingBase64:
        if (!pending)
            pending.emplace(line);
        else if (!line.empty() && line[0] == ' ')
            pending->append(line.substr(1));
        else
            lineState.state = AssemblyState::pendingAndLineReady;
        break;
    case EncodingQuotedPrintable:
        // A contact's END:VCARD is never taken into an unfinished value:
        // "NOTE;ENCODING=QUOTED-PRINTABLE:abc=" right before END:VCARD would
        // otherwise swallow the end of the contact and lose it.
        if (pending && equalsIgnoreCase(line, "END:VCARD")) {
            lineState.state = AssemblyState::pendingAndLineReady;
            break;
        }
        if (!pending) pending.emplace();
        if (!line.empty() && line.back() == '=') {
            pending->append(line.substr(0, line.size() - 1));
        } else {
            pending->append(line);
            lineState.state = AssemblyState::pendingReady;
        }
        break;
    default:
        pending.emplace(line);
        lineState.state = AssemblyState::pendingReady;
        break;
    }
}

int parseVcardText(std::string_view text, ContactList& list) {
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
            processPropertyLine(list, line, state);
            break;
        case AssemblyState::pendingReady:
            processPropertyLine(list, *state.pending, state);
            state.reset();
            break;
        case AssemblyState::pendingAndLineReady:
            processPropertyLine(list, *state.pending, state);
            state.reset();
            // The line after a folded value starts a logical line of its own,
            // with its own parameters: a TEL line right after a PHOTO must not
            // be BASE64-decoded with the photo's encoding.
            feedLine(state, line);
            if (state.state == AssemblyState::lineReady) {
                processPropertyLine(list, line, state);
            } else if (state.state == AssemblyState::pendingReady) {
                processPropertyLine(list, *state.pending, state);
                state.reset();
            }
            break;
        }
    }
    return Success;
}

}  // namespace velmora
