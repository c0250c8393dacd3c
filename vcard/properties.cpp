#include "vcard/properties.h"

#include <array>
#include <bit>
#include <cstdint>
#include <iterator>
#include <optional>
#include <span>
#include <string>

#include "platform/shift_jis.h"
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
    std::string_view parameters;  // the name part after the property name
    LineCoding coding;
    ValueDecoder& decoder;
    std::string& joined;  // room to join components in
    BlockState& block;
    std::optional<Loss>& loss;  // why the line left nothing, for an account

    std::string_view decode(std::string_view component) const { return decoder.decode(component, coding); }
    void store(Field field, std::string_view text) const { list.store(record, field, text); }
    void storeDecoded(Field field, std::string_view component) const { store(field, decode(component)); }
    // Component 0 into the field a placement chose, or `why` nothing was free.
    void storePlaced(std::optional<Field> field, Loss why) const {
        if (!field) return lost(why);
        storeDecoded(*field, value[0]);
    }
    // The record already holds what this line would fill; only an account
    // hears of the line.
    void lost(Loss why) const { loss = why; }
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
    const std::string_view reading = line.decode(line.value[0]);
    line.store(Field::readingPrefix, reading.substr(0, shift_jis::cutBetweenCharacters(reading, 2)));
}

// SOUND and SORT-STRING: the first one of a block wins, over a reading taken
// from X-PHONETIC-LAST-NAME as well.
void storeReading(const Line& line) {
    bool& phonetic = line.block.readingIsPhonetic;
    if (line.record.has(Field::readingPrefix) && !phonetic) return line.lost(Loss::notUsed);
    phonetic = false;
    storeReadingOf(line);
}

