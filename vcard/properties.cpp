#include "vcard/properties.h"

#include <string>

#include "platform/platform.h"
#include "vcard/account.h"
#include "vcard/decode.h"
#include "vcard/placement.h"
#include "vcard/tokens.h"

namespace velmora {
namespace {

// Buffers reused from line to line so that a line costs no allocation.
struct Scratch {
    TokenList name;
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
// Only telephone and e-mail lines look at their parameters one by one.
Tokens nameTokens(const Line& line) {
    splitTokens(line.nameText, ';', true, scratch().name);
    return scratch().name;
}

void storeTelephone(const Line& line) {
    placeTelephone(line.list, line.record, nameTokens(line), line.value, line.state);
}
void storeEmail(const Line& line) {
    placeEmail(line.list, line.record, nameTokens(line), line.value, line.state);
}

constexpr Keyword kVersion21("2.1");
constexpr Keyword kVersion30("3.0");
constexpr Keyword kCharset("CHARSET");
constexpr Keyword kShiftJis("SHIFT_JIS");
constexpr Keyword kUtf8("UTF-8");
constexpr Keyword kEncoding("ENCODING");
constexpr Keyword kQuotedPrintable("QUOTED-PRINTABLE");
constexpr Keyword kBase64("BASE64");

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

int processPropertyLine(ContactList& list, std::string_view line, const LineState& lineState) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return 0;  // not a property line
    const std::string_view nameText = line.substr(0, colon);
    const std::string_view valueText = line.substr(colon + 1);

    if (equalsIgnoreCase(line, "BEGIN:VCARD")) {
        list.addRecord();
        if (Account* account = list.account()) account->blockBegun(lineState.lineNumber);
        return 0;
    }
    ContactRecord* record = list.current();
    if (equalsIgnoreCase(line, "END:VCARD")) {
        if (record != nullptr) record->complete = true;
        return 0;
    }
    if (record == nullptr || record->complete) return 0;

    const std::string_view propertyName = nameText.substr(0, findUnescaped(nameText, ';', true));
    if (equalsIgnoreCase(propertyName, "VERSION")) {
        const TextProfile profile = profileOf(valueText);
        if (!containsKeyword(valueText, profile, kVersion21) && !containsKeyword(valueText, profile, kVersion30))
            markUnsupported(list, *record, UnsupportedBy::version, lineState, line);
        return 0;
    }
    Account* const account = list.account();
    const PropertyRule* rule = findRule(propertyName);
    if (rule == nullptr) {
        if (account != nullptr) accountForIgnored(*account, propertyName, nameText, valueText, lineState);
        return 0;
    }

    Scratch& s = scratch();
    splitTokens(valueText, ';', true, s.value);
    const std::size_t textBefore = list.textSize();
    rule->apply(Line{list, *record, nameText, valueText, s.value, lineState});
    if (account != nullptr) account->lineApplied(lineState, nameText, valueText, list.textSize() > textBefore);

    // Checked after the value was stored: a line can keep its value and still
    // mark the whole contact as one the address book could not read.
    const TextProfile profile = profileOf(nameText);
    const auto has = [&](const Keyword& keyword) { return containsKeyword(nameText, profile, keyword); };
    // A line handed over as it stood names no charset and no transfer
    // encoding: that is what its state says, so only CHARSET and ENCODING
    // remain to be looked for.
    const bool plain = lineState.state == AssemblyState::lineReady;
    if (has(kCharset) && (plain || (!has(kShiftJis) && !has(kUtf8))))
        markUnsupported(list, *record, UnsupportedBy::charset, lineState, nameText);
    if (has(kEncoding) && (plain || (!has(kQuotedPrintable) && !has(kBase64))))
        markUnsupported(list, *record, UnsupportedBy::encoding, lineState, nameText);
    return 0;
}

}  // namespace velmora
