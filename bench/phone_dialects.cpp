// The dialects of the phones people move their contacts from: the feature
// phones of three carriers (vCard 2.1, code page 932), Android's vCard 2.1 in
// UTF-8 QUOTED-PRINTABLE and the iPhone's vCard 3.0 in UTF-8. Each writer
// keeps its phone's order of lines and parameters, and draws which lines a
// contact has, how many and how long, from the random sequence, so that no two
// contacts need look alike.
#include "book_parts.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace velmora::bench {
namespace {

// The components of an ADR value: post-office box, extended address, street,
// locality, region, postal code, country.
struct AddressParts {
    std::string building, street, postal;
    const Words::Address* place;

    AddressParts(Random& random, const Words& words) : place(&random.pick(words.places)) {
        street = streetLine(random, *place);
        if (random.percent(25))
            building = random.pick(words.buildings) + " " + std::to_string(random.between(101, 905));
        postal = postalCode(random, *place);
    }

    // `withCountry` false leaves the country component empty, as many phones do.
    std::array<std::string_view, 7> components(const Words& words, bool withCountry) const {
        return {"",
                building,
                street,
                place->locality,
                place->region,
                postal,
                withCountry ? std::string_view(words.country) : std::string_view()};
    }
};

void plainComponents(Book& book, std::string_view head, std::span<const std::string_view> components) {
    book.put(head);
    for (std::size_t i = 0; i < components.size(); ++i) {
        if (i > 0) book.put(';');
        book.put(components[i]);
    }
    book.endLine();
}

void birthdayLine(Book& book, std::string_view head, const Birthday& b, bool dashes) {
    book.put(head);
    book.digits(b.year, 4);
    if (dashes) book.put('-');
    book.digits(b.month, 2);
    if (dashes) book.put('-');
    book.digits(b.day, 2);
    book.endLine();
}

// A twelve-digit upper-case hexadecimal record id such as 00000001A2F3.
void luid(Book& book, Random& random, std::uint32_t index) {
    static constexpr char kHexDigits[] = "0123456789ABCDEF";
    const std::uint64_t value = (static_cast<std::uint64_t>(random.below(16)) << 32) | index;
    for (int shift = 44; shift >= 0; shift -= 4) book.put(kHexDigits[(value >> shift) & 15]);
}

// A photo of `low` to `high` bytes, BASE64 encoded.
std::string photo(Random& random, std::uint32_t low, std::uint32_t high) {
    return photoBase64(random, random.between(low, high));
}

}  // namespace

// ---------------------------------------------------------------------------
// Carrier A: names, readings and addresses in QUOTED-PRINTABLE or plain
// Shift_JIS, numbers without hyphens, and a dozen short settings lines of the
// handset after the contact's own lines.

