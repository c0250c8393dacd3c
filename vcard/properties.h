// Applying logical lines to the contact list: BEGIN:VCARD opens a record,
// END:VCARD completes it, and the properties the CSV file has columns for are
// decoded into the open record.
#pragma once

#include "vcard/assembly.h"
#include "vcard/contact.h"
#include "vcard/decode.h"
#include "vcard/tokens.h"

namespace velmora {

class RecordBuilder {
public:
    explicit RecordBuilder(ContactList& list) : list_(list) {}

    // Applies one logical line to the list. Nothing in a line is an error.
    // Throws std::bad_alloc when memory runs out.
    void apply(const LogicalLine& line);

private:
    ContactList& list_;
    // What holds for the rest of the block being read.
    bool unescape_ = false;           // a VERSION line named 3.0: values carry its escapes
    bool readingIsPhonetic_ = false;  // the reading came from X-PHONETIC-LAST-NAME, not SOUND
    // Buffers kept from line to line, so that a line costs no allocation.
    TokenList value_;
    ValueDecoder decoder_;
    std::string joined_;
};

}  // namespace velmora
