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

void placeTelephone(ContactList& list, ContactRecord* record, Tokens nameTokens, Tokens valueTokens,
                    const LineState& lineState);
void placeEmail(ContactList& list, ContactRecord* record, Tokens nameTokens, Tokens valueTokens,
                const LineState& lineState);

// True when `keyword` is present among the name tokens and none of the other
// telephone (e-mail) type keywords is.
bool onlyTelType(Tokens nameTokens, std::string_view keyword);
bool onlyEmailType(Tokens nameTokens, std::string_view keyword);

}  // namespace velmora
