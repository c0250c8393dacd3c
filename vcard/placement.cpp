#include "vcard/placement.h"

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "vcard/tokens.h"

namespace velmora {
namespace {

// The type keywords of a kind of line, each with its bit, in one table per
// kind. PREF and MAIN are looked for too, but as the classic placement has no
// type of their own for them they never make another keyword "not the only
// one".
using KeywordSet = std::uint32_t;

enum class KeywordRole : bool {
    type,    // one of the kind's own types
    marker,  // looked for, but no type of its own
};

struct TypeKeyword {
    Keyword keyword;
    KeywordRole role;
};
constexpr TypeKeyword type(std::string_view name) {
    return {Keyword(name), KeywordRole::type};
}
constexpr TypeKeyword marker(std::string_view name) {
    return {Keyword(name), KeywordRole::marker};
}

// Bit i of a kind's keyword set stands for entry i of its table.
constexpr TypeKeyword telKeywords[] = {
    type("WORK"), type("HOME"), type("CELL"),  type("PCS"),    type("VOICE"),
    type("FAX"),  type("MSG"),  type("PAGER"), type("BBS"),    type("MODEM"),
    type("CAR"),  type("ISDN"), type("VIDEO"), marker("PREF"), marker("MAIN"),
};
constexpr TypeKeyword emailKeywords[] = {
    type("WORK"), type("HOME"), type("CELL"), type("PCS"), type("INTERNET"), marker("PREF"),
};

// The bit of the keyword `name` in `table`; a name not in the table does
// not compile.
template <std::size_t N>
consteval KeywordSet bitOf(const TypeKeyword (&table)[N], std::string_view name) {
    for (std::size_t i = 0; i < N; ++i)
        if (table[i].keyword.text() == name) return KeywordSet{1} << i;
    throw "not a type keyword of this kind";
}
consteval KeywordSet tel(std::string_view name) {
    return bitOf(telKeywords, name);
}
consteval KeywordSet email(std::string_view name) {
    return bitOf(emailKeywords, name);
}

// One alternative of a rule's condition: every keyword of `keywords`
// present, and with `only` no other listed keyword.
struct Alternative {
    KeywordSet keywords;
    bool only;
};
constexpr Alternative both(KeywordSet a, KeywordSet b) {
    return {a | b, false};
}
constexpr Alternative only(KeywordSet k) {
    return {k, true};
}
constexpr Alternative has(KeywordSet k) {
    return {k, false};
}

struct PlacementRule {
    std::vector<Alternative> when;  // empty: every line
    std::vector<Field> fields;      // in order of preference
};

const PlacementRule telephoneRules[] = {
    {{both(tel("WORK"), tel("FAX"))}, {Field::businessFax, Field::pager}},
    {{both(tel("WORK"), tel("CELL"))}, {Field::businessPhone, Field::businessPhone2, Field::pager}},
    {{only(tel("WORK")), both(tel("WORK"), tel("VOICE"))}, {Field::companyMainPhone, Field::pager}},
    {{both(tel("HOME"), tel("VOICE")), only(tel("HOME")), only(tel("VOICE"))},
     {Field::homePhone, Field::homePhone2, Field::pager}},
    // A mobile number marked VOICE too (TEL;CELL;VOICE, as many phones write
    // every mobile number) is a mobile number.
    {{both(tel("HOME"), tel("CELL")), only(tel("CELL")), only(tel("CELL") | tel("VOICE")), only(tel("PREF"))},
     {Field::mobilePhone}},
    {{}, {Field::pager}},
};

const PlacementRule emailRules[] = {
    {{both(email("HOME"), email("INTERNET")), only(email("HOME")), only(email("INTERNET")), only(email("CELL")),
      only(email("PREF"))},
     {Field::email1, Field::email3}},
    {{both(email("WORK"), email("INTERNET")), only(email("WORK"))}, {Field::email2}},
    {{}, {Field::email3}},
};

// The full layout's: a line with FAX is tried against the fax rules only, any
// other line against the voice rules, each rule in turn until one whose
// condition holds still has a free column.
const PlacementRule fullFaxRules[] = {
    {{both(tel("FAX"), tel("WORK"))}, {Field::businessFax}},
    {{both(tel("FAX"), tel("HOME"))}, {Field::homeFax}},
    {{}, {Field::otherFax}},
};
const PlacementRule fullVoiceRules[] = {
    {{has(tel("PAGER"))}, {Field::pager}},
    {{has(tel("CELL")), has(tel("PCS"))}, {Field::mobilePhone}},
    {{has(tel("CAR"))}, {Field::carPhone}},
    {{has(tel("ISDN"))}, {Field::isdn}},
    {{has(tel("MAIN"))}, {Field::companyMainPhone}},
    {{has(tel("WORK"))}, {Field::businessPhone, Field::businessPhone2}},
    {{has(tel("HOME"))}, {Field::homePhone, Field::homePhone2}},
    {{}, {Field::otherPhone}},
};
const PlacementRule fullEmailRules[] = {
    {{}, {Field::email1, Field::email2, Field::email3}},
};

struct Present {
    KeywordSet keywords = 0;
    KeywordSet listed = 0;  // the bits of the kind's own types
};

// A template over the table, so that each keyword's profile and anchor are
// known when it is compiled.
template <std::size_t N>
Present presentKeywords(std::string_view typeText, const TypeKeyword (&table)[N]) {
    const SearchableText text(typeText);
    Present present;
    for (std::size_t i = 0; i < N; ++i) {
        if (table[i].role == KeywordRole::type) present.listed |= 1u << i;
        if (text.contains(table[i].keyword)) present.keywords |= 1u << i;
    }
    return present;
}

bool holds(const Alternative& alternative, const Present& present) {
    if ((present.keywords & alternative.keywords) != alternative.keywords) return false;
    return !alternative.only || (present.keywords & present.listed & ~alternative.keywords) == 0;
}

std::optional<Field> place(const ContactRecord& record, const Present& present, std::span<const PlacementRule> rules) {
    for (const PlacementRule& rule : rules) {
        bool applies = rule.when.empty();
        for (const Alternative& alternative : rule.when) applies = applies || holds(alternative, present);
        if (!applies) continue;
        for (Field field : rule.fields)
            if (!record.has(field)) return field;
    }
    return std::nullopt;
}

}  // namespace

std::optional<Field> telephoneField(const ContactRecord& record, std::string_view typeText) {
    return place(record, presentKeywords(typeText, telKeywords), telephoneRules);
}

std::optional<Field> emailField(const ContactRecord& record, std::string_view typeText) {
    return place(record, presentKeywords(typeText, emailKeywords), emailRules);
}

std::optional<Field> fullTelephoneField(const ContactRecord& record, std::string_view parameters) {
    const Present present = presentKeywords(parameters, telKeywords);
    const bool fax = (present.keywords & tel("FAX")) != 0;
    return fax ? place(record, present, fullFaxRules) : place(record, present, fullVoiceRules);
}

std::optional<Field> fullEmailField(const ContactRecord& record) {
    return place(record, Present{}, fullEmailRules);
}

AddressKind addressKind(std::string_view parameters) {
    static constexpr Keyword work("WORK"), home("HOME");
    const SearchableText text(parameters);
    return text.contains(work) && !text.contains(home) ? AddressKind::business : AddressKind::home;
}

}  // namespace velmora
