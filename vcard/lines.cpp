#include "vcard/lines.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "vcard/keywords.h"
#include "vcard/properties.h"
#include "vcard/tokens.h"

namespace velmora {

void LastCrlfFinder::add(std::string_view piece) {
    if (piece.empty()) return;
    // A CR LF may straddle two pieces.
    if (previousEndsInCr_ && piece[0] == '\n') last_ = next_ - 1;
    // A piece without any CR, as every piece of a text with LF line ends
    // is, is passed over with one memchr instead of a search backwards.
    if (std::memchr(piece.data(), '\r', piece.size()) != nullptr) {
        const std::size_t at = piece.rfind("\r\n");
        if (at != std::string_view::npos) last_ = next_ + at;
    }
    previousEndsInCr_ = piece.back() == '\r';
    next_ += piece.size();
}

LineCutter::LineCutter(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    LastCrlfFinder finder;
    finder.add(text);
    lastCrlf_ = finder.offset().value_or(kNoCrlf);
    data_ = text.data();
    size_ = text.size();
    end_ = true;
}

LineCutter::LineCutter(ReadPiece read, std::optional<std::uint64_t> lastCrlf, std::size_t pieceSize,
                       LastCrlfIs lastCrlfIs)
    : read_(std::move(read)),
      pieceSize_(std::max<std::size_t>(pieceSize, 1)),
      lastCrlf_(lastCrlf.value_or(kNoCrlf)),
      guessed_(lastCrlfIs == LastCrlfIs::guessed) {}

bool LineCutter::next(std::string_view& line) {
    if (done_) return false;
    std::size_t from = pos_;  // where the search for the line end goes on
    for (;;) {
        const void* hit = from < size_ ? std::memchr(data_ + from, '\n', size_ - from) : nullptr;
        if (hit != nullptr) {
            const std::size_t lf = static_cast<std::size_t>(static_cast<const char*>(hit) - data_);
            const bool crlf = lf > pos_ && data_[lf - 1] == '\r';
            if (crlf && guessed_ && (lastCrlf_ == kNoCrlf || base_ + lf - 1 > lastCrlf_)) return stopWrong();
            // A bare LF ends the line only when no CR LF follows it.
            if (crlf || lastCrlf_ == kNoCrlf || lastCrlf_ < base_ + lf) {
                line = std::string_view(data_ + pos_, (crlf ? lf - 1 : lf) - pos_);
                pos_ = lf + 1;
                return true;
            }
            from = lf + 1;  // the LF stays inside the line
            continue;
        }
        if (end_) {
            line = std::string_view(data_ + pos_, size_ - pos_);
            done_ = true;
            return true;
        }
        from -= pos_;
        if (!fill()) {
            if (result_ == CutResult::readFailed) {
                done_ = true;
                return false;
            }
            end_ = true;
        }
        // The text ends before the guessed last CR LF: it was not the last one.
        if (end_ && guessed_ && lastCrlf_ != kNoCrlf && lastCrlf_ + 1 >= base_ + size_) return stopWrong();
    }
}

bool LineCutter::stopWrong() {
    result_ = CutResult::wrongGuess;
    done_ = true;
    return false;
}

// Keeps the unfinished line at the front and appends the next piece behind
// it; false at the end of the text or when reading failed.
bool LineCutter::fill() {
    char* data = storage_.get();
    if (pos_ > 0) std::memmove(data, data + pos_, size_ - pos_);
    size_ -= pos_;
    base_ += pos_;
    pos_ = 0;
    if (capacity_ - size_ < pieceSize_) {
        // Room for one more piece behind the unfinished line, which only a
        // line longer than a piece makes grow.
        const std::size_t capacity = std::max(capacity_ * 2, size_ + pieceSize_);
        auto grown = std::make_unique_for_overwrite<char[]>(capacity);
        if (size_ > 0) std::memcpy(grown.get(), data, size_);
        storage_ = std::move(grown);
        capacity_ = capacity;
        data = storage_.get();
    }
    data_ = data;
    char* piece = data + size_;
    const auto delivered = read_(piece, pieceSize_);
    if (!delivered) {
        result_ = CutResult::readFailed;
        return false;
    }
    std::size_t n = *delivered;
    if (const void* nul = std::memchr(piece, '\0', n)) {
        n = static_cast<std::size_t>(static_cast<const char*>(nul) - piece);
        end_ = true;  // the text ends at its first zero byte
    }
    size_ += n;
    return n > 0;
}

namespace {

// Takes one more physical line into the logical line under way, by the
// transfer encoding its first line named.
void continueLine(LineState& lineState, std::string_view line) {
    std::string& pending = lineState.pending;
    const bool first = !lineState.hasPending;
    lineState.hasPending = true;
    switch (lineState.encoding) {
    case TransferEncoding::base64:
        if (first)
            pending.assign(line);
        else if (!line.empty() && line[0] == ' ')
            pending.append(line.substr(1));
        else
            lineState.state = AssemblyState::pendingAndLineReady;
        break;
    case TransferEncoding::quotedPrintable:
        // A contact's END:VCARD is never taken into an unfinished value:
        // "NOTE;ENCODING=QUOTED-PRINTABLE:abc=" right before END:VCARD would
        // otherwise swallow the end of the contact and lose it.
        if (!first && equalsIgnoreCase(line, "END:VCARD")) {
            lineState.state = AssemblyState::pendingAndLineReady;
            break;
        }
        if (first) pending.clear();
        if (!line.empty() && line.back() == '=') {
            pending.append(line.substr(0, line.size() - 1));
        } else {
            pending.append(line);
            lineState.state = AssemblyState::pendingReady;
        }
        break;
    case TransferEncoding::none:
        pending.assign(line);
        lineState.state = AssemblyState::pendingReady;
        break;
    }
}

// The first physical line of a logical line: the charset and transfer
// encoding that its property name and parameters name decide how the logical
// line is assembled.
void beginLine(LineState& lineState, const PropertyLine& line) {
    Charset charset = Charset::none;
    if (line.has(keywords::shiftJis)) charset = Charset::shiftJis;
    if (line.has(keywords::utf8)) charset = Charset::utf8;
    TransferEncoding encoding = TransferEncoding::none;
    if (line.has(keywords::base64)) encoding = TransferEncoding::base64;
    if (line.has(keywords::quotedPrintable)) encoding = TransferEncoding::quotedPrintable;
    if (charset == Charset::none && encoding == TransferEncoding::none) {
        lineState.state = AssemblyState::lineReady;
        return;
    }
    lineState.state = AssemblyState::collecting;
    lineState.charset = charset;
    lineState.encoding = encoding;
    continueLine(lineState, line.text);
}

// assembleLogicalLines for any sink of PropertyLines.
template <typename Sink>
void assemble(LineCutter& cutter, Sink&& sink) {
    LineState state;
    // The head of the physical line that began the logical line under way.
    // Whenever that line holds a ":", the logical line has the same head
    // (joining only adds to the value), which is then not looked at again.
    PropertyLine first{std::string_view()};
    const auto handOver = [&] {
        sink(first.hasValue ? first.movedTo(state.pending) : PropertyLine(state.pending), state);
        state.reset();
    };
    // Begins a logical line and hands it over at once when it is complete.
    std::uint64_t lineNumber = 0;  // of the physical line last cut
    const auto begin = [&](std::string_view text) {
        state.lineNumber = lineNumber;
        first = PropertyLine(text);
        beginLine(state, first);
        if (state.state == AssemblyState::lineReady)
            sink(first, state);
        else if (state.state == AssemblyState::pendingReady)
            handOver();
    };
    std::string_view text;
    while (cutter.next(text)) {
        ++lineNumber;
        if (!state.hasPending) {
            begin(text);
            continue;
        }
        continueLine(state, text);
        if (state.state == AssemblyState::pendingReady) {
            handOver();
        } else if (state.state == AssemblyState::pendingAndLineReady) {
            handOver();
            // The line after a folded value starts a logical line of its own,
            // with its own parameters: a TEL line right after a PHOTO must not
            // be BASE64-decoded with the photo's encoding.
            begin(text);
        }
    }
}

// Applies every logical line that `cutter`'s lines make up to `list`.
void parseLines(LineCutter& cutter, ContactList& list) {
    assemble(cutter,
             [&list](const PropertyLine& line, const LineState& state) { processPropertyLine(list, line, state); });
}

}  // namespace

void feedLine(LineState& lineState, std::string_view line) {
    if (lineState.hasPending)
        continueLine(lineState, line);
    else
        beginLine(lineState, PropertyLine(line));
}

void assembleLogicalLines(LineCutter& cutter, const LineSink& sink) {
    assemble(cutter, [&sink](const PropertyLine& line, const LineState& state) { sink(line.text, state); });
}

void parseVcardText(std::string_view text, ContactList& list) {
    LineCutter cutter(text);
    parseLines(cutter, list);
}

CutResult parseVcardStream(ReadPiece read, std::optional<std::uint64_t> lastCrlf, ContactList& list,
                           std::size_t pieceSize, LastCrlfIs lastCrlfIs) {
    LineCutter cutter(std::move(read), lastCrlf, pieceSize, lastCrlfIs);
    parseLines(cutter, list);
    return cutter.result();
}

}  // namespace velmora
