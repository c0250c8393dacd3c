// Contacts are built from the word lists of vocabulary.h with a seeded random
// sequence; every choice below is drawn from it in a fixed order, which is
// what makes a book reproducible from its seed.
#include "book_generator.h"

#include "platform/platform.h"
#include "vocabulary.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::bench {
namespace {

// xoshiro256** seeded through splitmix64: fast, and the same sequence on every
// platform for a given seed.
class Random {
public:
    explicit Random(std::uint64_t seed) {
        for (auto& word : state_) {
            seed += 0x9E3779B97F4A7C15ull;
            std::uint64_t z = seed;
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
            word = z ^ (z >> 31);
        }
    }

    std::uint64_t next() {
        const std::uint64_t result = rotl(state_[1] * 5, 7) * 9;
        const std::uint64_t t = state_[1] << 17;
        state_[2] ^= state_[0];
        state_[3] ^= state_[1];
        state_[1] ^= state_[2];
        state_[0] ^= state_[3];
        state_[2] ^= t;
        state_[3] = rotl(state_[3], 45);
        return result;
    }

    // Uniform in [0, n); the tiny modulo bias does not matter here.
    std::uint32_t below(std::uint32_t n) { return static_cast<std::uint32_t>((next() >> 32) % n); }
    std::uint32_t between(std::uint32_t low, std::uint32_t high) { return low + below(high - low + 1); }
    bool percent(std::uint32_t p) { return below(100) < p; }