void carrierAContact(Book& book, Random& random, const Words& words, std::uint32_t index) {
    const auto& family = random.pick(words.family);
    const auto& given = random.pick(words.given);

    book.line("BEGIN:VCARD");
    book.line("VERSION:2.1");
    const bool qpNames = random.percent(70);
    const std::string fullName = family.text + words.blank + given.text;
    if (qpNames) {
        const std::string_view n[] = {family.text, given.text, "", "", ""};
        quotedPrintableLine(book, "N;CHARSET=SHIFT_JIS;ENCODING=QUOTED-PRINTABLE:", n);
        if (random.percent(60)) {
            const std::string_view fn[] = {fullName};
            quotedPrintableLine(book, "FN;CHARSET=SHIFT_JIS;ENCODING=QUOTED-PRINTABLE:", fn);
        }
    } else {
        const std::string_view n[] = {family.text, given.text, "", "", ""};
        plainComponents(book, "N;CHARSET=SHIFT_JIS:", n);
        if (random.percent(60)) {
            book.put("FN;CHARSET=SHIFT_JIS:");
            book.line(fullName);
        }
    }
    if (random.percent(90)) {
        const std::string_view sound[] = {family.reading, given.reading, "", "", ""};
        plainComponents(book, "SOUND;X-IRMC-N;CHARSET=SHIFT_JIS:", sound);
    }

    static constexpr Weighted kTel[] = {
        {"TEL;CELL;VOICE:", true, 35},     {"TEL;HOME;VOICE:", false, 20}, {"TEL;WORK;VOICE:", false, 15},
        {"TEL;PREF;CELL;VOICE:", true, 8}, {"TEL;HOME;FAX:", false, 5},    {"TEL;WORK;FAX:", false, 5},
        {"TEL;VOICE:", false, 7},          {"TEL;PAGER:", true, 2},        {"TEL;CAR;VOICE:", true, 3},
    };
    const std::uint32_t tels = random.between(1, 3);
    for (std::uint32_t t = 0; t < tels; ++t) {
        const auto& tel = pickWeighted(random, kTel);
        book.put(tel.head);
        phoneNumber(book, random, tel.mobile, NumberStyle::digitsOnly);
        book.endLine();
    }
    static constexpr std::string_view kEmail[] = {"EMAIL;INTERNET:", "EMAIL;INTERNET;PREF:", "EMAIL;INTERNET;CELL:",
                                                  "EMAIL;INTERNET;HOME:", "EMAIL;INTERNET;WORK:"};
    const std::uint32_t emails = random.below(3);
    for (std::uint32_t e = 0; e < emails; ++e) {
        const std::string_view head = random.pick(kEmail);
        book.put(head);
        if (e == 0 && random.percent(60))
            mobileMailAddress(book, random, given);
        else
            emailAddress(book, random, family, given, head == "EMAIL;INTERNET;WORK:");
        book.endLine();
    }
    if (random.percent(35)) {
        const AddressParts adr(random, words);
        const auto parts = adr.components(words, random.percent(30));
        quotedPrintableLine(book, "ADR;HOME;CHARSET=SHIFT_JIS;ENCODING=QUOTED-PRINTABLE:", parts);
    }
    if (random.percent(25)) {
        const std::string_view org[] = {random.pick(words.companies), random.pick(words.departments)};
        quotedPrintableLine(
            book, "ORG;CHARSET=SHIFT_JIS;ENCODING=QUOTED-PRINTABLE:", std::span(org, random.percent(50) ? 2 : 1));
    }
    if (random.percent(25)) birthdayLine(book, "BDAY:", randomBirthday(random), false);
    if (random.percent(5)) {
        book.put("URL:http://www.");
        book.put(family.romaji);
        book.line(".example.ne.jp/");
    }
    if (random.percent(35)) {
        const std::string note = noteText(random, words, "\r\n", {25, 6, 18});
        const std::string_view parts[] = {note};
        quotedPrintableLine(book, "NOTE;CHARSET=SHIFT_JIS;ENCODING=QUOTED-PRINTABLE:", parts);
    }
    if (random.percent(6)) {
        foldedBase64(book, "PHOTO;ENCODING=BASE64;TYPE=JPEG:", photo(random, 2 * 1024, 9 * 1024), 76, " ", false);
        book.endLine();
    }

    static constexpr std::string_view kClass[] = {"X-CLASS:PUBLIC", "X-CLASS:PUBLIC", "X-CLASS:PRIVATE"};
    book.line(random.pick(kClass));
    book.line("X-REDUCTION:");
    book.line("X-NO:");
    book.put("X-DCM-HMN-MODE:");
    if (random.percent(20)) book.put('1');
    book.endLine();
    const std::uint32_t group = random.below(static_cast<std::uint32_t>(words.groups.size()));
    book.put("X-GNO:");
    book.put(std::to_string(group));
    book.endLine();
    book.put("X-GN;CHARSET=SHIFT_JIS:");
    book.line(words.groups[group]);
    book.put("X-DCM-RINGTONE:");
    if (random.percent(30)) book.digits(random.below(100), 2);
    book.endLine();
    book.line(random.percent(10) ? "X-DCM-SECRET:1" : "X-DCM-SECRET:0");
    book.put("X-DCM-LED-COLOR:");
    book.digits(random.below(8), 2);
    book.endLine();
    book.line("X-DCM-ICON:");
    book.put("X-IRMC-LUID:");
    luid(book, random, index);
    book.endLine();
    book.line("END:VCARD");
}

