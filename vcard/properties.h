// Applying one complete logical line to the contact list: BEGIN:VCARD opens a
// record, END:VCARD completes it, and the properties the CSV file has columns
// for are decoded into the open record.
#pragma once

#include <string_view>

#include "vcard/contact.h"
#include "vcard/tokens.h"

namespace velmora {

// A logical line with its head looked at once: line assembly asks its
// parameters for a charset and a transfer encoding, and the property mapping
// asks the same parameters again, so the ":" is found and the keyword letters
// of the head are profiled (see TextProfile) only once.
struct PropertyLine {
    explicit PropertyLine(std::string_view line);

    // Whether `keyword` occurs in the property name and parameters. Most
    // keywords are ruled out by the profile alone, here without a call.
    bool has(const Keyword& keyword) const {
        return keyword.mayOccurIn(profile) && containsKeyword(nameText, profile, keyword);
    }
    std::string_view valueText() const { return hasValue ? text.substr(nameText.size() + 1) : std::string_view(); }

    // The same head on a line that begins with it: `copy` holds this line's
    // head and ":" at its start.
    PropertyLine movedTo(std::string_view copy) const {
        PropertyLine moved = *this;
        moved.text = copy;
        moved.nameText = copy.substr(0, nameText.size());
        return moved;
    }

    std::string_view text;      // the whole line
    std::string_view nameText;  // the property name and parameters: before the first ":", the whole line without one
    bool hasValue;              // the line holds a ":"
    TextProfile profile;        // of nameText; every bit for a long one, which has only its memchr anchors searched
};

// Applies `line` with the charset and transfer encoding of `lineState`.
// Nothing in a line is an error. Throws std::bad_alloc when memory runs out.
void processPropertyLine(ContactList& list, std::string_view line, const LineState& lineState);
void processPropertyLine(ContactList& list, const PropertyLine& line, const LineState& lineState);

}  // namespace velmora
