// The account of what the CSV file leaves out, as the console converter
// prints it: each contact that is not written and why, each written contact
// that lost a line, and the totals per reason, in Japanese with English.
#pragma once

#include <string>

#include "vcard/account.h"
#include "vcard/contact.h"

namespace velmora {

// The account of `list`, read with `account` kept beside it, as UTF-8 lines.
// Contact text is converted from the ANSI code page for the terminal.
std::string describeAccount(const ContactList& list, const Account& account);

}  // namespace velmora