// ---------------------------------------------------------------------------
// Carrier B: every text value in QUOTED-PRINTABLE with ENCODING before
// CHARSET, numbers with hyphens, extra numbers and addresses on grouped lines
// (item1.TEL with an item1.X-ALIAS label), photos whose data begins on the
// PHOTO line, and an empty line after every contact.

void carrierBContact(Book& book, Random& random, const Words& words, std::uint32_t index) {
    const auto& family = random.pick(words.family);
    const auto& given = random.pick(words.given);
    constexpr std::string_view kQp = "ENCODING=QUOTED-PRINTABLE;CHARSET=SHIFT_JIS:";

    book.line("BEGIN:VCARD");
    book.line("VERSION:2.1");
    {
        const std::string_view n[] = {family.text, given.text, "", "", ""};
        quotedPrintableLine(book, std::string("N;").append(kQp), n);
    }
    if (random.percent(80)) {
        const std::string_view sound[] = {family.reading, given.reading, "", "", ""};
        quotedPrintableLine(book, std::string("SOUND;X-IRMC-N;").append(kQp), sound);
    }

    static constexpr Weighted kTel[] = {
        {"TEL;PREF;CELL:", true, 30}, {"TEL;CELL:", true, 20}, {"TEL;HOME:", false, 20},
        {"TEL;WORK:", false, 15},     {"TEL;FAX:", false, 5},  {"TEL;VOICE:", false, 10},
    };
    const std::uint32_t tels = random.between(1, 3);
    for (std::uint32_t t = 0; t < tels; ++t) {
        const auto& tel = pickWeighted(random, kTel);
        book.put(tel.head);
        phoneNumber(book, random, tel.mobile);
        book.endLine();
    }
    std::uint32_t item = 0;
    if (random.percent(30)) {
        ++item;
        book.put("item1.TEL;VOICE:");
        phoneNumber(book, random, random.percent(50));
        book.endLine();
        const std::string_view label[] = {random.pick(words.labels)};
        quotedPrintableLine(book, std::string("item1.X-ALIAS;").append(kQp), label);
    }
    const std::uint32_t emails = random.below(3);
    for (std::uint32_t e = 0; e < emails; ++e) {
        if (e == 0) {
            book.put("EMAIL;INTERNET;CELL:");
            mobileMailAddress(book, random, given);
        } else if (random.percent(40)) {
            book.put("item");
            book.put(std::to_string(++item));
            book.put(".EMAIL;INTERNET:");
            emailAddress(book, random, family, given, true);
        } else {
            book.put("EMAIL;INTERNET:");
            emailAddress(book, random, family, given, false);
        }
        book.endLine();
    }
    if (random.percent(40)) {
        const AddressParts adr(random, words);
        const auto parts = adr.components(words, random.percent(50));
        quotedPrintableLine(book, std::string(random.percent(80) ? "ADR;HOME;" : "ADR;WORK;").append(kQp), parts);
    }
    if (random.percent(30)) {
        const std::string_view org[] = {random.pick(words.companies), random.pick(words.departments)};
        quotedPrintableLine(book, std::string("ORG;").append(kQp), std::span(org, random.percent(60) ? 2 : 1));
    }
    if (random.percent(30)) birthdayLine(book, "BDAY:", randomBirthday(random), random.percent(50));
    if (random.percent(40)) {
        const std::string note = noteText(random, words, "\r\n", {30, 5, 20});
        const std::string_view parts[] = {note};
        quotedPrintableLine(book, std::string("NOTE;").append(kQp), parts);
    }

    const std::uint32_t group = random.below(static_cast<std::uint32_t>(words.groups.size()));
    book.put("X-GNO:");
    book.put(std::to_string(group + 1));
    book.endLine();
    {
        const std::string_view gn[] = {words.groups[group]};
        quotedPrintableLine(book, std::string("X-GN;").append(kQp), gn);
    }
    book.put("X-MEMORY-NO:");
    book.digits(index % 1000, 3);
    book.endLine();
    book.line(random.percent(5) ? "X-SECRET:1" : "X-SECRET:0");
    book.put("X-RINGTONE:");
    if (random.percent(25)) book.digits(random.below(1000), 3);
    book.endLine();
    book.line("X-MAIL-RINGTONE:");
    book.line("X-BLOCK:0");
    if (random.percent(10)) {
        foldedBase64(book, "PHOTO;ENCODING=BASE64;TYPE=JPEG:", photo(random, 2 * 1024, 12 * 1024), 76, " ", true);
        book.endLine();
    }
    book.put("X-IRMC-LUID:");
    luid(book, random, index);
    book.endLine();
    book.line("END:VCARD");
    book.endLine();
}

