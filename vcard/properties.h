// Applying one complete logical line to the contact list: BEGIN:VCARD opens a
// record, END:VCARD completes it, and the properties the CSV file has columns
// for are decoded into the open record.
#pragma once

#include <string_view>

#include "vcard/contact.h"

namespace velmora {

// Applies `line` with the charset and transfer encoding of `lineState`.
// Nothing in a line is an error. Throws std::bad_alloc when memory runs out.
void processPropertyLine(ContactList& list, std::string_view line, const LineState& lineState);

}  // namespace velmora
