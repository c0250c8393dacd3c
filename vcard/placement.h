// Placing TEL and EMAIL values into the eight telephone and three e-mail
// fields of a contact, by the type keywords of the line and by which fields
// are still free. A field, once it holds a value (even an empty one), is
// never overwritten; a value with no free field left is dropped.
#pragma once

#include <span>
#include <string_view>

#include "vcard/contact.h"

namespace velmora {

using Tokens = std::span<const std::string_view>;

void placeTelephone(ContactList& list, ContactRecord& record, Tokens nameTokens, Tokens valueTokens,
                    const LineState& lineState);
void placeEmail(ContactList& list, ContactRecord& record, Tokens nameTokens, Tokens valueTokens,
                const LineState& lineState);

}  // namespace velmora