// ---------------------------------------------------------------------------
// Carrier C: plain Shift_JIS names with full-width readings, the bare
// QUOTED-PRINTABLE parameter (without ENCODING=) and CHARSET=Shift_JIS in
// mixed case, its own X-MOBILE- settings lines, and photos that end without
// an empty line.

void carrierCContact(Book& book, Random& random, const Words& words, std::uint32_t index) {
    const auto& family = random.pick(words.family);
    const auto& given = random.pick(words.given);

    book.line("BEGIN:VCARD");
    book.line("VERSION:2.1");
    {
        const std::string_view n[] = {family.text, given.text, "", "", ""};
        plainComponents(book, "N;CHARSET=Shift_JIS:", n);
    }
    book.put("FN;CHARSET=Shift_JIS:");
    book.put(family.text);
    book.put(words.blank);
    book.line(given.text);
    if (random.percent(85)) {
        const std::string_view sound[] = {family.reading, given.reading, "", "", ""};
        plainComponents(book, "SOUND;X-IRMC-N;CHARSET=Shift_JIS:", sound);
    }

    static constexpr Weighted kTel[] = {
        {"TEL;CELL:", true, 40}, {"TEL;HOME:", false, 20}, {"TEL;WORK;VOICE:", false, 15}, {"TEL;WORK;FAX:", false, 5},
        {"TEL;FAX:", false, 5},  {"TEL:", true, 10},       {"TEL;X-OTHER:", false, 5},
    };
    const std::uint32_t tels = random.between(1, 4);
    for (std::uint32_t t = 0; t < tels; ++t) {
        const auto& tel = pickWeighted(random, kTel);
        book.put(tel.head);
        phoneNumber(book, random, tel.mobile, random.percent(50) ? NumberStyle::hyphens : NumberStyle::digitsOnly);
        book.endLine();
    }
    static constexpr std::string_view kEmail[] = {
        "EMAIL;INTERNET:", "EMAIL;CELL:", "EMAIL;HOME:", "EMAIL;WORK:", "EMAIL:"};
    const std::uint32_t emails = random.below(4);
    for (std::uint32_t e = 0; e < emails; ++e) {
        const std::string_view head = random.pick(kEmail);
        book.put(head);
        if (head == "EMAIL;CELL:")
            mobileMailAddress(book, random, given);
        else
            emailAddress(book, random, family, given, head == "EMAIL;WORK:");
        book.endLine();
    }
    if (random.percent(45)) {
        const AddressParts adr(random, words);
        const auto parts = adr.components(words, random.percent(70));
        if (random.percent(60))
            quotedPrintableLine(book, "ADR;HOME;CHARSET=Shift_JIS;QUOTED-PRINTABLE:", parts, 72);
        else
            plainComponents(book, "ADR;HOME;CHARSET=Shift_JIS:", parts);
    }
    if (random.percent(30)) {
        book.put("ORG;CHARSET=Shift_JIS:");
        book.put(random.pick(words.companies));
        if (random.percent(50)) {
            book.put(';');
            book.put(random.pick(words.departments));
        }
        book.endLine();
        if (random.percent(30)) {
            book.put("TITLE;CHARSET=Shift_JIS:");
            book.line(random.pick(words.titles));
        }
    }
    if (random.percent(30)) birthdayLine(book, "BDAY:", randomBirthday(random), false);
    if (random.percent(8)) {
        book.put("URL:http://");
        book.put(given.romaji);
        book.line(".example.jp/");
    }
    if (random.percent(30)) {
        const std::string note = noteText(random, words, "\r\n", {20, 4, 14});
        const std::string_view parts[] = {note};
        quotedPrintableLine(book, "NOTE;CHARSET=Shift_JIS;QUOTED-PRINTABLE:", parts, 72);
    }

    book.put("X-GNO:");
    book.put(std::to_string(random.below(20)));
    book.endLine();
    book.put("X-MOBILE-GROUP;CHARSET=Shift_JIS:");
    book.line(random.pick(words.groups));
    book.line(random.percent(10) ? "X-MOBILE-SECRET:ON" : "X-MOBILE-SECRET:OFF");
    book.put("X-MOBILE-RING:");
    book.digits(random.below(50), 2);
    book.endLine();
    book.line("X-MOBILE-MAIL-RING:");
    book.put("X-MOBILE-CALL-LIGHT:");
    book.digits(random.below(10), 1);
    book.endLine();
    book.line("X-MOBILE-MAIL-LIGHT:0");
    book.line("X-MOBILE-VIBE:AUTO");
    book.put("X-IRMC-LUID:");
    luid(book, random, index);
    book.endLine();
    if (random.percent(7))
        foldedBase64(book, "PHOTO;TYPE=JPEG;ENCODING=BASE64:", photo(random, 1024, 6 * 1024), 72, " ", false);
    book.line("END:VCARD");
}

