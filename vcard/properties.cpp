#include "vcard/properties.h"

#include <array>
#include <bit>
#include <cstdint>
#include <iterator>
#include <string>

#include "platform/platform.h"
#include "vcard/account.h"
#include "vcard/keywords.h"
#include "vcard/placement.h"

namespace velmora {
namespace {

// One line under way: what the rules below read and store.
struct Line {
    ContactList& list;
    ContactRecord& record;
    const LogicalLine& line;
    const TokenList& value;
    ValueCoding coding;
    ValueDecoder& decoder;
    std::string& joined;      // room to join components in
    bool& readingIsPhonetic;  // of the block

    std::string_view decode(std::string_view component) const { return decoder.decode(component, coding); }
    void store(Field field, std::string_view text) const { list.store(record, field, text); }
    void storeDecoded(Field field, std::string_view component) const { store(field, decode(component)); }
    // The record already holds what this line would fill; only an account
    // hears of the line.
    void lost(Loss loss) const {
        if (Account* account = list.account()) account->lineLost(loss, line, coding);
    }
};

void storeName(const Line& line) {
    if (line.record.has(Field::fullName)) return line.lost(Loss::notUsed);
    std::string& joined = line.joined;
    joined.clear();
    for (std::size_t i = 0; i < line.value.size(); ++i) {
        joined += line.decode(line.value[i]);
        // A blank goes before every component written non-empty, except the first.
        if (i + 1 < line.value.size() && !line.value[i + 1].empty()) joined += ' ';
    }
    line.store(Field::fullName, joined);
}

// The CSV column takes the first two bytes of a reading: one full-width
// character or two half-width ones. A half-width character followed by a
// full-width one keeps the half-width character alone rather than ending in
// half a character.
void storeReadingOf(const Line& line) {
    std::string_view reading = line.decode(line.value[0]);
    if (reading.size() > 2) {
        const auto& lead = platform::leadByteTable();
        const bool secondIsLone =
            !lead[static_cast<unsigned char>(reading[0])] && lead[static_cast<unsigned char>(reading[1])];
        reading = reading.substr(0, secondIsLone ? 1 : 2);
    }
    line.store(Field::readingPrefix, reading);
}

// SOUND and SORT-STRING: the first one of a block wins, over a reading taken
// from X-PHONETIC-LAST-NAME as well.
void storeReading(const Line& line) {
    bool& phonetic = line.readingIsPhonetic;
    if (line.record.has(Field::readingPrefix) && !phonetic) return line.lost(Loss::notUsed);
    phonetic = false;
    storeReadingOf(line);
}

// The family-name reading that smartphones write in place of SOUND.
void storePhoneticReading(const Line& line) {
    if (line.record.has(Field::readingPrefix)) return;
    line.readingIsPhonetic = true;
    storeReadingOf(line);
}

void storeBirthday(const Line& line) {
    if (line.record.has(Field::birthday)) return line.lost(Loss::notUsed);
    line.store(Field::birthday, formatBirthday(line.decode(line.value[0])));
}

void storeOrganisation(const Line& line) {
    if (line.record.has(Field::company)) return line.lost(Loss::notUsed);
    if (line.value.size() == 1 || !line.value[0].empty())
        line.storeDecoded(Field::company, line.value[0]);
    else if (!line.value[1].empty())
        line.storeDecoded(Field::company, line.value[1]);
}

void storeAddress(const Line& line) {
    static constexpr Field parts[] = {Field::homeStreet, Field::homeCity, Field::homeState, Field::homePostalCode,
                                      Field::homeCountry};
    for (Field field : parts)
        if (line.record.has(field)) return line.lost(Loss::notUsed);
    // Post-office box, extended address and street run together as the street.
    std::string& street = line.joined;
    street.clear();
    for (std::size_t i = 0; i < 3 && i < line.value.size(); ++i) street += line.decode(line.value[i]);
    line.store(Field::homeStreet, street);
    for (std::size_t i = 3; i < 7 && i < line.value.size(); ++i) line.storeDecoded(parts[i - 2], line.value[i]);
}

void storeSingle(const Line& line, Field field) {
    if (line.record.has(field)) return line.lost(Loss::notUsed);
    line.storeDecoded(field, line.value[0]);
}

void storeWebPage(const Line& line) {
    storeSingle(line, Field::webPage);
}
void storeNotes(const Line& line) {
    storeSingle(line, Field::notes);
}

// Telephone and e-mail lines choose their field by the type keywords in
// their property name and parameters.
void storeTelephone(const Line& line) {
    const std::optional<Field> field = telephoneField(line.record, line.line.name());
    if (!field) return line.lost(Loss::telephoneWithoutColumn);
    line.storeDecoded(*field, line.value[0]);
}
void storeEmail(const Line& line) {
    const std::optional<Field> field = emailField(line.record, line.line.name());
    if (!field) return line.lost(Loss::emailWithoutColumn);
    line.storeDecoded(*field, line.value[0]);
}

struct PropertyRule {
    Keyword name;
    void (*apply)(const Line&);
    // Whether a CHARSET or ENCODING the address book cannot read makes the
    // contact unsupported. The reading of X-PHONETIC-LAST-NAME is only a
    // stand-in and never does.
    bool judgesParameters = true;
};

// The properties that fill the record; every other property is ignored.
constexpr PropertyRule propertyRules[] = {
    {Keyword("N"), storeName},
    {Keyword("SOUND"), storeReading},
    {Keyword("SORT-STRING"), storeReading},
    {Keyword("X-PHONETIC-LAST-NAME"), storePhoneticReading, false},
    {Keyword("BDAY"), storeBirthday},
    {Keyword("ORG"), storeOrganisation},
    {Keyword("ADR"), storeAddress},
    {Keyword("TEL"), storeTelephone},
    {Keyword("EMAIL"), storeEmail},
    {Keyword("URL"), storeWebPage},
    {Keyword("NOTE"), storeNotes},
};

// Most lines of a phone's export name properties without a rule
// ("X-DCM-COLOR", "PHOTO"). A line whose name part holds no "." has no group
// prefix, so its property name begins the line: when no rule's name (nor
// VERSION) begins with that letter and may occur in the name part, the line
// is passed over before its name is even cut out. Books full of such lines
// read up to a tenth faster (7 to 10 percent on a carrier's 100 MB books).
bool mayNameRule(const LogicalLine& line) {
    static constexpr Keyword dot("."), version("VERSION");
    constexpr std::size_t versionBit = std::size(propertyRules);
    // For each byte, the rules whose name begins with it in either case, bit
    // i for rule i and one more bit for VERSION.
    static constexpr auto byInitial = [] {
        std::array<std::uint32_t, 256> rules{};
        const auto add = [&](std::string_view name, std::size_t bit) {
            const auto first = static_cast<unsigned char>(name[0]);
            rules[first] |= std::uint32_t{1} << bit;
            rules[first | 0x20] |= std::uint32_t{1} << bit;
        };
        for (std::size_t i = 0; i < std::size(propertyRules); ++i) add(propertyRules[i].name.text(), i);
        add(version.text(), versionBit);
        return rules;
    }();
    if (line.text.empty() || line.head.mayContain(dot)) return true;
    for (std::uint32_t rules = byInitial[static_cast<unsigned char>(line.text[0])]; rules != 0; rules &= rules - 1) {
        const auto bit = static_cast<std::size_t>(std::countr_zero(rules));
        if (line.head.mayContain(bit == versionBit ? version : propertyRules[bit].name)) return true;
    }
    return false;
}

const PropertyRule* findRule(std::string_view propertyName) {
    for (const PropertyRule& rule : propertyRules)
        if (equalsIgnoreCase(propertyName, rule.name.text())) return &rule;
    return nullptr;
}

// Sets the flag and tells an account which line set it.
void markUnsupported(const ContactList& list, ContactRecord& record, UnsupportedBy cause, const LogicalLine& line,
                     std::string_view text) {
    record.unsupported = true;
    if (Account* account = list.account()) account->markedUnsupported(cause, line.number, text);
}

}  // namespace

void RecordBuilder::apply(const LogicalLine& line) {
    if (!line.hasValue) return;  // not a property line
    if (equalsIgnoreCase(line.text, "BEGIN:VCARD")) {
        list_.addRecord();
        unescape_ = false;
        readingIsPhonetic_ = false;
        if (Account* account = list_.account()) account->blockBegun(line.number);
        return;
    }
    ContactRecord* record = list_.current();
    if (equalsIgnoreCase(line.text, "END:VCARD")) {
        if (record != nullptr) record->complete = true;
        return;
    }
    if (record == nullptr || record->complete) return;
    // An account hears of FN lines, which have no rule.
    Account* const account = list_.account();
    if (account == nullptr && !mayNameRule(line)) return;

    const std::string_view nameText = line.name();
    const std::string_view valueText = line.value();
    const std::string_view written = nameText.substr(0, findUnescaped(nameText, ';', line.textEncoding));
    if (equalsIgnoreCase(written, "VERSION")) {
        const SearchableText value(valueText);
        const bool version30 = value.contains(keywords::version30);
        if (!version30 && !value.contains(keywords::version21))
            markUnsupported(list_, *record, UnsupportedBy::version, line, line.text);
        unescape_ = unescape_ || version30;
        return;
    }
    // A group prefix only labels the line ("item1.ADR" is ADR).
    const std::size_t dot = written.rfind('.');
    const std::string_view propertyName = dot == std::string_view::npos ? written : written.substr(dot + 1);
    const PropertyRule* rule = findRule(propertyName);
    if (rule == nullptr) {
        // FN names a block that has no N in an account.
        if (account != nullptr && equalsIgnoreCase(propertyName, "FN"))
            account->formattedName(line, ValueCoding{line.encoding, line.textEncoding, unescape_});
        return;
    }

    splitTokens(valueText, ';', line.textEncoding, value_);
    const std::size_t textBefore = list_.textSize();
    const Line applied{
        list_,   *record,           line, value_, ValueCoding{line.encoding, line.textEncoding, unescape_}, decoder_,
        joined_, readingIsPhonetic_};
    rule->apply(applied);
    if (account != nullptr) account->lineApplied(line, applied.coding, list_.textSize() > textBefore);
    if (!rule->judgesParameters) return;

    // Checked after the value was stored: a line can keep its value and still
    // mark the whole contact as one the address book could not read. A line
    // that names no charset and no transfer encoding has only CHARSET and
    // ENCODING left to look for.
    const bool plain = line.charset == Charset::none && line.encoding == TransferEncoding::none;
    if (line.names(keywords::charset) && (plain || (!line.names(keywords::shiftJis) && !line.names(keywords::utf8))))
        markUnsupported(list_, *record, UnsupportedBy::charset, line, nameText);
    if (line.names(keywords::encoding) &&
        (plain || (!line.names(keywords::quotedPrintable) && !line.names(keywords::base64))))
        markUnsupported(list_, *record, UnsupportedBy::encoding, line, nameText);
}

}  // namespace velmora