    template <typename T, std::size_t N>
    const T& pick(const T (&items)[N]) {
        return items[below(static_cast<std::uint32_t>(N))];
    }
    template <typename T>
    const T& pick(const std::vector<T>& items) {
        return items[below(static_cast<std::uint32_t>(items.size()))];
    }

private:
    static std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    std::array<std::uint64_t, 4> state_{};
};

// A word of the lists in code page 932, exactly as written: a word with a
// character that the code page has no code for (or only a best fit) stops
// the generator.
std::string cp932(std::string_view utf8) {
    const std::optional<std::string> ansi = velmora::platform::utf8ToAnsi(utf8);
    if (!ansi || velmora::platform::ansiToUtf8(*ansi) != utf8) {
        std::fprintf(stderr, "velmora-genbook: no code page 932 form for \"%.*s\"\n", static_cast<int>(utf8.size()),
                     utf8.data());
        std::exit(2);
    }
    return *ansi;
}

// Half-width katakana (U+FF66..U+FF9F) into full-width katakana, with the
// voiced and semi-voiced marks folded into the preceding letter: smartphones
// store readings in full-width letters.
std::string fullWidthKatakana(std::string_view halfWidth) {
    static constexpr char16_t kFull[] =
        u"ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨラリルレロ"
        u"ワン";
    std::u16string wide;
    for (std::size_t i = 0; i + 2 < halfWidth.size(); i += 3) {  // three UTF-8 bytes each
        const auto b0 = static_cast<unsigned char>(halfWidth[i]);
        const auto b1 = static_cast<unsigned char>(halfWidth[i + 1]);
        const auto b2 = static_cast<unsigned char>(halfWidth[i + 2]);
        const char32_t cp = ((b0 & 0x0F) << 12) | ((b1 & 0x3F) << 6) | (b2 & 0x3F);
        if (cp == 0xFF9E && !wide.empty()) {
            wide.back() = wide.back() == u'ウ' ? u'ヴ' : static_cast<char16_t>(wide.back() + 1);
        } else if (cp == 0xFF9F && !wide.empty()) {
            wide.back() = static_cast<char16_t>(wide.back() + 2);
        } else if (cp >= 0xFF66 && cp <= 0xFF9D) {
            wide.push_back(kFull[cp - 0xFF66]);
        }
    }
    std::string out;
    for (char16_t c : wide) {  // all of them lie in U+3000..U+30FF: three bytes each
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
    return out;
}

// The word lists in the encoding of the book being written.
struct Words {
    struct Name {
        std::string text, reading, romaji;
    };
    struct Address {
        std::string region, locality, street, postalPrefix;
    };
    std::vector<Name> family, given;
    std::vector<Address> places;
    std::vector<std::string> buildings, companies, departments, titles, notes;
    std::string country;
    std::string blank;  // the full-width blank between family and given name

    explicit Words(BookStyle style) {
        auto encode = [&](std::string_view utf8) {
            return style == BookStyle::feature ? cp932(utf8) : std::string(utf8);
        };
        auto reading = [&](std::string_view halfWidth) {
            return style == BookStyle::feature ? cp932(halfWidth) : fullWidthKatakana(halfWidth);
        };
        for (const auto& n : kFamilyNames)
            family.push_back({encode(n.kanji), reading(n.reading), std::string(n.romaji)});
        for (const auto& n : kGivenNames) given.push_back({encode(n.kanji), reading(n.reading), std::string(n.romaji)});
        for (const auto& p : kPlaces)
            places.push_back({encode(p.region), encode(p.locality), encode(p.street), std::string(p.postalPrefix)});
        for (auto s : kBuildings) buildings.push_back(encode(s));
        for (auto s : kCompanies) companies.push_back(encode(s));
        for (auto s : kDepartments) departments.push_back(encode(s));
        for (auto s : kTitles) titles.push_back(encode(s));
        for (auto s : kNoteSentences) notes.push_back(encode(s));
        country = encode("日本");
        blank = encode("　");
    }
};

// `value` as exactly `width` (at most 10) decimal digits, with leading zeros.
void appendDigits(std::string& out, std::uint32_t value, int width) {
    char buf[10];
    for (int i = width - 1; i >= 0; --i) {
        buf[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    out.append(buf, static_cast<std::size_t>(width));
}

// The output buffer with the small formatting steps every contact needs.
class Book {
public:
    Book(std::string& text, std::string_view eol) : text_(text), eol_(eol) {}

    std::string& text() { return text_; }
    void put(std::string_view s) { text_.append(s); }
    void put(char c) { text_.push_back(c); }
    void endLine() { text_.append(eol_); }
    void line(std::string_view s) {
        put(s);
        endLine();
    }

    void digits(std::uint32_t value, int width) { appendDigits(text_, value, width); }

private:
    std::string& text_;
    std::string_view eol_;
};

constexpr char kHex[] = "0123456789ABCDEF";
constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Writes `head` (property name, parameters and ":") followed by the components
// QUOTED-PRINTABLE encoded and joined by ";", broken into physical lines of at
// most 76 bytes by soft line breaks ("=" at the end of the line). A break may
// fall between the two bytes of one double-byte character, as phones do.
void quotedPrintableLine(Book& book, std::string_view head, std::span<const std::string_view> components) {
    book.put(head);
    std::size_t column = head.size();
    auto emit = [&](std::string_view piece) {
        if (column + piece.size() > 75) {
            book.put('=');
            book.endLine();
            column = 0;
        }
        book.put(piece);
        column += piece.size();
    };
    for (std::size_t i = 0; i < components.size(); ++i) {
        if (i > 0) emit(";");
        for (unsigned char c : components[i]) {
            // A trail byte 0x5C stays escaped too: written as a bare backslash
            // it would escape a following ";" before the value is decoded.
            if (c > 0x20 && c < 0x7F && c != '=' && c != ';' && c != '\\') {
                const char plain = static_cast<char>(c);
                emit(std::string_view(&plain, 1));
            } else {
                const char escaped[3] = {'=', kHex[c >> 4], kHex[c & 15]};
                emit(std::string_view(escaped, 3));
            }
        }
    }
    book.endLine();
}

// `size` random bytes that start like a JPEG file, BASE64 encoded.
std::string photoBase64(Random& random, std::size_t size) {
    std::string raw(size, '\0');
    for (std::size_t i = 0; i < size; i += 8) {
        const std::uint64_t r = random.next();
        std::memcpy(raw.data() + i, &r, std::min<std::size_t>(8, size - i));
    }
    static constexpr unsigned char kJpegStart[] = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00};
    std::memcpy(raw.data(), kJpegStart, std::min(size, sizeof kJpegStart));

    std::string out;
    out.reserve((size + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= size; i += 3) {
        const std::uint32_t v = (static_cast<unsigned char>(raw[i]) << 16) |
                                (static_cast<unsigned char>(raw[i + 1]) << 8) | static_cast<unsigned char>(raw[i + 2]);
        out.push_back(kBase64[v >> 18]);
        out.push_back(kBase64[(v >> 12) & 63]);
        out.push_back(kBase64[(v >> 6) & 63]);
        out.push_back(kBase64[v & 63]);
    }
    if (i < size) {
        const bool two = i + 1 < size;
        const std::uint32_t v =
            (static_cast<unsigned char>(raw[i]) << 16) | (two ? static_cast<unsigned char>(raw[i + 1]) << 8 : 0);
        out.push_back(kBase64[v >> 18]);
        out.push_back(kBase64[(v >> 12) & 63]);
        out.push_back(two ? kBase64[(v >> 6) & 63] : '=');
        out.push_back('=');
    }
    return out;
}

// A mobile number such as 090-1234-5678, or a fixed-line one such as 03-1234-5678.
void phoneNumber(Book& book, Random& random, bool mobile) {
    static constexpr std::string_view kMobile[] = {"090-", "080-", "070-"};
    static constexpr std::string_view kArea[] = {"03-", "06-", "045-", "052-", "092-", "011-", "075-"};
    if (mobile) {
        book.put(random.pick(kMobile));
        book.digits(random.below(10000), 4);
    } else {
        const std::string_view area = random.pick(kArea);
        book.put(area);
        book.digits(random.below(area.size() == 3 ? 10000 : 1000), area.size() == 3 ? 4 : 3);
    }
    book.put('-');
    book.digits(random.below(10000), 4);
}

void emailAddress(Book& book, Random& random, const Words::Name& family, const Words::Name& given, bool work) {
    switch (random.below(4)) {
    case 0:
        book.put(given.romaji);
        book.put('.');
        book.put(family.romaji);
        break;
    case 1:
        book.put(family.romaji);
        book.put('-');
        book.put(given.romaji);
        book.digits(random.below(100), 2);
        break;
    case 2:
        book.put(given.romaji.substr(0, 1));
        book.put(family.romaji);
        break;
    default:
        book.put(given.romaji);
        book.put('_');
        book.digits(random.between(1950, 2010), 4);
        break;
    }
    book.put('@');
    book.put(work ? random.pick(kWorkMailDomains) : random.pick(kHomeMailDomains));
}

struct Birthday {
    std::uint32_t year, month, day;
};

Birthday randomBirthday(Random& random) {
    return {random.between(1940, 2015), random.between(1, 12), random.between(1, 28)};
}

// The bytes of one street address line such as 丸の内1-2-3.
std::string streetLine(Random& random, const Words::Address& place) {
    std::string s = place.street;
    s += std::to_string(random.between(1, 9));
    s += '-';
    s += std::to_string(random.between(1, 30));
    s += '-';
    s += std::to_string(random.between(1, 20));
    return s;
}

std::string postalCode(Random& random, const Words::Address& place) {
    std::string s = place.postalPrefix;
    s += '-';
    appendDigits(s, random.below(10000), 4);
    return s;
}

// One to four sentences; feature phones keep the line breaks typed between
// them as CR LF inside the (QUOTED-PRINTABLE) value.
std::string noteText(Random& random, const Words& words, std::string_view lineBreak) {
    std::string s;
    const std::uint32_t sentences = random.between(1, 4);
    for (std::uint32_t i = 0; i < sentences; ++i) {
        if (i > 0 && random.percent(30)) s += lineBreak;
        s += random.pick(words.notes);
    }
    return s;
}

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

    struct TelType {
        std::string_view head;
        bool mobile;
        std::uint32_t weight;
    };
    static constexpr TelType kTel[] = {
        {"TEL;CELL:", true, 30},   {"TEL;PREF;CELL:", true, 10}, {"TEL;HOME:", false, 15},
        {"TEL;VOICE:", false, 10}, {"TEL;WORK:", false, 12},     {"TEL;WORK;FAX:", false, 6},
        {"TEL;PREF:", true, 5},    {"TEL;WORK;CELL:", true, 5},  {"TEL:", true, 7},
    };
    const std::uint32_t tels = random.between(1, 4);
    for (std::uint32_t t = 0; t < tels; ++t) {
        std::uint32_t r = random.below(100);
        const TelType* type = &kTel[0];
        for (const auto& candidate : kTel) {
            if (r < candidate.weight) {
                type = &candidate;
                break;
            }
            r -= candidate.weight;
        }
        book.put(type->head);
        phoneNumber(book, random, type->mobile);
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

    struct TelType {
        std::string_view head;
        bool mobile;
        std::uint32_t weight;
    };
    static constexpr TelType kTel[] = {
        {"TEL;TYPE=CELL:", true, 40},     {"TEL;TYPE=HOME,VOICE:", false, 15}, {"TEL;TYPE=WORK:", false, 12},
        {"TEL;TYPE=WORK,FAX:", false, 6}, {"TEL;TYPE=CELL,PREF:", true, 10},   {"TEL;TYPE=VOICE:", false, 7},
        {"TEL;TYPE=WORK,CELL:", true, 5}, {"TEL;TYPE=HOME:", false, 5},
    };
    const std::uint32_t tels = random.between(1, 4);
    for (std::uint32_t t = 0; t < tels; ++t) {
        std::uint32_t r = random.below(100);
        const TelType* type = &kTel[0];
        for (const auto& candidate : kTel) {
            if (r < candidate.weight) {
                type = &candidate;
                break;
            }
            r -= candidate.weight;
        }
        book.put(type->head);
        phoneNumber(book, random, type->mobile);
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

}  // namespace

struct BookGenerator::State {
    BookStyle style;
    std::string_view eol;
    Words words;
    Random random;
    std::uint32_t contacts = 0;

    State(BookStyle s, LineEnd lineEnd, std::uint64_t seed)
        : style(s),
          eol(lineEnd == LineEnd::crlf ? "\r\n" : "\n"),
          words(s),
          random(seed * 2 + (s == BookStyle::smart ? 1 : 0)) {}
};

BookGenerator::BookGenerator(BookStyle style, LineEnd lineEnd, std::uint64_t seed)
    : state_(std::make_unique<State>(style, lineEnd, seed)) {}

BookGenerator::~BookGenerator() = default;

void BookGenerator::appendContact(std::string& out) {
    Book book(out, state_->eol);
    if (state_->style == BookStyle::feature)
        featureContact(book, state_->random, state_->words, state_->contacts);
    else
        smartContact(book, state_->random, state_->words, state_->contacts);
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

std::string randomPhotoBase64(std::uint64_t seed, std::size_t size) {
    Random random(seed);
    return photoBase64(random, size);
}

}  // namespace velmora::bench