// The family-name reading that smartphones write in place of SOUND.
void storePhoneticReading(const Line& line) {
    if (line.record.has(Field::readingPrefix)) return;
    line.block.readingIsPhonetic = true;
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

// Component 0 into a column that keeps the first line's value.
template <Field field>
void storeFirst(const Line& line) {
    if (line.record.has(field)) return line.lost(Loss::notUsed);
    line.storeDecoded(field, line.value[0]);
}

// Telephone and e-mail lines choose their field by the type keywords in
// their property name and parameters.
void storeTelephone(const Line& line) {
    line.storePlaced(telephoneField(line.record, line.line.name()), Loss::telephoneWithoutColumn);
}
void storeEmail(const Line& line) {
    line.storePlaced(emailField(line.record, line.line.name()), Loss::emailWithoutColumn);
}

// The full layout's rules.

// N: each part of the name in its own column, from the first N line only.
void storeNameParts(const Line& line) {
    if (line.record.has(Field::familyName)) return line.lost(Loss::notUsed);
    static constexpr Field parts[] = {Field::familyName, Field::givenName, Field::middleName, Field::namePrefix,
                                      Field::nameSuffix};
    for (std::size_t i = 0; i < std::size(parts) && i < line.value.size(); ++i)
        line.storeDecoded(parts[i], line.value[i]);
    for (std::string_view component : line.value) line.block.nameGiven = line.block.nameGiven || !component.empty();
}

// FN names the contact in 名 when its N gives no name; which it does is known
// at the block's end.
void storeFormattedName(const Line& line) {
    // Once N has given a name, no FN of the block is used.
    if (line.block.nameGiven || line.block.formattedName.present()) return;
    const std::string_view name = line.decode(line.value[0]);
    line.block.formattedName = line.list.keep(name);
    if (Account* account = line.list.account()) account->formattedName(name);
}

// SOUND and SORT-STRING: the family-name reading and the given-name reading,
// whole, from the first such line, in the columns no X-PHONETIC line fills.
void storeReadings(const Line& line) {
    if (line.block.soundSeen) return line.lost(Loss::notUsed);
    line.block.soundSeen = true;
    if (!line.block.lastReadingPhonetic) line.storeDecoded(Field::lastNameReading, line.value[0]);
    if (line.value.size() > 1 && !line.block.firstReadingPhonetic) line.storeDecoded(Field::nameReading, line.value[1]);
}

// X-PHONETIC-LAST-NAME and X-PHONETIC-FIRST-NAME keep the two readings apart,
// so the first of each fills its column whatever SOUND said.
void storePhonetic(const Line& line, Field field, bool& taken) {
    if (taken) return line.lost(Loss::notUsed);
    taken = true;
    line.storeDecoded(field, line.value[0]);
}
void storePhoneticLastName(const Line& line) {
    storePhonetic(line, Field::lastNameReading, line.block.lastReadingPhonetic);
}
void storePhoneticFirstName(const Line& line) {
    storePhonetic(line, Field::nameReading, line.block.firstReadingPhonetic);
}

// ORG: the company, and its units (components 1 on) as the department, the
// ones written non-empty joined by one blank.
void storeOrganisationParts(const Line& line) {
    if (line.record.has(Field::company)) return line.lost(Loss::notUsed);
    line.storeDecoded(Field::company, line.value[0]);
    std::string& department = line.joined;
    department.clear();
    bool any = false;
    for (std::size_t i = 1; i < line.value.size(); ++i) {
        if (line.value[i].empty()) continue;
        if (any) department += ' ';
        department += line.decode(line.value[i]);
        any = true;
    }
    if (any) line.store(Field::department, department);
}

// An address's seven components (post-office box, extended address, street,
// locality, region, postal code, country), into the columns of its kind.
constexpr std::array<std::array<Field, 7>, 3> addressFields = {{
    {Field::businessPoBox, Field::businessExtended, Field::businessStreet, Field::businessCity, Field::businessState,
     Field::businessPostalCode, Field::businessCountry},
    {Field::homePoBox, Field::homeExtended, Field::homeStreet, Field::homeCity, Field::homeState, Field::homePostalCode,
     Field::homeCountry},
    {Field::otherPoBox, Field::otherExtended, Field::otherStreet, Field::otherCity, Field::otherState,
     Field::otherPostalCode, Field::otherCountry},
}};

// A second address of a kind goes to the other address. Component 0 is
// always there, so an address of a kind has been read exactly when its
// post-office box is present.
void storeAddressOfKind(const Line& line) {
    AddressKind kind = addressKind(line.parameters);
    const auto fieldsOf = [](AddressKind k) -> const std::array<Field, 7>& {
        return addressFields[static_cast<std::size_t>(k)];
    };
    if (line.record.has(fieldsOf(kind)[0])) kind = AddressKind::other;
    if (line.record.has(fieldsOf(kind)[0])) return line.lost(Loss::addressWithoutColumn);
    const auto& fields = fieldsOf(kind);
    for (std::size_t i = 0; i < fields.size() && i < line.value.size(); ++i)
        line.storeDecoded(fields[i], line.value[i]);
}

void storeTelephoneByType(const Line& line) {
    line.storePlaced(fullTelephoneField(line.record, line.parameters), Loss::telephoneWithoutColumn);
}
void storeEmailInOrder(const Line& line) {
    line.storePlaced(fullEmailField(line.record), Loss::emailWithoutColumn);
}

// What a CHARSET or ENCODING that the address book cannot read does to a line.
enum class CodingGuard : std::uint8_t {
    marksUnsupported,  // the value is stored, and the contact is not written
    notJudged,         // the line is used whatever it names
    skipsLine,         // the line is not used, as if it were not there
};

struct PropertyRule {
    Keyword name;
    void (*apply)(const Line&);
    CodingGuard guard = CodingGuard::marksUnsupported;
};

// The classic layout's properties; every other property is ignored. The
// reading of X-PHONETIC-LAST-NAME is only a stand-in and never makes a
// contact unsupported.
constexpr PropertyRule classicRules[] = {
    {Keyword("N"), storeName},
    {Keyword("SOUND"), storeReading},
    {Keyword("SORT-STRING"), storeReading},
    {Keyword("X-PHONETIC-LAST-NAME"), storePhoneticReading, CodingGuard::notJudged},
    {Keyword("BDAY"), storeBirthday},
    {Keyword("ORG"), storeOrganisation},
    {Keyword("ADR"), storeAddress},
    {Keyword("TEL"), storeTelephone},
    {Keyword("EMAIL"), storeEmail},
    {Keyword("URL"), storeFirst<Field::webPage>},
    {Keyword("NOTE"), storeFirst<Field::notes>},
};

// The full layout's properties. The lines the classic layout does not read
// (or reads without judging them) never make a contact unsupported; one that
// names a CHARSET or ENCODING the address book cannot read is not used.
constexpr PropertyRule fullRules[] = {
    {Keyword("N"), storeNameParts},
    {Keyword("FN"), storeFormattedName, CodingGuard::skipsLine},
    {Keyword("SOUND"), storeReadings},
    {Keyword("SORT-STRING"), storeReadings},
    {Keyword("X-PHONETIC-LAST-NAME"), storePhoneticLastName, CodingGuard::skipsLine},
    {Keyword("X-PHONETIC-FIRST-NAME"), storePhoneticFirstName, CodingGuard::skipsLine},
    {Keyword("X-PHONETIC-ORG"), storeFirst<Field::companyReading>, CodingGuard::skipsLine},
    {Keyword("BDAY"), storeBirthday},
    {Keyword("ORG"), storeOrganisationParts},
    {Keyword("TITLE"), storeFirst<Field::jobTitle>, CodingGuard::skipsLine},
    {Keyword("ADR"), storeAddressOfKind},
    {Keyword("TEL"), storeTelephoneByType},
    {Keyword("EMAIL"), storeEmailInOrder},
    {Keyword("URL"), storeFirst<Field::webPage>},
    {Keyword("NOTE"), storeFirst<Field::notes>},
};

}  // namespace

