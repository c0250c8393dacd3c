#include "vcard/lines.h"

#include <cstring>

#include "vcard/properties.h"
#include "vcard/tokens.h"

namespace velmora {
namespace {

constexpr Keyword kShiftJis("SHIFT_JIS");
constexpr Keyword kUtf8("UTF-8");
constexpr Keyword kBase64("BASE64");
constexpr Keyword kQuotedPrintable("QUOTED-PRINTABLE");

}  // namespace

void feedLine(LineState& lineState, std::string_view line) {
    if (!lineState.pending) {
        // The keywords are looked for in the property name and parameters.
        // A short part is profiled once, which rules out most keywords at a
        // glance ("TEL;CELL"); a long one (a folded photo line has no ":")
        // is searched through each keyword's memchr anchor instead.
        const std::string_view parameters = namePart(line);
        const TextProfile profile = parameters.size() <= 64 ? profileOf(parameters) : ~TextProfile{0};
        const auto has = [&](const Keyword& keyword) { return containsKeyword(parameters, profile, keyword); };
        std::int32_t charset = CharsetNone;
        if (has(kShiftJis)) charset = CharsetShiftJis;
        if (has(kUtf8)) charset = CharsetUtf8;
        std::int32_t encoding = EncodingNone;
        if (has(kBase64)) encoding = EncodingBase64;
        if (has(kQuotedPrintable)) encoding = EncodingQuotedPrintable;
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
    assembleLogicalLines(
        text, [&list](std::string_view line, const LineState& state) { processPropertyLine(list, line, state); });
    return Success;
}

int parseVcardStream(ReadPiece read, std::uint64_t lastCrlf, ContactList& list, std::size_t pieceSize, bool guessed) {
    StreamLineCutter cutter(std::move(read), lastCrlf, pieceSize, guessed);
    assembleLines(cutter,
                  [&list](std::string_view line, const LineState& state) { processPropertyLine(list, line, state); });
    if (cutter.failed()) return ReadFailed;
    return cutter.wrongGuess() ? 1 : Success;
}

}  // namespace velmora
