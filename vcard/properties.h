// Applying logical lines to the contact list: BEGIN:VCARD opens a record,
// END:VCARD completes it, and the properties the CSV file has columns for are
// decoded into the open record.
#pragma once

#include "vcard/assembly.h"
#include "vcard/contact.h"
#include "vcard/decode.h"
#include "vcard/tokens.h"

namespace velmora {

// What holds for the rest of the block being read.
struct BlockState {
    Escapes escapes = Escapes::kept;  // a VERSION line named 3.0: values carry its escapes
    bool readingIsPhonetic = false;   // classic: the reading came from X-PHONETIC-LAST-NAME, not SOUND
    // The full layout's:
    bool nameGiven = false;             // the first N line has a component written non-empty
    bool soundSeen = false;             // the first SOUND or SORT-STRING line was read
    bool lastReadingPhonetic = false;   // 姓フリガナ came from X-PHONETIC-LAST-NAME
    bool firstReadingPhonetic = false;  // 名前フリガナ came from X-PHONETIC-FIRST-NAME
    TextRef formattedName;              // the first FN line used, for a contact named by no N
};

class PropertyRules;

class RecordBuilder {
public:
    // Fills the records for the list's layout.
    explicit RecordBuilder(ContactList& list);

    // Applies one logical line to the list. Nothing in a line is an error.
    // Throws std::bad_alloc when memory runs out.
    void apply(const LogicalLine& line);

private:
    // A block's END:VCARD: the full layout names a contact by its FN when
    // its N gives no name.
    void complete(ContactRecord& record);

    ContactList& list_;
    const PropertyRules& rules_;
    BlockState block_;
    // Buffers kept from line to line, so that a line costs no allocation.
    TokenList value_;
    ValueDecoder decoder_;
    ValueDecoder accountDecoder_;  // whole values, decoded for an account
    std::string joined_;
};

}  // namespace velmora