// A layout's rules, and which of them a line may name at one look.
//
// Most lines of a phone's export name properties without a rule
// ("X-DCM-COLOR", "PHOTO"). A line whose name part holds no "." has no group
// prefix, so its property name begins the line: when no rule's name (nor
// VERSION) begins with that letter and may occur in the name part, the line
// is passed over before its name is even cut out. Books full of such lines
// read up to a tenth faster (7 to 10 percent on a carrier's 100 MB books).
class PropertyRules {
public:
    template <std::size_t N>
    constexpr explicit PropertyRules(const PropertyRule (&rules)[N]) : rules_(rules) {
        static_assert(N < kVersionBit, "one bit per rule, and one for VERSION");
        for (std::size_t i = 0; i < N; ++i) add(rules[i].name.text(), i);
        add(kVersion.text(), kVersionBit);
    }

    const PropertyRule* find(std::string_view propertyName) const {
        for (const PropertyRule& rule : rules_)
            if (equalsIgnoreCase(propertyName, rule.name.text())) return &rule;
        return nullptr;
    }

    bool mayName(const LogicalLine& line) const {
        static constexpr Keyword dot(".");
        if (line.text.empty() || line.head.mayContain(dot)) return true;
        for (std::uint32_t rules = byInitial_[static_cast<unsigned char>(line.text[0])]; rules != 0;
             rules &= rules - 1) {
            const auto bit = static_cast<std::size_t>(std::countr_zero(rules));
            if (line.head.mayContain(bit == kVersionBit ? kVersion : rules_[bit].name)) return true;
        }
        return false;
    }

private:
    static constexpr std::size_t kVersionBit = 31;
    static constexpr Keyword kVersion{"VERSION"};

    // For each byte, the rules whose name begins with it in either case.
    constexpr void add(std::string_view name, std::size_t bit) {
        const auto first = static_cast<unsigned char>(name[0]);
        byInitial_[first] |= std::uint32_t{1} << bit;
        byInitial_[first | 0x20] |= std::uint32_t{1} << bit;
    }

    std::span<const PropertyRule> rules_;
    std::array<std::uint32_t, 256> byInitial_{};
};

