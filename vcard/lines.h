// Cutting the source text into physical lines and joining folded lines into
// logical lines: BASE64 values continue on lines that begin with a space,
// QUOTED-PRINTABLE values after a line that ends in "=".
#pragma once

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

}  // namespace velmora
