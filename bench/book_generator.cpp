// The two dialects the kit started with, feature and smart, and the generator
// that dispatches to every dialect's contact writer. Contacts are built from
// the word lists of vocabulary.h with a seeded random sequence; every choice is
// drawn from it in a fixed order, which is what makes a book reproducible from
// its seed.
#include "book_generator.h"

#include "book_parts.h"
#include "vocabulary.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::bench {

// ---------------------------------------------------------------------------
// Feature phone, vCard 2.1, code page 932.

void featureContact(Book& book, Random& random, const Words& words, std::uint32_t index) {
    const auto& family = random.pick(words.family);
    const auto& given = random.pick(words.given);

    book.line("BEGIN:VCARD");
    book.line("VERSION:2.1");

    if (random.percent(50)) {
        const std::string_view parts[] = {family.text, given.text, "", "", ""};
        quotedPrintableLine(book, "N;CHARSET=SHIFT_JIS;ENCODING=QUOTED-PRINTABLE:", parts);
    } else {
        book.put("N;CHARSET=SHIFT_JIS:");
        book.put(family.text);
        book.put(';');
        book.put(given.text);
        book.line(";;;");
    }
    if (random.percent(30)) {
        book.put("FN;CHARSET=SHIFT_JIS:");
        book.put(family.text);
        book.put(words.blank);
        book.put(given.text);
        book.endLine();
    }
    if (random.percent(85)) {
        book.put("SOUND;X-IRMC-N;CHARSET=SHIFT_JIS:");
        book.put(family.reading);
        book.put(';');
        book.put(given.reading);
        book.line(";;;");
    }

    static constexpr Weighted kTel[] = {
        {"TEL;CELL:", true, 30},   {"TEL;PREF;CELL:", true, 10}, {"TEL;HOME:", false, 15},
        {"TEL;VOICE:", false, 10}, {"TEL;WORK:", false, 12},     {"TEL;WORK;FAX:", false, 6},
        {"TEL;PREF:", true, 5},    {"TEL;WORK;CELL:", true, 5},  {"TEL:", true, 7},
    };
    const std::uint32_t tels = random.between(1, 4);
    for (std::uint32_t t = 0; t < tels; ++t) {
        const auto& tel = pickWeighted(random, kTel);
        book.put(tel.head);
        phoneNumber(book, random, tel.mobile);
        book.endLine();
    }

    static constexpr std::string_view kEmail[] = {
        "EMAIL;INTERNET:", "EMAIL;INTERNET:", "EMAIL;HOME:", "EMAIL;WORK:", "EMAIL;CELL:", "EMAIL:"};
    const std::uint32_t emails = random.below(4);
    for (std::uint32_t e = 0; e < emails; ++e) {
        const std::string_view head = random.pick(kEmail);
        book.put(head);
        emailAddress(book, random, family, given, head == "EMAIL;WORK:");
        book.endLine();
    }

    if (random.percent(30)) {
        const Birthday b = randomBirthday(random);
        book.put("BDAY:");
        book.digits(b.year, 4);
        book.digits(b.month, 2);
        book.digits(b.day, 2);
        book.endLine();
    }

    if (random.percent(35)) {
        book.put("ORG;CHARSET=SHIFT_JIS:");
        book.put(random.pick(words.companies));
        if (random.percent(60)) {
            book.put(';');
            book.put(random.pick(words.departments));
        }
        book.endLine();
    }

    if (random.percent(40)) {
        const auto& place = random.pick(words.places);
        const std::string street = streetLine(random, place);
        const std::string building = random.percent(25)
                                         ? random.pick(words.buildings) + " 20" + std::to_string(random.between(1, 9))
                                         : std::string();
        const std::string postal = postalCode(random, place);
        const std::string_view parts[] = {"", building, street, place.locality, place.region, postal, words.country};
        if (random.percent(80)) {
            quotedPrintableLine(book, "ADR;HOME;CHARSET=SHIFT_JIS;ENCODING=QUOTED-PRINTABLE:", parts);
        } else {
            book.put("ADR;HOME;CHARSET=SHIFT_JIS:");
            for (std::size_t i = 0; i < std::size(parts); ++i) {
                if (i > 0) book.put(';');
                book.put(parts[i]);
            }
            book.endLine();
        }
    }

    if (random.percent(10)) {
        book.put("URL:http://www.");
        book.put(family.romaji);
        book.put(".example.jp/");
        book.endLine();
    }

    if (random.percent(30)) {
        const std::string note = noteText(random, words, "\r\n");
        const std::string_view parts[] = {note};
        quotedPrintableLine(book, "NOTE;CHARSET=SHIFT_JIS;ENCODING=QUOTED-PRINTABLE:", parts);
    }

    if (random.percent(8)) {
        book.line("PHOTO;ENCODING=BASE64;TYPE=JPEG:");
        const std::string data = photoBase64(random, random.between(2 * 1024, 8 * 1024));
        for (std::size_t i = 0; i < data.size(); i += 76) {
            book.put(' ');
            book.put(std::string_view(data).substr(i, 76));
            book.endLine();
        }
        book.endLine();  // vCard 2.1 ends a BASE64 value with an empty line
    }

    book.put("X-IRMC-LUID:");
    book.digits(index % 1000000, 6);
    book.endLine();
    book.line("END:VCARD");
}

