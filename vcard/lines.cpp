#include "vcard/lines.h"

#include <cstring>

#include "vcard/properties.h"
#include "vcard/tokens.h"

namespace velmora {

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
    assembleLogicalLines(text, [&list](std::string_view line, const LineState& state) {
        processPropertyLine(list, line, state);
    });
    return Success;
}

}  // namespace velmora