// ---------------------------------------------------------------------------
// Android, vCard 2.1: every text value in UTF-8 QUOTED-PRINTABLE, readings in
// X-PHONETIC- lines, custom types in X-CUSTOM(...) parameters, nicknames in
// X-ANDROID-CUSTOM lines, photos indented by two blanks. One contact in ten
// has a name in Latin letters only, written without any charset.

void androidContact(Book& book, Random& random, const Words& words, std::uint32_t) {
    const auto& family = random.pick(words.family);
    const auto& given = random.pick(words.given);
    constexpr std::string_view kQp = "CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:";
    auto qp = [&](std::string_view name, std::span<const std::string_view> parts) {
        quotedPrintableLine(book, std::string(name).append(";").append(kQp), parts, 75);
    };

    book.line("BEGIN:VCARD");
    book.line("VERSION:2.1");
    if (random.percent(10)) {
        std::string familyLatin = family.romaji, givenLatin = given.romaji;
        familyLatin[0] = static_cast<char>(familyLatin[0] - 'a' + 'A');
        givenLatin[0] = static_cast<char>(givenLatin[0] - 'a' + 'A');
        book.line("N:" + familyLatin + ";" + givenLatin + ";;;");
        book.line("FN:" + givenLatin + " " + familyLatin);
    } else {
        const std::string_view n[] = {family.text, given.text, "", "", ""};
        qp("N", n);
        const std::string full = family.text + " " + given.text;
        const std::string_view fn[] = {full};
        qp("FN", fn);
        if (random.percent(70)) {
            const std::string_view first[] = {given.reading};
            const std::string_view last[] = {family.reading};
            qp("X-PHONETIC-FIRST-NAME", first);
            qp("X-PHONETIC-LAST-NAME", last);
        }
    }

    static constexpr Weighted kTel[] = {
        {"TEL;CELL:", true, 45},     {"TEL;HOME:", false, 20}, {"TEL;WORK:", false, 15}, {"TEL;FAX:", false, 4},
        {"TEL;WORK;FAX:", false, 4}, {"TEL;VOICE:", false, 6}, {"TEL;PAGER:", true, 1},  {"TEL;X-CUSTOM:", false, 5},
    };
    const std::uint32_t tels = random.between(1, 4);
    for (std::uint32_t t = 0; t < tels; ++t) {
        const auto& tel = pickWeighted(random, kTel);
        if (tel.head == "TEL;X-CUSTOM:") {
            // A label the owner typed, QUOTED-PRINTABLE inside the parameter.
            book.put("TEL;X-CUSTOM(CHARSET=UTF-8,ENCODING=QUOTED-PRINTABLE,");
            for (unsigned char c : random.pick(words.labels)) {
                static constexpr char kHexDigits[] = "0123456789ABCDEF";
                book.put('=');
                book.put(kHexDigits[c >> 4]);
                book.put(kHexDigits[c & 15]);
            }
            book.put("):");
        } else {
            book.put(tel.head);
        }
        phoneNumber(book, random, tel.mobile, random.percent(70) ? NumberStyle::hyphens : NumberStyle::digitsOnly);
        book.endLine();
    }
    static constexpr std::string_view kEmail[] = {
        "EMAIL;HOME:", "EMAIL;WORK:", "EMAIL;CELL:", "EMAIL;OTHER:", "EMAIL;INTERNET:"};
    const std::uint32_t emails = random.below(4);
    for (std::uint32_t e = 0; e < emails; ++e) {
        const std::string_view head = random.pick(kEmail);
        book.put(head);
        emailAddress(book, random, family, given, head == "EMAIL;WORK:");
        book.endLine();
    }
    if (random.percent(35)) {
        const AddressParts adr(random, words);
        const auto parts = adr.components(words, random.percent(60));
        qp(random.percent(75) ? "ADR;HOME" : "ADR;WORK", parts);
    }
    if (random.percent(35)) {
        const std::string_view org[] = {random.pick(words.companies), random.pick(words.departments)};
        qp("ORG", std::span(org, random.percent(50) ? 2 : 1));
        if (random.percent(40)) {
            const std::string_view title[] = {random.pick(words.titles)};
            qp("TITLE", title);
        }
    }
    if (random.percent(10)) {
        book.put("URL:https://");
        book.put(family.romaji);
        book.line(".example.com/");
    }
    if (random.percent(30)) {
        const std::string note = noteText(random, words, "\n", {20, 5, 16});
        const std::string_view parts[] = {note};
        qp("NOTE", parts);
    }
    if (random.percent(25)) birthdayLine(book, "BDAY:", randomBirthday(random), true);
    if (random.percent(10)) {
        // Android's custom rows carry fifteen components, most of them empty.
        std::array<std::string_view, 15> nick{};
        nick[0] = "vnd.android.cursor.item/nickname";
        nick[1] = random.pick(words.nicknames);
        nick[2] = "1";
        qp("X-ANDROID-CUSTOM", nick);
    }
    if (random.percent(12)) {
        foldedBase64(book, "PHOTO;ENCODING=BASE64;JPEG:", photo(random, 3 * 1024, 20 * 1024), 76, "  ", true);
        book.endLine();
    }
    book.line("END:VCARD");
}