// ---------------------------------------------------------------------------
// Smartphone, vCard 3.0, UTF-8.

void smartContact(Book& book, Random& random, const Words& words, std::uint32_t) {
    const auto& family = random.pick(words.family);
    const auto& given = random.pick(words.given);

    book.line("BEGIN:VCARD");
    book.line("VERSION:3.0");
    book.put("N;CHARSET=UTF-8:");
    book.put(family.text);
    book.put(';');
    book.put(given.text);
    book.line(";;;");
    book.put("FN;CHARSET=UTF-8:");
    book.put(family.text);
    book.put(' ');
    book.put(given.text);
    book.endLine();

    const std::uint32_t readingKind = random.below(10);
    if (readingKind < 5) {
        book.put("X-PHONETIC-FIRST-NAME;CHARSET=UTF-8:");
        book.put(given.reading);
        book.endLine();
        book.put("X-PHONETIC-LAST-NAME;CHARSET=UTF-8:");
        book.put(family.reading);
        book.endLine();
    } else if (readingKind < 7) {
        book.put("SORT-STRING;CHARSET=UTF-8:");
        book.put(family.reading);
        book.put(' ');
        book.put(given.reading);
        book.endLine();
    }

    static constexpr Weighted kTel[] = {
        {"TEL;TYPE=CELL:", true, 40},     {"TEL;TYPE=HOME,VOICE:", false, 15}, {"TEL;TYPE=WORK:", false, 12},
        {"TEL;TYPE=WORK,FAX:", false, 6}, {"TEL;TYPE=CELL,PREF:", true, 10},   {"TEL;TYPE=VOICE:", false, 7},
        {"TEL;TYPE=WORK,CELL:", true, 5}, {"TEL;TYPE=HOME:", false, 5},
    };
    const std::uint32_t tels = random.between(1, 4);
    for (std::uint32_t t = 0; t < tels; ++t) {
        const auto& tel = pickWeighted(random, kTel);
        book.put(tel.head);
        phoneNumber(book, random, tel.mobile);
        book.endLine();
    }

    static constexpr std::string_view kEmail[] = {
        "EMAIL;TYPE=INTERNET,HOME:", "EMAIL;TYPE=INTERNET,WORK:", "EMAIL;TYPE=INTERNET:",
        "EMAIL;TYPE=INTERNET,HOME,PREF:", "EMAIL;TYPE=INTERNET,CELL:"};
    const std::uint32_t emails = random.below(4);
    for (std::uint32_t e = 0; e < emails; ++e) {
        const std::string_view head = random.pick(kEmail);
        book.put(head);
        emailAddress(book, random, family, given, head == "EMAIL;TYPE=INTERNET,WORK:");
        book.endLine();
    }

    if (random.percent(40)) {
        const auto& place = random.pick(words.places);
        const std::string street = streetLine(random, place);
        book.put(random.percent(80) ? "ADR;TYPE=HOME;CHARSET=UTF-8:;" : "ADR;TYPE=WORK;CHARSET=UTF-8:;");
        if (random.percent(25)) {
            book.put(random.pick(words.buildings));
            book.put(" 20");
            book.digits(random.between(1, 9), 1);
        }
        book.put(';');
        book.put(street);
        book.put(';');
        book.put(place.locality);
        book.put(';');
        book.put(place.region);
        book.put(';');
        book.put(postalCode(random, place));
        book.put(';');
        book.put(words.country);
        book.endLine();
    }

    if (random.percent(35)) {
        book.put("ORG;CHARSET=UTF-8:");
        book.put(random.pick(words.companies));
        if (random.percent(60)) {
            book.put(';');
            book.put(random.pick(words.departments));
        }
        book.endLine();
        if (random.percent(30)) {
            book.put("TITLE;CHARSET=UTF-8:");
            book.put(random.pick(words.titles));
            book.endLine();
        }
    }

    if (random.percent(30)) {
        const Birthday b = randomBirthday(random);
        book.put("BDAY:");
        book.digits(b.year, 4);
        book.put('-');
        book.digits(b.month, 2);
        book.put('-');
        book.digits(b.day, 2);
        book.endLine();
    }

    if (random.percent(10)) {
        book.put("URL:https://www.");
        book.put(family.romaji);
        book.put(".example.jp/");
        book.endLine();
    }

    if (random.percent(30)) {
        book.put("NOTE;CHARSET=UTF-8:");
        book.put(noteText(random, words, "\\n"));  // vCard 3.0 writes a line break as \n
        if (random.percent(20)) book.put(random.pick(kEmoji));
        book.endLine();
    }

    if (random.percent(10)) {
        // Folded at 75 bytes: the first line carries the start of the data, each
        // continuation line one blank and 74 more characters.
        const std::string data = photoBase64(random, random.between(6 * 1024, 24 * 1024));
        constexpr std::string_view head = "PHOTO;ENCODING=b;TYPE=JPEG:";
        std::size_t take = 75 - head.size();
        book.put(head);
        book.put(std::string_view(data).substr(0, take));
        book.endLine();
        for (std::size_t i = take; i < data.size(); i += 74) {
            book.put(' ');
            book.put(std::string_view(data).substr(i, 74));
            book.endLine();
        }
    }

    book.line("END:VCARD");
}

