#include "vcard/properties.h"

#include <array>
#include <string>

#include "platform/platform.h"
#include "vcard/account.h"
#include "vcard/decode.h"
#include "vcard/keywords.h"
#include "vcard/placement.h"
#include "vcard/tokens.h"

namespace velmora {
namespace {

// Buffers reused from line to line so that a line costs no allocation.
struct Scratch {
    TokenList value;
    std::string decoded;
    std::string joined;
};

Scratch& scratch() {
    thread_local Scratch s;
    return s;
}

struct Line {
    ContactList& list;
    ContactRecord& record;
    std::string_view nameText;  // the property name and parameters
    std::string_view valueText;
    Tokens value;
    const LineState& state;

    std::string& decode(std::string_view component, std::string& out) const {
        decodeValue(component, state.encoding, state.charset, out);
        return out;
    }
    void store(Field field, std::string_view component) const {
        list.store(record, field, decode(component, scratch().decoded));
    }
    // The record already holds what this line would fill; only an account
    // hears of the line.
    void notUsed() const {
        if (Account* account = list.account()) account->lineLost(Loss::notUsed, state, nameText, valueText);
    }
};

void storeName(const Line& line) {
    if (line.record.has(Field::fullName)) return line.notUsed();
    std::string& joined = scratch().joined;
    joined.clear();
    for (std::size_t i = 0; i < line.value.size(); ++i) {
        joined += line.decode(line.value[i], scratch().decoded);
        // A blank goes before every component written non-empty, except the first.
        if (i + 1 < line.value.size() && !line.value[i + 1].empty()) joined += ' ';
    }
    line.list.store(line.record, Field::fullName, joined);
}

void storeReading(const Line& line) {
    if (line.record.has(Field::readingPrefix)) return line.notUsed();
    std::string_view reading = line.decode(line.value[0], scratch().decoded);
    if (reading.size() > 2) {
        // The CSV column takes the first two bytes: one full-width character
        // or two half-width ones. A half-width character followed by a
        // full-width one keeps the half-width character alone rather than
        // ending in half a character.
        const auto& lead = platform::leadByteTable();
        const bool secondIsLone =
            !lead[static_cast<unsigned char>(reading[0])] && lead[static_cast<unsigned char>(reading[1])];
        reading = reading.substr(0, secondIsLone ? 1 : 2);
    }
    line.list.store(line.record, Field::readingPrefix, reading);
}

void storeBirthday(const Line& line) {
    if (line.record.has(Field::birthday)) return line.notUsed();
    line.list.store(line.record, Field::birthday, formatBirthday(line.decode(line.value[0], scratch().decoded)));
}

void storeOrganisation(const Line& line) {
    if (line.record.has(Field::company)) return line.notUsed();
    if (line.value.size() == 1 || !line.value[0].empty())
        line.store(Field::company, line.value[0]);
    else if (!line.value[1].empty())
        line.store(Field::company, line.value[1]);
}

void storeAddress(const Line& line) {
    static constexpr Field parts[] = {Field::homeStreet, Field::homeCity, Field::homeState, Field::homePostalCode,
                                      Field::homeCountry};
    for (Field field : parts)
        if (line.record.has(field)) return line.notUsed();
    // Post-office box, extended address and street run together as the street.
    std::string& street = scratch().joined;
    street.clear();
    for (std::size_t i = 0; i < 3 && i < line.value.size(); ++i)
        street += line.decode(line.value[i], scratch().decoded);
    line.list.store(line.record, Field::homeStreet, street);
    for (std::size_t i = 3; i < 7 && i < line.value.size(); ++i) line.store(parts[i - 2], line.value[i]);
}

void storeSingle(const Line& line, Field field) {
    if (line.record.has(field)) return line.notUsed();
    line.store(field, line.value[0]);
}

void storeWebPage(const Line& line) {
    storeSingle(line, Field::webPage);
}
void storeNotes(const Line& line) {
    storeSingle(line, Field::notes);
}
// The type keywords of telephone and e-mail lines are looked for in the
// property name and parameters as one text: no keyword holds a ";", so this
// finds exactly what a look at each parameter would, without cutting the
// text at every ";" first.
Tokens typeText(const Line& line) {
    return Tokens(&line.nameText, 1);
}

void storeTelephone(const Line& line) {
    placeTelephone(line.list, line.record, typeText(line), line.value, line.state);
}
void storeEmail(const Line& line) {
    placeEmail(line.list, line.record, typeText(line), line.value, line.state);
}

struct PropertyRule {
    std::string_view name;
    void (*apply)(const Line&);
};

// The properties that fill the record; every other property is ignored.
constexpr PropertyRule propertyRules[] = {
    {"N", storeName},           {"SOUND", storeReading}, {"SORT-STRING", storeReading}, {"BDAY", storeBirthday},
    {"ORG", storeOrganisation}, {"ADR", storeAddress},   {"TEL", storeTelephone},       {"EMAIL", storeEmail},
    {"URL", storeWebPage},      {"NOTE", storeNotes},
};

const PropertyRule* findRule(std::string_view propertyName) {
    for (const PropertyRule& rule : propertyRules)
        if (equalsIgnoreCase(propertyName, rule.name)) return &rule;
    return nullptr;
}

// The first letters, in either case, of the property names that a rule reads
// or that are tested (VERSION). Most lines of a phone's export name other
// properties ("X-DCM-COLOR", "FN", "PHOTO"), and when no account is kept,
// this one look turns nearly all of them away before their name is even cut
// out of the line.
constexpr std::array<bool, 256> kRuleInitials = [] {
    std::array<bool, 256> initials{};
    const auto add = [&](std::string_view name) {
        const auto c = static_cast<unsigned char>(name[0]);
        initials[c] = true;
        initials[c - 'A' + 'a'] = true;
    };
    for (const PropertyRule& rule : propertyRules) add(rule.name);
    add("VERSION");
    return initials;
}();

// Sets the flag and tells an account which line set it.
void markUnsupported(const ContactList& list, ContactRecord& record, UnsupportedBy cause, const LineState& lineState,
                     std::string_view text) {
    record.unsupported = true;
    if (Account* account = list.account()) account->markedUnsupported(cause, lineState.lineNumber, text);
}

// A property that has a column but is written with a group prefix
// ("item1.TEL") is ignored like any unknown one; its value is lost all the
// same, and an account names it. FN names a block that has no N.
void accountForIgnored(Account& account, std::string_view propertyName, std::string_view nameText,
                       std::string_view valueText, const LineState& lineState) {
    if (equalsIgnoreCase(propertyName, "FN")) return account.formattedName(lineState, valueText);
    const std::size_t dot = propertyName.rfind('.');
    if (dot == std::string_view::npos) return;
    const PropertyRule* rule = findRule(propertyName.substr(dot + 1));
    if (rule == nullptr) return;
    const Loss loss = rule->apply == storeTelephone ? Loss::telephoneWithoutColumn
                      : rule->apply == storeEmail   ? Loss::emailWithoutColumn
                                                    : Loss::notUsed;
    account.lineLost(loss, lineState, nameText, valueText);
}

}  // namespace

PropertyLine::PropertyLine(std::string_view line) : text(line) {
    const std::size_t colon = line.find(':');
    hasValue = colon != std::string_view::npos;
    nameText = hasValue ? line.substr(0, colon) : line;
    // A short head is profiled byte by byte; a long one (a folded photo line
    // has no ":") is cheaper to search through each keyword's memchr anchor.
    profile = nameText.size() <= 64 ? profileOf(nameText) : ~TextProfile{0};
}

void processPropertyLine(ContactList& list, std::string_view line, const LineState& lineState) {
    processPropertyLine(list, PropertyLine(line), lineState);
}

void processPropertyLine(ContactList& list, const PropertyLine& line, const LineState& lineState) {
    if (!line.hasValue) return;  // not a property line
    if (equalsIgnoreCase(line.text, "BEGIN:VCARD")) {
        list.addRecord();
        if (Account* account = list.account()) account->blockBegun(lineState.lineNumber);
        return;
    }
    ContactRecord* record = list.current();
    if (equalsIgnoreCase(line.text, "END:VCARD")) {
        if (record != nullptr) record->complete = true;
        return;
    }
    if (record == nullptr || record->complete) return;
    const std::string_view nameText = line.nameText;
    Account* const account = list.account();
    if (account == nullptr && (nameText.empty() || !kRuleInitials[static_cast<unsigned char>(nameText[0])])) return;

    const std::string_view valueText = line.valueText();
    const std::string_view propertyName = nameText.substr(0, findUnescaped(nameText, ';', true));
    if (equalsIgnoreCase(propertyName, "VERSION")) {
        const TextProfile profile = profileOf(valueText);
        if (!containsKeyword(valueText, profile, keywords::version21) &&
            !containsKeyword(valueText, profile, keywords::version30))
            markUnsupported(list, *record, UnsupportedBy::version, lineState, line.text);
        return;
    }
    const PropertyRule* rule = findRule(propertyName);
    if (rule == nullptr) {
        if (account != nullptr) accountForIgnored(*account, propertyName, nameText, valueText, lineState);
        return;
    }

    Scratch& s = scratch();
    splitTokens(valueText, ';', true, s.value);
    const std::size_t textBefore = list.textSize();
    rule->apply(Line{list, *record, nameText, valueText, s.value, lineState});
    if (account != nullptr) account->lineApplied(lineState, nameText, valueText, list.textSize() > textBefore);

    // Checked after the value was stored: a line can keep its value and still
    // mark the whole contact as one the address book could not read.
    // A line handed over as it stood names no charset and no transfer
    // encoding: that is what its state says, so only CHARSET and ENCODING
    // remain to be looked for.
    const bool plain = lineState.state == AssemblyState::lineReady;
    if (line.has(keywords::charset) && (plain || (!line.has(keywords::shiftJis) && !line.has(keywords::utf8))))
        markUnsupported(list, *record, UnsupportedBy::charset, lineState, nameText);
    if (line.has(keywords::encoding) &&
        (plain || (!line.has(keywords::quotedPrintable) && !line.has(keywords::base64))))
        markUnsupported(list, *record, UnsupportedBy::encoding, lineState, nameText);
}

}  // namespace velmora