// ---------------------------------------------------------------------------
// iPhone, vCard 3.0: UTF-8 without charset parameters, lower-case type=
// parameters repeated per type, extra numbers, addresses, pages and related
// names on itemN. groups with X-ABLabel lines, photos in the one-letter b
// encoding folded at 75 columns.

void iphoneContact(Book& book, Random& random, const Words& words, std::uint32_t) {
    const auto& family = random.pick(words.family);
    const auto& given = random.pick(words.given);

    book.line("BEGIN:VCARD");
    book.line("VERSION:3.0");
    book.line("PRODID:-//Example Inc.//Phone OS 17.5//EN");
    {
        const std::string_view n[] = {family.text, given.text, "", "", ""};
        plainComponents(book, "N:", n);
    }
    book.put("FN:");
    book.put(family.text);
    book.put(' ');
    book.line(given.text);
    if (random.percent(60)) {
        book.put("X-PHONETIC-LAST-NAME:");
        book.line(family.reading);
        book.put("X-PHONETIC-FIRST-NAME:");
        book.line(given.reading);
    }
    if (random.percent(8)) {
        book.put("NICKNAME:");
        book.line(random.pick(words.nicknames));
    }
    if (random.percent(30)) {
        book.put("ORG:");
        book.put(random.pick(words.companies));
        book.put(';');
        if (random.percent(50)) book.put(random.pick(words.departments));
        book.endLine();
        if (random.percent(40)) {
            book.put("TITLE:");
            book.line(random.pick(words.titles));
        }
    }

    std::uint32_t item = 0;
    auto itemHead = [&](std::string_view rest) {
        book.put("item");
        book.put(std::to_string(++item));
        book.put('.');
        book.put(rest);
    };
    auto label = [&](std::string_view text) {
        book.put("item");
        book.put(std::to_string(item));
        book.put(".X-ABLabel:");
        book.line(text);
    };

    const std::uint32_t emails = random.below(3);
    for (std::uint32_t e = 0; e < emails; ++e) {
        if (random.percent(30)) {
            itemHead(e == 0 ? "EMAIL;type=INTERNET;type=pref:" : "EMAIL;type=INTERNET:");
            emailAddress(book, random, family, given, false);
            book.endLine();
            label("_$!<Other>!$_");
        } else {
            const bool work = random.percent(35);
            book.put(work ? "EMAIL;type=INTERNET;type=WORK" : "EMAIL;type=INTERNET;type=HOME");
            book.put(e == 0 ? ";type=pref:" : ":");
            emailAddress(book, random, family, given, work);
            book.endLine();
        }
    }
    static constexpr Weighted kTel[] = {
        {"TEL;type=CELL;type=VOICE", true, 45},
        {"TEL;type=HOME;type=VOICE", false, 20},
        {"TEL;type=WORK;type=VOICE", false, 15},
        {"TEL;type=MAIN", false, 5},
        {"TEL;type=HOME;type=FAX", false, 3},
        {"TEL;type=WORK;type=FAX", false, 4},
        {"TEL;type=OTHER;type=VOICE", false, 3},
        {"TEL;type=PAGER", true, 1},
        {"item", false, 4},
    };
    const std::uint32_t tels = random.between(1, 4);
    for (std::uint32_t t = 0; t < tels; ++t) {
        const auto& tel = pickWeighted(random, kTel);
        if (tel.head == "item") {
            itemHead("TEL:");
            phoneNumber(book, random, random.percent(50));
            book.endLine();
            label(random.pick(words.labels));
            continue;
        }
        book.put(tel.head);
        book.put(t == 0 ? ";type=pref:" : ":");
        phoneNumber(book, random, tel.mobile);
        book.endLine();
    }
    if (random.percent(35)) {
        const AddressParts adr(random, words);
        const auto parts = adr.components(words, true);
        itemHead(random.percent(75) ? "ADR;type=HOME;type=pref:" : "ADR;type=WORK;type=pref:");
        plainComponents(book, "", parts);
        book.put("item");
        book.put(std::to_string(item));
        book.line(".X-ABADR:jp");
    }
    if (random.percent(10)) {
        itemHead("URL;type=pref:https://www.");
        book.put(family.romaji);
        book.line(".example.jp/");
        label("_$!<HomePage>!$_");
    }
    if (random.percent(30)) {
        const Birthday b = randomBirthday(random);
        birthdayLine(book, random.percent(50) ? "BDAY;value=date:" : "BDAY:", b, true);
    }
    if (random.percent(5)) {
        itemHead("X-ABRELATEDNAMES;type=pref:");
        book.line(random.pick(words.family).text);
        label(random.percent(50) ? "_$!<Mother>!$_" : "_$!<Friend>!$_");
    }
    if (random.percent(25)) {
        const std::string note = noteText(random, words, "\\n", {20, 4, 14});
        book.put("NOTE:");
        book.line(note);
    }
    if (random.percent(20)) {
        foldedBase64(book, "PHOTO;ENCODING=b;TYPE=JPEG:", photo(random, 3 * 1024, 30 * 1024), 75, " ", true);
    }
    book.line("END:VCARD");
}

}  // namespace velmora::bench