namespace {

using ContactWriter = void (*)(Book&, Random&, const Words&, std::uint32_t);

// Every dialect's name on the command line, its text encoding, its readings and
// its writer, in the order of BookStyle.
struct Dialect {
    BookStyle style;
    std::string_view name;
    TextEncoding encoding;
    ReadingForm readings;
    ContactWriter writer;
};

constexpr Dialect kDialects[] = {
    {BookStyle::feature, "feature", TextEncoding::cp932, ReadingForm::halfWidthKatakana, featureContact},
    {BookStyle::smart, "smart", TextEncoding::utf8, ReadingForm::fullWidthKatakana, smartContact},
    {BookStyle::carrierA, "carrier-a", TextEncoding::cp932, ReadingForm::halfWidthKatakana, carrierAContact},
    {BookStyle::carrierB, "carrier-b", TextEncoding::cp932, ReadingForm::halfWidthKatakana, carrierBContact},
    {BookStyle::carrierC, "carrier-c", TextEncoding::cp932, ReadingForm::fullWidthKatakana, carrierCContact},
    {BookStyle::android, "android", TextEncoding::utf8, ReadingForm::fullWidthKatakana, androidContact},
    {BookStyle::iphone, "iphone", TextEncoding::utf8, ReadingForm::hiragana, iphoneContact},
};

const Dialect& dialect(BookStyle style) {
    return kDialects[static_cast<std::size_t>(style)];
}

// Each dialect draws its own sequence from the seed; feature and smart keep
// the sequences they have always drawn, so their books stay byte for byte the
// same from one version of the kit to the next.
std::uint64_t dialectSeed(BookStyle style, std::uint64_t seed) {
    const auto n = static_cast<std::uint64_t>(style);
    return n < 2 ? seed * 2 + n : (seed * 2) ^ (n << 56);
}

}  // namespace

struct BookGenerator::State {
    const Dialect& dialect;
    std::string_view eol;
    Words words;
    Random random;
    std::uint32_t contacts = 0;

    State(BookStyle s, LineEnd lineEnd, std::uint64_t seed)
        : dialect(velmora::bench::dialect(s)),
          eol(lineEnd == LineEnd::crlf ? "\r\n" : "\n"),
          words(dialect.encoding, dialect.readings),
          random(dialectSeed(s, seed)) {}
};

BookGenerator::BookGenerator(BookStyle style, LineEnd lineEnd, std::uint64_t seed)
    : state_(std::make_unique<State>(style, lineEnd, seed)) {}

BookGenerator::~BookGenerator() = default;

void BookGenerator::appendContact(std::string& out) {
    Book book(out, state_->eol);
    state_->dialect.writer(book, state_->random, state_->words, state_->contacts);
    ++state_->contacts;
}

std::uint32_t BookGenerator::contacts() const {
    return state_->contacts;
}

std::string generateBook(BookStyle style, LineEnd lineEnd, std::uint64_t size, std::uint64_t seed) {
    BookGenerator generator(style, lineEnd, seed);
    std::string text;
    text.reserve(static_cast<std::size_t>(size) + 64 * 1024);
    while (text.size() < size) generator.appendContact(text);
    return text;
}

std::string_view styleName(BookStyle style) {
    return dialect(style).name;
}

std::optional<BookStyle> styleNamed(std::string_view name) {
    for (const auto& d : kDialects) {
        if (d.name == name) return d.style;
    }
    return std::nullopt;
}

std::string randomPhotoBase64(std::uint64_t seed, std::size_t size) {
    Random random(seed);
    return photoBase64(random, size);
}

}  // namespace velmora::bench
