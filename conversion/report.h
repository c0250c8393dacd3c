// The account of what the CSV file leaves out, as the console converter
// prints it: each contact that is not written and why, each written contact
// that lost a line, and the totals per reason, in Japanese with English.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "vcard/account.h"
#include "vcard/contact.h"

namespace velmora {

// An account as the user reads it, with the two numbers its headings give.
struct AccountReport {
    std::string text;               // UTF-8 lines, each ended by "\n"
    std::size_t notWritten = 0;     // contacts the CSV file does not hold
    std::size_t lostSomething = 0;  // written contacts that lost a line
};

// How the source was read, in the words of the account's first line.
std::string_view readingLabel(SourceReading reading);

// The account of `list`, read with `account` kept beside it. Contact text is
// converted from the ANSI code page for the terminal.
AccountReport describeAccount(const ContactList& list, const Account& account);

}  // namespace velmora
