// The shared pieces of the address-book generator (see book_parts.h).
#include "book_parts.h"

#include "platform/platform.h"
#include "vocabulary.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::bench {
namespace {

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
// voiced and semi-voiced marks folded into the preceding letter, and on to
// hiragana when `form` asks for it (the small and plain katakana letters lie
// 0x60 above their hiragana; the long-vowel mark stays).
std::string wideReading(std::string_view halfWidth, ReadingForm form) {
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
    if (form == ReadingForm::hiragana) {
        for (char16_t& c : wide) {
            if (c >= u'ァ' && c <= u'ヶ' && c != u'ヴ') c = static_cast<char16_t>(c - 0x60);
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

}  // namespace

Words::Words(TextEncoding encoding, ReadingForm readings) {
    auto encode = [&](std::string_view utf8) {
        return encoding == TextEncoding::cp932 ? cp932(utf8) : std::string(utf8);
    };
    auto reading = [&](std::string_view halfWidth) {
        return readings == ReadingForm::halfWidthKatakana ? encode(halfWidth)
                                                          : encode(wideReading(halfWidth, readings));
    };
    for (const auto& n : kFamilyNames) family.push_back({encode(n.kanji), reading(n.reading), std::string(n.romaji)});
    for (const auto& n : kGivenNames) given.push_back({encode(n.kanji), reading(n.reading), std::string(n.romaji)});
    for (const auto& p : kPlaces)
        places.push_back({encode(p.region), encode(p.locality), encode(p.street), std::string(p.postalPrefix)});
    for (auto s : kBuildings) buildings.push_back(encode(s));
    for (auto s : kCompanies) companies.push_back(encode(s));
    for (auto s : kDepartments) departments.push_back(encode(s));
    for (auto s : kTitles) titles.push_back(encode(s));
    for (auto s : kNoteSentences) notes.push_back(encode(s));
    for (auto s : kGroups) groups.push_back(encode(s));
    for (auto s : kNicknames) nicknames.push_back(encode(s));
    for (auto s : kLabels) labels.push_back(encode(s));
    country = encode("日本");
    blank = encode("　");
}

const Weighted& pickWeighted(Random& random, std::span<const Weighted> items) {
    std::uint32_t total = 0;
    for (const auto& item : items) total += item.weight;
    std::uint32_t r = random.below(total);
    for (const auto& item : items) {
        if (r < item.weight) return item;
        r -= item.weight;
    }
    return items.front();
}

void appendDigits(std::string& out, std::uint32_t value, int width) {
    char buf[10];
    for (int i = width - 1; i >= 0; --i) {
        buf[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    out.append(buf, static_cast<std::size_t>(width));
}

namespace {
constexpr char kHex[] = "0123456789ABCDEF";
constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
}  // namespace

void quotedPrintableLine(Book& book, std::string_view head, std::span<const std::string_view> components,
                         std::size_t width) {
    book.put(head);
    std::size_t column = head.size();
    auto emit = [&](std::string_view piece) {
        if (column + piece.size() > width) {
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

void foldedBase64(Book& book, std::string_view head, std::string_view data, std::size_t width, std::string_view indent,
                  bool dataOnFirstLine) {
    book.put(head);
    std::size_t taken = 0;
    if (dataOnFirstLine) {
        taken = std::min(data.size(), width > head.size() ? width - head.size() : 0);
        book.put(data.substr(0, taken));
    }
    book.endLine();
    const std::size_t step = width - indent.size();
    for (std::size_t i = taken; i < data.size(); i += step) {
        book.put(indent);
        book.put(data.substr(i, step));
        book.endLine();
    }
}

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

void phoneNumber(Book& book, Random& random, bool mobile, NumberStyle style) {
    static constexpr std::string_view kMobile[] = {"090-", "080-", "070-"};
    static constexpr std::string_view kArea[] = {"03-", "06-", "045-", "052-", "092-", "011-", "075-"};
    if (mobile) {
        book.put(style == NumberStyle::hyphens ? random.pick(kMobile) : random.pick(kMobile).substr(0, 3));
        book.digits(random.below(10000), 4);
    } else {
        const std::string_view area = random.pick(kArea);
        book.put(style == NumberStyle::hyphens ? area : area.substr(0, area.size() - 1));
        book.digits(random.below(area.size() == 3 ? 10000 : 1000), area.size() == 3 ? 4 : 3);
    }
    if (style == NumberStyle::hyphens) book.put('-');
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

void mobileMailAddress(Book& book, Random& random, const Words::Name& given) {
    book.put(given.romaji);
    if (random.percent(50)) book.put('.');
    book.digits(random.below(1000), 3);
    if (random.percent(30)) book.put("..");
    book.put('@');
    book.put(random.pick(kMobileMailDomains));
}

Birthday randomBirthday(Random& random) {
    return {random.between(1940, 2015), random.between(1, 12), random.between(1, 28)};
}

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

std::string noteText(Random& random, const Words& words, std::string_view lineBreak) {
    std::string s;
    const std::uint32_t sentences = random.between(1, 4);
    for (std::uint32_t i = 0; i < sentences; ++i) {
        if (i > 0 && random.percent(30)) s += lineBreak;
        s += random.pick(words.notes);
    }
    return s;
}

std::string noteText(Random& random, const Words& words, std::string_view lineBreak, const LongNotes& longNotes) {
    if (!random.percent(longNotes.percent)) return noteText(random, words, lineBreak);
    std::string s;
    const std::uint32_t sentences = random.between(longNotes.fewest, longNotes.most);
    for (std::uint32_t i = 0; i < sentences; ++i) {
        if (i > 0 && random.percent(35)) s += lineBreak;
        s += random.pick(words.notes);
    }
    return s;
}

}  // namespace velmora::bench
