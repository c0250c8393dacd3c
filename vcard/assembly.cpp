#include "vcard/assembly.h"

#include "vcard/keywords.h"

namespace velmora {

LineAssembler::LineAssembler(LineCutter& lines, SourceReading reading)
    : lines_(lines), sourceText_(isUtf8(reading) ? TextEncoding::utf8 : TextEncoding::codePage) {}

const LogicalLine* LineAssembler::next() {
    for (;;) {
        std::string_view text;
        if (held_) {
            text = *held_;
            held_.reset();
        } else if (const std::optional<std::string_view> line = lines_.next()) {
            text = *line;
            ++physical_;
        } else {
            return nullptr;
        }
        if (!hasPending_) {
            begin(text);
        } else {
            collect(text);
            // The line after a folded value starts a logical line of its own,
            // with its own parameters: a TEL line right after a PHOTO must not
            // be BASE64-decoded with the photo's encoding.
            if (state_ == State::pendingAndLineReady) held_ = text;
        }
        switch (state_) {
        case State::collecting:
            continue;
        case State::lineReady:
            return &line_;
        case State::pendingReady:
        case State::pendingAndLineReady:
            // The head of the logical line is the head of its first physical
            // line whenever that one holds a ":", since joining only adds to
            // the value; only a line without one is looked at again.
            if (line_.hasValue) {
                line_.text = pending_;
                line_.head = SearchableText(line_.name(), line_.head);
            } else {
                const std::size_t colon = pending_.find(':');
                line_.hasValue = colon != std::string::npos;
                line_.nameLength = line_.hasValue ? colon : pending_.size();
                line_.text = pending_;
                line_.head = SearchableText(line_.name());
            }
            hasPending_ = false;
            state_ = State::collecting;
            return &line_;
        }
    }
}

// The first physical line of a logical line: the charset and transfer
// encoding that its property name and parameters name decide how the logical
// line is assembled.
void LineAssembler::begin(std::string_view text) {
    LogicalLine& line = line_;
    line.text = text;
    const std::size_t colon = text.find(':');
    line.hasValue = colon != std::string_view::npos;
    line.nameLength = line.hasValue ? colon : text.size();
    line.head = SearchableText(line.name());
    line.number = physical_;
    TransferEncoding encoding = TransferEncoding::none;
    if (line.names(keywords::base64)) encoding = TransferEncoding::base64;
    if (line.names(keywords::quotedPrintable)) encoding = TransferEncoding::quotedPrintable;
    // A line without ":" is no property line and is passed over, unless it
    // begins a folded value (the lines of a folded photo that its parameters
    // do not announce as BASE64, "PHOTO;ENCODING=b", are such lines); the
    // charset it names changes nothing then.
    Charset charset = Charset::none;
    if (line.hasValue || encoding != TransferEncoding::none) {
        if (line.names(keywords::shiftJis)) charset = Charset::shiftJis;
        if (line.names(keywords::utf8)) charset = Charset::utf8;
    }
    const TextEncoding textEncoding = charset == Charset::utf8   ? TextEncoding::utf8
                                      : charset == Charset::none ? sourceText_
                                                                 : TextEncoding::codePage;
    line.coding = LineCoding{encoding, textEncoding, Escapes::kept, charset};
    if (charset == Charset::none && encoding == TransferEncoding::none) {
        state_ = State::lineReady;
        return;
    }
    state_ = State::collecting;
    collect(text);
}

// Takes one more physical line into the logical line under way, by the
// transfer encoding its first line named.
void LineAssembler::collect(std::string_view text) {
    const bool first = !hasPending_;
    hasPending_ = true;
    switch (line_.coding.transfer) {
    case TransferEncoding::base64:
        if (first)
            pending_.assign(text);
        else if (!text.empty() && text[0] == ' ')
            pending_.append(text.substr(1));
        else
            state_ = State::pendingAndLineReady;
        break;
    case TransferEncoding::quotedPrintable:
        // A contact's END:VCARD is never taken into an unfinished value:
        // "NOTE;ENCODING=QUOTED-PRINTABLE:abc=" right before END:VCARD would
        // otherwise swallow the end of the contact and lose it.
        if (!first && equalsIgnoreCase(text, "END:VCARD")) {
            state_ = State::pendingAndLineReady;
            break;
        }
        if (first) pending_.clear();
        if (!text.empty() && text.back() == '=') {
            pending_.append(text.substr(0, text.size() - 1));
        } else {
            pending_.append(text);
            state_ = State::pendingReady;
        }
        break;
    case TransferEncoding::none:
        pending_.assign(text);
        state_ = State::pendingReady;
        break;
    }
}

}  // namespace velmora