namespace {

constexpr PropertyRules classicPropertyRules(classicRules);
constexpr PropertyRules fullPropertyRules(fullRules);

// Which CHARSET or ENCODING of the line the address book cannot read, if
// any: a CHARSET on a line that names neither SHIFT_JIS nor UTF-8, an
// ENCODING on one that names neither QUOTED-PRINTABLE nor BASE64. A line
// whose coding names a charset or transfer encoding names it in its first
// physical line, and so in the whole line's name part: only the other lines
// are searched.
std::optional<UnsupportedBy> refusedCoding(const LogicalLine& line) {
    if (line.coding.charset == Charset::none && line.names(keywords::charset) && !line.names(keywords::shiftJis) &&
        !line.names(keywords::utf8))
        return UnsupportedBy::charset;
    if (line.coding.transfer == TransferEncoding::none && line.names(keywords::encoding) &&
        !line.names(keywords::quotedPrintable) && !line.names(keywords::base64))
        return UnsupportedBy::encoding;
    return std::nullopt;
}

// Sets the flag and tells an account which line set it.
void markUnsupported(const ContactList& list, ContactRecord& record, UnsupportedBy cause, const LogicalLine& line,
                     std::string_view text) {
    record.unsupported = true;
    if (Account* account = list.account()) account->markedUnsupported(cause, line.number, text);
}

}  // namespace

RecordBuilder::RecordBuilder(ContactList& list)
    : list_(list), rules_(list.layout() == Layout::full ? fullPropertyRules : classicPropertyRules) {}

void RecordBuilder::complete(ContactRecord& record) {
    record.complete = true;
    if (list_.layout() == Layout::full && !block_.nameGiven && block_.formattedName.present())
        record[Field::givenName] = block_.formattedName;
}

void RecordBuilder::apply(const LogicalLine& line) {
    if (!line.hasValue) return;  // not a property line
    if (equalsIgnoreCase(line.text, "BEGIN:VCARD")) {
        list_.addRecord();
        block_ = BlockState{};
        if (Account* account = list_.account()) account->blockBegun(line.number);
        return;
    }
    ContactRecord* record = list_.current();
    if (equalsIgnoreCase(line.text, "END:VCARD")) {
        if (record != nullptr) complete(*record);
        return;
    }
    if (record == nullptr || record->complete) return;
    // An account hears of FN lines, which have no rule.
    Account* const account = list_.account();
    if (account == nullptr && !rules_.mayName(line)) return;

    const std::string_view nameText = line.name();
    const std::string_view valueText = line.value();
    const std::string_view written = nameText.substr(0, findUnescaped(nameText, ';', line.coding.text));
    if (equalsIgnoreCase(written, "VERSION")) {
        const SearchableText value(valueText);
        const bool version30 = value.contains(keywords::version30);
        if (!version30 && !value.contains(keywords::version21))
            markUnsupported(list_, *record, UnsupportedBy::version, line, line.text);
        if (version30) block_.escapes = Escapes::undone;
        return;
    }
    // A group prefix only labels the line ("item1.ADR" is ADR).
    const std::size_t dot = written.rfind('.');
    const std::string_view propertyName = dot == std::string_view::npos ? written : written.substr(dot + 1);
    const PropertyRule* rule = rules_.find(propertyName);
    LineCoding coding = line.coding;
    coding.escapes = block_.escapes;
    if (rule == nullptr) {
        // FN names a block that has no N in an account.
        if (account != nullptr && equalsIgnoreCase(propertyName, "FN"))
            account->formattedName(accountDecoder_.decode(valueText, coding));
        return;
    }
    const std::optional<UnsupportedBy> refused =
        rule->guard == CodingGuard::notJudged ? std::nullopt : refusedCoding(line);
    if (refused && rule->guard == CodingGuard::skipsLine) {
        if (account != nullptr) account->lineLost(Loss::codingRefused, line, accountDecoder_.decode(valueText, coding));
        return;
    }

    splitTokens(valueText, ';', coding.text, value_);
    const std::size_t textBefore = list_.textSize();
    std::optional<Loss> loss;
    const Line applied{list_,  *record,  line,    value_, nameText.substr(written.size()),
                       coding, decoder_, joined_, block_, loss};
    rule->apply(applied);
    if (account != nullptr) {
        // The whole value as the reader decodes it, for the account to quote.
        const std::string_view decoded = accountDecoder_.decode(valueText, coding);
        if (loss) account->lineLost(*loss, line, decoded);
        account->lineApplied(line, coding, decoded, list_.textSize() > textBefore);
    }

    // Checked after the value was stored: a line can keep its value and still
    // mark the whole contact as one the address book could not read.
    if (refused) markUnsupported(list_, *record, *refused, line, nameText);
}

}  // namespace velmora
