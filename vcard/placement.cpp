#include "vcard/placement.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "vcard/account.h"
#include "vcard/decode.h"
#include "vcard/tokens.h"

namespace velmora {
namespace {

using KeywordSet = std::uint32_t;

// The type keywords of each kind of line, in their order; PREF is tested too
// but belongs to neither list, so it never makes another keyword "not only".
constexpr std::array<Keyword, 13> telTypeKeywords = {
    Keyword("WORK"), Keyword("HOME"), Keyword("CELL"),  Keyword("PCS"), Keyword("VOICE"),
    Keyword("FAX"),  Keyword("MSG"),  Keyword("PAGER"), Keyword("BBS"), Keyword("MODEM"),
    Keyword("CAR"),  Keyword("ISDN"), Keyword("VIDEO")};
constexpr std::array<Keyword, 5> emailTypeKeywords = {Keyword("WORK"), Keyword("HOME"), Keyword("CELL"), Keyword("PCS"),
                                                      Keyword("INTERNET")};
constexpr Keyword kPref("PREF");

namespace tel {
enum : KeywordSet {
    WORK = 1u << 0,
    HOME = 1u << 1,
    CELL = 1u << 2,
    PCS = 1u << 3,
    VOICE = 1u << 4,
    FAX = 1u << 5,
    MSG = 1u << 6,
    PAGER = 1u << 7,
    BBS = 1u << 8,
    MODEM = 1u << 9,
    CAR = 1u << 10,
    ISDN = 1u << 11,
    VIDEO = 1u << 12,
    PREF = 1u << 13,
    LISTED = (1u << 13) - 1,
};
}
namespace email {
enum : KeywordSet {
    WORK = 1u << 0,
    HOME = 1u << 1,
    CELL = 1u << 2,
    PCS = 1u << 3,
    INTERNET = 1u << 4,
    PREF = 1u << 5,
    LISTED = (1u << 5) - 1,
};
}

// One alternative of a rule's condition: every keyword of `keywords` present,
// or, with `only`, its single keyword present and no other listed one.
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

struct PlacementRule {
    std::vector<Alternative> when;  // empty: every line
    std::vector<Field> fields;      // in order of preference
};

const std::vector<PlacementRule> telephoneRules = {
    {{both(tel::WORK, tel::FAX)}, {Field::businessFax, Field::pager}},
    {{both(tel::WORK, tel::CELL)}, {Field::businessPhone, Field::businessPhone2, Field::pager}},
    {{only(tel::WORK), both(tel::WORK, tel::VOICE)}, {Field::companyMainPhone, Field::pager}},
    {{both(tel::HOME, tel::VOICE), only(tel::HOME), only(tel::VOICE)},
     {Field::homePhone, Field::homePhone2, Field::pager}},
    {{both(tel::HOME, tel::CELL), only(tel::CELL), only(tel::PREF)}, {Field::mobilePhone}},
    {{}, {Field::pager}},
};

const std::vector<PlacementRule> emailRules = {
    {{both(email::HOME, email::INTERNET), only(email::HOME), only(email::INTERNET), only(email::CELL),
      only(email::PREF)},
     {Field::email1, Field::email3}},
    {{both(email::WORK, email::INTERNET), only(email::WORK)}, {Field::email2}},
    {{}, {Field::email3}},
};

template <std::size_t N>
KeywordSet presentKeywords(Tokens nameTokens, const std::array<Keyword, N>& listed) {
    TextProfile profile = 0;
    for (std::string_view token : nameTokens) profile |= profileOf(token);
    KeywordSet set = 0;
    for (std::size_t i = 0; i < N; ++i)
        if (listed[i].mayOccurIn(profile) && hasParam(listed[i], nameTokens)) set |= 1u << i;
    if (kPref.mayOccurIn(profile) && hasParam(kPref, nameTokens)) set |= 1u << N;
    return set;
}

bool holds(const Alternative& alternative, KeywordSet present, KeywordSet listed) {
    if ((present & alternative.keywords) != alternative.keywords) return false;
    return !alternative.only || (present & listed & ~alternative.keywords) == 0;
}

// The name part of the line the name tokens were split from: the tokens are
// views into it, in order.
std::string_view nameText(Tokens nameTokens) {
    if (nameTokens.empty()) return {};
    const char* end = nameTokens.back().data() + nameTokens.back().size();
    return std::string_view(nameTokens.front().data(), static_cast<std::size_t>(end - nameTokens.front().data()));
}

void place(ContactList& list, ContactRecord& record, Tokens nameTokens, Tokens valueTokens, const LineState& lineState,
           std::span<const PlacementRule> rules, KeywordSet present, KeywordSet listed, Loss loss) {
    if (valueTokens.empty()) return;
    for (const PlacementRule& rule : rules) {
        bool applies = rule.when.empty();
        for (const Alternative& alternative : rule.when) applies = applies || holds(alternative, present, listed);
        if (!applies) continue;
        for (Field field : rule.fields) {
            if (record.has(field)) continue;
            thread_local std::string value;
            decodeValue(valueTokens[0], lineState.encoding, lineState.charset, value);
            list.store(record, field, value);
            return;
        }
    }
    if (Account* account = list.account()) account->lineLost(loss, lineState, nameText(nameTokens), valueTokens[0]);
}

}  // namespace

void placeTelephone(ContactList& list, ContactRecord& record, Tokens nameTokens, Tokens valueTokens,
                    const LineState& lineState) {
    place(list, record, nameTokens, valueTokens, lineState, telephoneRules,
          presentKeywords(nameTokens, telTypeKeywords), tel::LISTED, Loss::telephoneWithoutColumn);
}

void placeEmail(ContactList& list, ContactRecord& record, Tokens nameTokens, Tokens valueTokens,
                const LineState& lineState) {
    place(list, record, nameTokens, valueTokens, lineState, emailRules, presentKeywords(nameTokens, emailTypeKeywords),
          email::LISTED, Loss::emailWithoutColumn);
}

}  // namespace velmora
