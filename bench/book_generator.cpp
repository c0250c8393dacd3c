// The address-book generator: one writer of contacts, and per dialect a table
// of the lines its phone writes, in its order, each with how often it appears
// and how its text is encoded. Every choice is drawn from one seeded random
// sequence in a fixed order, which is what makes a book reproducible.
#include "book_generator.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "vocabulary.h"

namespace velmora::bench {
namespace {

// The random sequence behind every choice. The standard fixes the 64-bit
// Mersenne Twister's output for a seed, so a seed gives the same book on
// every platform.
class Random {
public:
    explicit Random(std::uint64_t seed) : engine_(seed) {}

    std::uint64_t next() { return engine_(); }
    // Uniform in [0, n); the tiny modulo bias does not matter here.
    std::uint32_t below(std::uint32_t n) { return static_cast<std::uint32_t>((next() >> 32) % n); }
    std::uint32_t between(std::uint32_t low, std::uint32_t high) { return low + below(high - low + 1); }
    bool percent(std::uint32_t p) { return p >= 100 || below(100) < p; }
    template <typename List>
    const auto& pick(const List& items) {
        return items[below(static_cast<std::uint32_t>(std::size(items)))];
    }

private:
    std::mt19937_64 engine_;
};

enum class TextEncoding : std::uint8_t { cp932, utf8 };

// Feature phones store readings in half-width katakana; smartphones in
// full-width katakana or in hiragana, as their owners typed them.
enum class ReadingForm : std::uint8_t { halfWidthKatakana, fullWidthKatakana, hiragana };

// vCard 3.0 writes "\", ",", ";" and line breaks in a plain value as "\\",
// "\,", "\;" and "\n"; the vCard 2.1 dialects write plain values as they are.
enum class Escaping : std::uint8_t { none, vcard30 };

// What a line of a dialect's table writes after its name and parameters.
// clang-format off
enum class Value : std::uint8_t {
    line,             // nothing: the head is the whole line
    setting,          // one of `choices`, each "#" in it a random digit
    name, fullName,   // N and FN
    reading,          // SOUND: both readings, laid out as N
    familyReading, givenReading, sortString,
    nickname, group, organization, title, address, note, email,
    androidNickname,  // a nickname in Android's fifteen-component custom row
    telephone,        // a "*" in the head is a custom label, QUOTED-PRINTABLE encoded
    birthday,         // `choices`: what stands between year, month and day
    url,              // `choices`: how the address begins
    photo,            // BASE64 data folded as the dialect folds it
};
// clang-format on

// `percent` of a line written exactly when the line before it was.
constexpr std::uint8_t kWithPrevious = 255;

// One line of a dialect's table. In a head and in `choices`, "|" separates
// alternatives of which each contact gets one, all alike likely. A head that
// begins with "item." stands for the contact's next group ("item1.",
// "item2.", ...), and the dialect's label line follows the line.
struct Line {
    Value value;
    std::string_view head;       // property name and parameters, without ":"
    std::uint8_t percent = 100;  // share of the contacts that have the line
    std::uint8_t qp = 0;         // text values: share written QUOTED-PRINTABLE
    std::string_view choices = {};
};

struct Photo {
    std::uint32_t smallest = 0, largest = 0;  // BASE64 characters
    std::uint8_t width = 76;                  // longest physical line
    std::string_view indent = " ";            // what begins every further line
    bool dataOnHeadLine = false;
    bool emptyLineAfter = false;  // as vCard 2.1 ends a BASE64 value
};

struct Dialect {
    BookStyle style;
    std::string_view name;
    TextEncoding encoding = TextEncoding::cp932;
    ReadingForm readings = ReadingForm::halfWidthKatakana;
    Escaping escaping = Escaping::none;
    std::string_view plainTag = {};  // parameters of a text line written plain
    std::string_view qpTag = {};     // and QUOTED-PRINTABLE
    std::uint8_t qpWidth = 75;       // soft line breaks keep lines within this + 1
    std::string_view noteBreak = "\r\n";
    std::uint8_t latinPercent = 0;            // Latin names; ASCII-only text then goes without parameters
    std::uint8_t digitsOnly = 0;              // share of numbers written without hyphens
    std::string_view itemLabel = {};          // the property that labels a group
    std::array<std::uint8_t, 3> longNotes{};  // share of long notes, fewest and most sentences
    Photo photo = {};
    std::span<const Line> lines = {};
};

// The dialects, laid out by hand: several rows to a line. The telephone and
// e-mail heads repeat as often as they are common; a contact has one line of
// each, and more in a falling share of the contacts.
// clang-format off
namespace dialects {
using enum Value;

// Feature phone, vCard 2.1 in code page 932: names, addresses and notes often
// QUOTED-PRINTABLE, half-width readings, photos followed by an empty line.
constexpr std::string_view kFeatureTel = "TEL;CELL|TEL;CELL|TEL;CELL|TEL;PREF;CELL|TEL;HOME|TEL;HOME|TEL;VOICE|"
    "TEL;WORK|TEL;WORK|TEL;WORK;FAX|TEL;PREF|TEL;WORK;CELL|TEL";
constexpr std::string_view kFeatureEmail = "EMAIL;INTERNET|EMAIL;INTERNET|EMAIL;HOME|EMAIL;WORK|EMAIL;CELL|EMAIL";
constexpr Line kFeature[] = {
    {line, "BEGIN:VCARD"}, {line, "VERSION:2.1"},
    {name, "N", 100, 50}, {fullName, "FN", 30}, {reading, "SOUND;X-IRMC-N", 85},
    {telephone, kFeatureTel}, {telephone, kFeatureTel, 75}, {telephone, kFeatureTel, 50}, {telephone, kFeatureTel, 25},
    {email, kFeatureEmail, 75}, {email, kFeatureEmail, 50}, {email, kFeatureEmail, 25},
    {birthday, "BDAY", 30}, {organization, "ORG", 35}, {address, "ADR;HOME", 40, 80}, {url, "URL", 10, 0, "http://www."},
    {note, "NOTE", 30, 100}, {photo, "PHOTO;ENCODING=BASE64;TYPE=JPEG", 8}, {setting, "X-IRMC-LUID", 100, 0, "######"},
    {line, "END:VCARD"}};

// Carrier A: a dozen short settings lines of the handset after the contact's
// own, numbers without hyphens, long notes.
constexpr std::string_view kCarrierATel = "TEL;CELL;VOICE|TEL;CELL;VOICE|TEL;CELL;VOICE|TEL;HOME;VOICE|TEL;HOME;VOICE|"
    "TEL;WORK;VOICE|TEL;PREF;CELL;VOICE|TEL;HOME;FAX|TEL;WORK;FAX|TEL;VOICE|TEL;PAGER|TEL;CAR;VOICE";
constexpr std::string_view kCarrierAEmail = "EMAIL;INTERNET;CELL|EMAIL;INTERNET;CELL|EMAIL;INTERNET|EMAIL;INTERNET;PREF|"
    "EMAIL;INTERNET;HOME|EMAIL;INTERNET;WORK";
constexpr Line kCarrierA[] = {
    {line, "BEGIN:VCARD"}, {line, "VERSION:2.1"},
    {name, "N", 100, 70}, {fullName, "FN", 60, 70}, {reading, "SOUND;X-IRMC-N", 90},
    {telephone, kCarrierATel}, {telephone, kCarrierATel, 67}, {telephone, kCarrierATel, 33},
    {email, kCarrierAEmail, 67}, {email, kCarrierAEmail, 33},
    {address, "ADR;HOME", 35, 100}, {organization, "ORG", 25, 100}, {birthday, "BDAY", 25},
    {url, "URL", 5, 0, "http://www."}, {note, "NOTE", 35, 100}, {photo, "PHOTO;ENCODING=BASE64;TYPE=JPEG", 6},
    {setting, "X-CLASS", 100, 0, "PUBLIC|PUBLIC|PRIVATE"}, {setting, "X-REDUCTION"}, {setting, "X-NO"},
    {setting, "X-DCM-HMN-MODE", 100, 0, "||||1"}, {setting, "X-GNO", 100, 0, "#|1#"}, {group, "X-GN"},
    {setting, "X-DCM-RINGTONE", 100, 0, "||##"}, {setting, "X-DCM-SECRET", 100, 0, "0|0|0|0|0|0|0|0|0|1"},
    {setting, "X-DCM-LED-COLOR", 100, 0, "0#"}, {setting, "X-DCM-ICON"},
    {setting, "X-IRMC-LUID", 100, 0, "0000########"}, {line, "END:VCARD"}};

// Carrier B: every text value QUOTED-PRINTABLE with ENCODING before CHARSET,
// extra numbers and addresses on grouped lines labelled by X-ALIAS, photos
// whose data begins on the PHOTO line, an empty line after every contact.
constexpr std::string_view kCarrierBTel = "TEL;PREF;CELL|TEL;PREF;CELL|TEL;CELL|TEL;HOME|TEL;HOME|TEL;WORK|TEL;FAX|"
    "TEL;VOICE|item.TEL;VOICE";
constexpr std::string_view kCarrierBEmail = "EMAIL;INTERNET;CELL|EMAIL;INTERNET;CELL|EMAIL;INTERNET|"
    "item.EMAIL;INTERNET;WORK";
constexpr Line kCarrierB[] = {
    {line, "BEGIN:VCARD"}, {line, "VERSION:2.1"},
    {name, "N", 100, 100}, {reading, "SOUND;X-IRMC-N", 80, 100},
    {telephone, kCarrierBTel}, {telephone, kCarrierBTel, 67}, {telephone, kCarrierBTel, 33},
    {email, kCarrierBEmail, 67}, {email, kCarrierBEmail, 33},
    {address, "ADR;HOME|ADR;HOME|ADR;HOME|ADR;WORK", 40, 100}, {organization, "ORG", 30, 100},
    {birthday, "BDAY", 30, 0, "|-"}, {note, "NOTE", 40, 100},
    {setting, "X-GNO", 100, 0, "#|1#"}, {group, "X-GN", 100, 100}, {setting, "X-MEMORY-NO", 100, 0, "###"},
    {setting, "X-SECRET", 100, 0, "0|0|0|0|0|0|0|0|0|1"}, {setting, "X-RINGTONE", 100, 0, "|||###"},
    {setting, "X-MAIL-RINGTONE"}, {setting, "X-BLOCK", 100, 0, "0"},
    {photo, "PHOTO;ENCODING=BASE64;TYPE=JPEG", 10}, {setting, "X-IRMC-LUID", 100, 0, "0000########"},
    {line, "END:VCARD"}, {line, ""}};

// Carrier C: plain names with CHARSET=Shift_JIS in mixed case, full-width
// readings, the bare QUOTED-PRINTABLE parameter, X-MOBILE- settings lines,
// photos at the end of the contact without an empty line after them.
constexpr std::string_view kCarrierCTel = "TEL;CELL|TEL;CELL|TEL;CELL|TEL;HOME|TEL;HOME|TEL;WORK;VOICE|TEL;WORK;FAX|"
    "TEL;FAX|TEL|TEL;X-OTHER";
constexpr std::string_view kCarrierCEmail = "EMAIL;INTERNET|EMAIL;CELL|EMAIL;HOME|EMAIL;WORK|EMAIL";
constexpr Line kCarrierC[] = {
    {line, "BEGIN:VCARD"}, {line, "VERSION:2.1"},
    {name, "N"}, {fullName, "FN"}, {reading, "SOUND;X-IRMC-N", 85},
    {telephone, kCarrierCTel}, {telephone, kCarrierCTel, 75}, {telephone, kCarrierCTel, 50}, {telephone, kCarrierCTel, 25},
    {email, kCarrierCEmail, 75}, {email, kCarrierCEmail, 50}, {email, kCarrierCEmail, 25},
    {address, "ADR;HOME", 45, 60}, {organization, "ORG", 30}, {title, "TITLE", 10}, {birthday, "BDAY", 30},
    {url, "URL", 8, 0, "http://"}, {note, "NOTE", 30, 100},
    {setting, "X-GNO", 100, 0, "#|1#"}, {group, "X-MOBILE-GROUP"},
    {setting, "X-MOBILE-SECRET", 100, 0, "OFF|OFF|OFF|OFF|OFF|OFF|OFF|OFF|OFF|ON"},
    {setting, "X-MOBILE-RING", 100, 0, "##"}, {setting, "X-MOBILE-MAIL-RING"},
    {setting, "X-MOBILE-CALL-LIGHT", 100, 0, "#"}, {setting, "X-MOBILE-MAIL-LIGHT", 100, 0, "0"},
    {setting, "X-MOBILE-VIBE", 100, 0, "AUTO"}, {setting, "X-IRMC-LUID", 100, 0, "0000########"},
    {photo, "PHOTO;TYPE=JPEG;ENCODING=BASE64", 7}, {line, "END:VCARD"}};

// Android, vCard 2.1: every text value in UTF-8 QUOTED-PRINTABLE, Latin names
// without any charset, typed labels inside X-CUSTOM(...), nicknames in
// X-ANDROID-CUSTOM rows, photos indented by two blanks.
constexpr std::string_view kAndroidTel = "TEL;CELL|TEL;CELL|TEL;CELL|TEL;CELL|TEL;HOME|TEL;HOME|TEL;WORK|TEL;FAX|"
    "TEL;WORK;FAX|TEL;VOICE|TEL;PAGER|TEL;X-CUSTOM(CHARSET=UTF-8,ENCODING=QUOTED-PRINTABLE,*)";
constexpr std::string_view kAndroidEmail = "EMAIL;HOME|EMAIL;WORK|EMAIL;CELL|EMAIL;OTHER|EMAIL;INTERNET";
constexpr Line kAndroid[] = {
    {line, "BEGIN:VCARD"}, {line, "VERSION:2.1"},
    {name, "N", 100, 100}, {fullName, "FN", 100, 100},
    {givenReading, "X-PHONETIC-FIRST-NAME", 70, 100}, {familyReading, "X-PHONETIC-LAST-NAME", kWithPrevious, 100},
    {telephone, kAndroidTel}, {telephone, kAndroidTel, 75}, {telephone, kAndroidTel, 50}, {telephone, kAndroidTel, 25},
    {email, kAndroidEmail, 75}, {email, kAndroidEmail, 50}, {email, kAndroidEmail, 25},
    {address, "ADR;HOME|ADR;HOME|ADR;HOME|ADR;WORK", 35, 100},
    {organization, "ORG", 35, 100}, {title, "TITLE", 14, 100}, {url, "URL", 10, 0, "https://"},
    {note, "NOTE", 30, 100}, {birthday, "BDAY", 25, 0, "-"}, {androidNickname, "X-ANDROID-CUSTOM", 10, 100},
    {photo, "PHOTO;ENCODING=BASE64;JPEG", 12}, {line, "END:VCARD"}};

// A smartphone's vCard 3.0: UTF-8 without CHARSET, TYPE= lists and repeated
// type= parameters side by side, grouped lines with X-ABLabel, escapes.
constexpr std::string_view kSmartTel = "TEL;TYPE=CELL|TEL;TYPE=CELL|TEL;type=CELL;type=VOICE|TEL;type=CELL;type=VOICE|"
    "TEL;TYPE=HOME,VOICE|TEL;TYPE=HOME,VOICE|TEL;type=WORK;type=VOICE|TEL;TYPE=WORK,FAX|"
    "TEL;type=CELL;type=VOICE;type=pref|TEL;TYPE=VOICE|item.TEL";
constexpr std::string_view kSmartEmail = "EMAIL;TYPE=INTERNET,HOME|EMAIL;TYPE=INTERNET,HOME|EMAIL;type=INTERNET;type=WORK|"
    "EMAIL;TYPE=INTERNET|EMAIL;type=INTERNET;type=HOME;type=pref|item.EMAIL;type=INTERNET";
constexpr Line kSmart[] = {
    {line, "BEGIN:VCARD"}, {line, "VERSION:3.0"}, {name, "N"}, {fullName, "FN"},
    {familyReading, "X-PHONETIC-LAST-NAME", 50}, {givenReading, "X-PHONETIC-FIRST-NAME", kWithPrevious},
    {sortString, "SORT-STRING", 15},
    {telephone, kSmartTel}, {telephone, kSmartTel, 75}, {telephone, kSmartTel, 50}, {telephone, kSmartTel, 25},
    {email, kSmartEmail, 75}, {email, kSmartEmail, 50}, {email, kSmartEmail, 25},
    {address, "item.ADR;type=HOME|ADR;TYPE=HOME|ADR;TYPE=WORK|item.ADR;type=WORK", 40},
    {organization, "ORG", 35}, {title, "TITLE", 12}, {birthday, "BDAY", 30, 0, "-"},
    {url, "URL|item.URL", 15, 0, "https\\://www.|https://www."}, {note, "NOTE", 30},
    {photo, "PHOTO;ENCODING=b;TYPE=JPEG", 10}, {line, "END:VCARD"}};

// The iPhone's vCard 3.0: as the smartphone's, with PRODID, hiragana readings,
// lower-case type= parameters only, and more of the contact on grouped lines.
constexpr std::string_view kIphoneTel = "TEL;type=CELL;type=VOICE;type=pref|TEL;type=CELL;type=VOICE;type=pref|"
    "TEL;type=CELL;type=VOICE|TEL;type=HOME;type=VOICE|TEL;type=HOME;type=VOICE|TEL;type=WORK;type=VOICE|"
    "TEL;type=MAIN|TEL;type=HOME;type=FAX|TEL;type=WORK;type=FAX|TEL;type=OTHER;type=VOICE|TEL;type=PAGER|item.TEL";
constexpr std::string_view kIphoneEmail = "EMAIL;type=INTERNET;type=HOME;type=pref|EMAIL;type=INTERNET;type=WORK|"
    "EMAIL;type=INTERNET;type=HOME|item.EMAIL;type=INTERNET";
constexpr Line kIphone[] = {
    {line, "BEGIN:VCARD"}, {line, "VERSION:3.0"}, {line, "PRODID:-//Example Inc.//Phone OS 17.5//EN"},
    {name, "N"}, {fullName, "FN"},
    {familyReading, "X-PHONETIC-LAST-NAME", 60}, {givenReading, "X-PHONETIC-FIRST-NAME", kWithPrevious},
    {nickname, "NICKNAME", 8}, {organization, "ORG", 30}, {title, "TITLE", 12},
    {email, kIphoneEmail, 67}, {email, kIphoneEmail, 33},
    {telephone, kIphoneTel}, {telephone, kIphoneTel, 75}, {telephone, kIphoneTel, 50}, {telephone, kIphoneTel, 25},
    {address, "item.ADR;type=HOME;type=pref|item.ADR;type=HOME;type=pref|item.ADR;type=WORK;type=pref", 35},
    {url, "item.URL;type=pref", 10, 0, "https\\://www.|https://www."},
    {birthday, "BDAY;value=date|BDAY", 30, 0, "-"}, {nickname, "item.X-ABRELATEDNAMES;type=pref", 5},
    {note, "NOTE", 25}, {photo, "PHOTO;ENCODING=b;TYPE=JPEG", 20}, {line, "END:VCARD"}};

constexpr Dialect kDialects[] = {
    {.style = BookStyle::feature, .name = "feature",
     .plainTag = ";CHARSET=SHIFT_JIS", .qpTag = ";CHARSET=SHIFT_JIS;ENCODING=QUOTED-PRINTABLE",
     .photo = {2732, 10924, 77, " ", false, true}, .lines = kFeature},
    {.style = BookStyle::smart, .name = "smart", .encoding = TextEncoding::utf8,
     .readings = ReadingForm::fullWidthKatakana, .escaping = Escaping::vcard30, .itemLabel = "X-ABLabel",
     .photo = {8192, 32768, 75, " ", true, false}, .lines = kSmart},
    {.style = BookStyle::carrierA, .name = "carrier-a",
     .plainTag = ";CHARSET=SHIFT_JIS", .qpTag = ";CHARSET=SHIFT_JIS;ENCODING=QUOTED-PRINTABLE", .digitsOnly = 100,
     .longNotes = {25, 6, 18}, .photo = {2732, 12288, 76, " ", false, true}, .lines = kCarrierA},
    {.style = BookStyle::carrierB, .name = "carrier-b",
     .plainTag = ";CHARSET=SHIFT_JIS", .qpTag = ";ENCODING=QUOTED-PRINTABLE;CHARSET=SHIFT_JIS", .itemLabel = "X-ALIAS",
     .longNotes = {30, 5, 20}, .photo = {2732, 16384, 76, " ", true, true}, .lines = kCarrierB},
    {.style = BookStyle::carrierC, .name = "carrier-c", .readings = ReadingForm::fullWidthKatakana,
     .plainTag = ";CHARSET=Shift_JIS", .qpTag = ";CHARSET=Shift_JIS;QUOTED-PRINTABLE", .qpWidth = 72,
     .digitsOnly = 50, .longNotes = {20, 4, 14}, .photo = {1364, 8192, 72, " ", false, false}, .lines = kCarrierC},
    {.style = BookStyle::android, .name = "android", .encoding = TextEncoding::utf8,
     .readings = ReadingForm::fullWidthKatakana, .plainTag = ";CHARSET=UTF-8",
     .qpTag = ";CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE", .noteBreak = "\n", .latinPercent = 10,
     .digitsOnly = 30, .longNotes = {20, 5, 16}, .photo = {4096, 27308, 76, "  ", true, true}, .lines = kAndroid},
    {.style = BookStyle::iphone, .name = "iphone", .encoding = TextEncoding::utf8, .readings = ReadingForm::hiragana,
     .escaping = Escaping::vcard30, .itemLabel = "X-ABLabel", .longNotes = {20, 4, 14},
     .photo = {4096, 40960, 75, " ", true, false}, .lines = kIphone},
};
}  // namespace dialects
// clang-format on

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
        const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(halfWidth[i + k]); };
        const char32_t cp = ((byte(0) & 0x0F) << 12) | ((byte(1) & 0x3F) << 6) | (byte(2) & 0x3F);
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
        if (form == ReadingForm::hiragana && c >= u'ァ' && c <= u'ヶ' && c != u'ヴ')
            c = static_cast<char16_t>(c - 0x60);
        out += {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
                static_cast<char>(0x80 | (c & 0x3F))};
    }
    return out;
}

// The word lists of vocabulary.h in a book's encoding.
struct Name {
    std::string text, reading, romaji;
};
struct Place {
    std::string region, locality, street, postalPrefix;
};
struct Words {
    std::vector<Name> family, given;
    std::vector<Place> places;
    std::vector<std::string> buildings, companies, departments, titles, notes, groups, nicknames, labels;
    std::string country, nameSpace;  // nameSpace: what FN puts between family and given name

    explicit Words(const Dialect& d) {
        const bool toCp932 = d.encoding == TextEncoding::cp932;
        auto encode = [&](std::string_view utf8) { return toCp932 ? cp932(utf8) : std::string(utf8); };
        auto names = [&](std::span<const PersonName> list, std::vector<Name>& to) {
            for (const auto& n : list) {
                const bool half = d.readings == ReadingForm::halfWidthKatakana;
                to.push_back({encode(n.kanji),
                              encode(half ? std::string(n.reading) : wideReading(n.reading, d.readings)),
                              std::string(n.romaji)});
            }
        };
        names(kFamilyNames, family);
        names(kGivenNames, given);
        for (const auto& p : kPlaces)
            places.push_back({encode(p.region), encode(p.locality), encode(p.street), std::string(p.postalPrefix)});
        const std::pair<std::span<const std::string_view>, std::vector<std::string>*> lists[] = {
            {kBuildings, &buildings}, {kCompanies, &companies}, {kDepartments, &departments}, {kTitles, &titles},
            {kNoteSentences, &notes}, {kGroups, &groups},       {kNicknames, &nicknames},     {kLabels, &labels}};
        for (const auto& [from, to] : lists)
            for (auto s : from) to->push_back(encode(s));
        country = encode("日本");
        nameSpace = toCp932 ? encode("　") : " ";
    }
};

constexpr char kHex[] = "0123456789ABCDEF";

// Writes contacts from a dialect's table.
class ContactWriter {
public:
    ContactWriter(BookStyle style, LineEnd lineEnd, std::uint64_t seed)
        : d_(*std::ranges::find(dialects::kDialects, style, &Dialect::style)),
          w_(d_),
          // Each dialect draws its own sequence from the seed.
          random_((seed * 2) ^ (static_cast<std::uint64_t>(style) << 56)),
          eol_(lineEnd == LineEnd::crlf ? "\r\n" : "\n") {}

    void write(std::string& out) {
        out_ = &out;
        item_ = 0;
        family_ = &random_.pick(w_.family);
        given_ = &random_.pick(w_.given);
        if (d_.latinPercent > 0 && random_.percent(d_.latinPercent)) {  // without a reading
            latin_[0] = {family_->romaji, "", family_->romaji};
            latin_[1] = {given_->romaji, "", given_->romaji};
            for (Name& n : latin_) n.text[0] = static_cast<char>(n.text[0] - 'a' + 'A');
            family_ = &latin_[0];
            given_ = &latin_[1];
        }
        bool previous = false;
        for (const Line& line : d_.lines) {
            const bool wanted = line.percent == kWithPrevious ? previous : random_.percent(line.percent);
            previous = wanted && writeLine(line);
        }
    }

private:
    // Writes the line; false when the contact has nothing for it.
    bool writeLine(const Line& line) {
        const Name& family = *family_;
        const Name& given = *given_;
        const bool hasReading = !family.reading.empty();
        const std::string_view head = alternative(line.head);
        const std::uint8_t qp = line.qp;
        std::string& out = *out_;
        switch (line.value) {
        case Value::name:
            return text(head, qp, {family.text, given.text, "", "", ""});
        case Value::fullName:
            return text(head, qp, {family.text + w_.nameSpace + given.text});
        case Value::reading:
            return hasReading && text(head, qp, {family.reading, given.reading, "", "", ""});
        case Value::familyReading:
            return hasReading && text(head, qp, {family.reading});
        case Value::givenReading:
            return hasReading && text(head, qp, {given.reading});
        case Value::sortString:
            return hasReading && text(head, qp, {family.reading + " " + given.reading});
        case Value::nickname:
            return text(head, qp, {random_.pick(w_.nicknames)});
        case Value::androidNickname:  // fifteen components, most of them empty
            return text(head, qp,
                        {"vnd.android.cursor.item/nickname", random_.pick(w_.nicknames), "1", "", "", "", "", "", "",
                         "", "", "", "", "", ""});
        case Value::group:
            return text(head, qp, {random_.pick(w_.groups)});
        case Value::organization:
            if (random_.percent(60)) return text(head, qp, {random_.pick(w_.companies), random_.pick(w_.departments)});
            return text(head, qp, {random_.pick(w_.companies)});
        case Value::title:
            return text(head, qp, {random_.pick(w_.titles)});
        case Value::address:
            return address(head, qp);
        case Value::note:
            return text(head, qp, {note()});
        case Value::photo:
            return photo(head);
        case Value::line:
            out += head;
            break;
        case Value::setting:
            putHead(head);
            for (char c : alternative(line.choices)) out += c == '#' ? static_cast<char>('0' + random_.below(10)) : c;
            break;
        case Value::telephone:
            telephone(head);
            break;
        case Value::email:
            email(head);
            break;
        case Value::birthday: {
            const std::string_view separator = alternative(line.choices);
            putHead(head);
            digits(random_.between(1940, 2015), 4);
            out += separator;
            digits(random_.between(1, 12), 2);
            out += separator;
            digits(random_.between(1, 28), 2);
            break;
        }
        case Value::url:
            putHead(head);
            out += alternative(line.choices);
            out += family.romaji + ".example.jp/";
            break;
        }
        endLine();
        return true;
    }

    // One of the "|"-separated alternatives of `list`.
    std::string_view alternative(std::string_view list) {
        const auto count = static_cast<std::uint32_t>(std::count(list.begin(), list.end(), '|')) + 1;
        if (count == 1) return list;
        std::size_t start = 0;
        for (std::uint32_t k = random_.below(count); k > 0; --k) start = list.find('|', start) + 1;
        return list.substr(start, list.find('|', start) - start);
    }

    // Ends the line, and writes the label line of a grouped one.
    void endLine() {
        *out_ += eol_;
        if (!labelDue_) return;
        labelDue_ = false;
        // Smartphones name their own kinds of group in a code of their own.
        std::string label = random_.pick(w_.labels);
        if (d_.escaping == Escaping::vcard30 && random_.percent(50))
            label = labelHead_.find("URL") != labelHead_.npos ? "_$!<HomePage>!$_" : "_$!<Other>!$_";
        *out_ += "item" + std::to_string(item_) + ".";
        text(d_.itemLabel, d_.qpTag.empty() ? 0 : 100, {label});
    }

    // The name and parameters; "item." becomes the contact's next group. The
    // ":" follows unless `colon` is false.
    void putHead(std::string_view head, bool colon = true) {
        if (head.starts_with("item.")) {
            *out_ += "item" + std::to_string(++item_);
            head.remove_prefix(4);
            labelDue_ = !d_.itemLabel.empty();
            labelHead_ = head;
        }
        *out_ += head;
        if (colon) *out_ += ':';
    }

    void digits(std::uint32_t value, int width) {
        char buf[10];
        for (int i = width - 1; i >= 0; --i, value /= 10) buf[i] = static_cast<char>('0' + value % 10);
        out_->append(buf, static_cast<std::size_t>(width));
    }

    // A text value of one or more components, QUOTED-PRINTABLE in `qpPercent`
    // of the lines, plain (with the dialect's escapes) in the others. A line
    // break in a component is the dialect's note break.
    bool text(std::string_view head, std::uint8_t qpPercent, std::initializer_list<std::string> list) {
        const std::span<const std::string> parts(list.begin(), list.size());
        const bool qp = qpPercent > 0 && random_.percent(qpPercent);
        const bool ascii = d_.latinPercent > 0 && std::ranges::all_of(parts, [](const std::string& p) {
                               return std::ranges::all_of(p, [](char c) { return c > 0 && c != '\n'; });
                           });
        std::string& out = *out_;
        putHead(head, false);
        if (!ascii) out += qp ? d_.qpTag : d_.plainTag;
        out += ':';
        if (qp && !ascii) {
            quotedPrintable(out.size() - (out.rfind('\n') + 1), parts);
        } else {
            for (std::size_t i = 0; i < parts.size(); ++i) {
                if (i > 0) out += ';';
                for (char c : parts[i]) {
                    const bool escape =
                        d_.escaping == Escaping::vcard30 && (c == '\\' || c == ',' || c == ';' || c == '\n');
                    if (escape) out += '\\';
                    out += escape && c == '\n' ? 'n' : c;
                }
            }
        }
        endLine();
        return true;
    }

    // The components QUOTED-PRINTABLE encoded and joined by ";", with soft
    // line breaks that keep every physical line within the dialect's width
    // and "=". A break falls between two encoded bytes, also between the
    // bytes of one character, as phones do. Bytes outside printable ASCII,
    // "=", ";" and "\" are escaped: a trail byte 0x5C written bare would
    // escape a following ";" before the value is decoded.
    void quotedPrintable(std::size_t column, std::span<const std::string> parts) {
        auto emit = [&](std::string_view piece) {
            if (column + piece.size() > d_.qpWidth) {
                *out_ += '=';
                *out_ += eol_;
                column = 0;
            }
            *out_ += piece;
            column += piece.size();
        };
        auto encode = [&](unsigned char c) {
            const char escaped[3] = {'=', kHex[c >> 4], kHex[c & 15]};
            const char plain = static_cast<char>(c);
            const bool bare = c > 0x20 && c < 0x7F && c != '=' && c != ';' && c != '\\';
            emit(bare ? std::string_view(&plain, 1) : std::string_view(escaped, 3));
        };
        for (std::size_t i = 0; i < parts.size(); ++i) {
            if (i > 0) emit(";");
            for (unsigned char c : parts[i]) {
                if (c != '\n') encode(c);
                for (char b : c == '\n' ? d_.noteBreak : std::string_view()) encode(static_cast<unsigned char>(b));
            }
        }
    }

    // A mobile number such as 090-1234-5678 or a fixed-line one such as
    // 03-1234-5678 or 045-123-4567, with or without hyphens. A "*" in the head
    // is a label the owner typed.
    void telephone(std::string_view head) {
        if (const std::size_t star = head.find('*'); star != std::string_view::npos) {
            putHead(head.substr(0, star), false);
            for (unsigned char c : random_.pick(w_.labels)) *out_ += {'=', kHex[c >> 4], kHex[c & 15]};
            putHead(head.substr(star + 1));
        } else {
            putHead(head);
        }
        static constexpr std::string_view kMobile[] = {"090-", "080-", "070-"};
        static constexpr std::string_view kArea[] = {"03-", "06-", "045-", "052-", "092-", "011-", "075-"};
        const bool mobile =
            head.find("CELL") != head.npos || head.find("PAGER") != head.npos || head.find("CAR") != head.npos;
        const bool hyphens = !random_.percent(d_.digitsOnly);
        const std::string_view prefix = mobile ? random_.pick(kMobile) : random_.pick(kArea);
        *out_ += hyphens ? prefix : prefix.substr(0, prefix.size() - 1);
        const int middle = mobile || prefix.size() == 3 ? 4 : 3;
        digits(random_.below(middle == 4 ? 10000 : 1000), middle);
        if (hyphens) *out_ += '-';
        digits(random_.below(10000), 4);
    }

    // An address made from the contact's name at a home or work domain, or a
    // carrier's mobile mail address for a CELL line.
    void email(std::string_view head) {
        putHead(head);
        const Name& family = *family_;
        const Name& given = *given_;
        std::string& out = *out_;
        if (head.find("CELL") != head.npos) {
            out += given.romaji + (random_.percent(50) ? "." : "");
            digits(random_.below(1000), 3);
            out += random_.percent(30) ? "..@" : "@";
            out += random_.pick(kMobileMailDomains);
            return;
        }
        const std::uint32_t form = random_.below(3);
        out += form == 1 ? family.romaji + '-' + given.romaji : given.romaji + (form == 0 ? "." + family.romaji : "_");
        if (form > 0) digits(random_.between(1950, 2010) % (form == 1 ? 100 : 10000), form == 1 ? 2 : 4);
        out += '@';
        out += head.find("WORK") != head.npos ? random_.pick(kWorkMailDomains) : random_.pick(kHomeMailDomains);
    }

    // Post-office box, extended address, street, locality, region, postal
    // code, country; many phones leave the country empty.
    bool address(std::string_view head, std::uint8_t qpPercent) {
        const Place& place = random_.pick(w_.places);
        std::string building;
        if (random_.percent(25)) {
            // The room is drawn first: every compiler then draws in the same order.
            const std::uint32_t room = random_.between(101, 905);
            building = random_.pick(w_.buildings) + " " + std::to_string(room);
        }
        std::string street = place.street + std::to_string(random_.between(1, 9));
        for (const std::uint32_t most : {30, 20}) {
            street += '-';
            street += std::to_string(random_.between(1, most));
        }
        std::string postal = place.postalPrefix + "-";
        for (int i = 0; i < 4; ++i) postal += static_cast<char>('0' + random_.below(10));
        const std::string country = random_.percent(50) ? w_.country : std::string();
        return text(head, qpPercent, {"", building, street, place.locality, place.region, postal, country});
    }

    // One to four sentences, or a long note of the dialect's length, with a
    // line break between some of them; a UTF-8 note may end with an emoji.
    std::string note() {
        const auto [longShare, fewest, most] = d_.longNotes;
        const bool isLong = longShare > 0 && random_.percent(longShare);
        std::string s;
        for (std::uint32_t n = isLong ? random_.between(fewest, most) : random_.between(1, 4); n > 0; --n) {
            if (!s.empty() && random_.percent(30)) s += '\n';
            s += random_.pick(w_.notes);
        }
        if (d_.encoding == TextEncoding::utf8 && random_.percent(15)) s += random_.pick(kEmoji);
        return s;
    }

    // Random BASE64 data that begins like a JPEG file, folded into lines of
    // at most the dialect's width: the first after the head when the dialect
    // puts data there, every further line the indent and as much as fits.
    bool photo(std::string_view head) {
        static constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        const Photo& p = d_.photo;
        std::string data = "/9j/4AAQSkZJRgAB";
        for (std::uint32_t n = random_.between(p.smallest, p.largest) / 10; n > 0; --n)
            for (std::uint64_t r = random_.next(), k = 0; k < 10; ++k, r >>= 6) data += kBase64[r & 63];
        data.resize(data.size() / 4 * 4);
        std::string& out = *out_;
        putHead(head);
        std::size_t taken = p.dataOnHeadLine ? p.width - head.size() - 1 : 0;
        out.append(data, 0, taken);
        out += eol_;
        for (const std::size_t step = p.width - p.indent.size(); taken < data.size(); taken += step) {
            out += p.indent;
            out.append(data, taken, step);
            out += eol_;
        }
        if (p.emptyLineAfter) out += eol_;
        return true;
    }

    const Dialect& d_;
    const Words w_;
    Random random_;
    std::string_view eol_;
    std::string* out_ = nullptr;
    const Name* family_ = nullptr;
    const Name* given_ = nullptr;
    Name latin_[2];           // the contact's family and given name in Latin letters
    std::uint32_t item_ = 0;  // the last group number given out
    bool labelDue_ = false;   // a grouped line is being written and wants its label after it
    std::string_view labelHead_;
};

}  // namespace

struct BookGenerator::State : ContactWriter {
    using ContactWriter::ContactWriter;
};

BookGenerator::BookGenerator(BookStyle style, LineEnd lineEnd, std::uint64_t seed)
    : state_(std::make_unique<State>(style, lineEnd, seed)) {}

BookGenerator::~BookGenerator() = default;

void BookGenerator::appendContact(std::string& out) {
    state_->write(out);
    ++contacts_;
}

std::string generateBook(BookStyle style, LineEnd lineEnd, std::uint64_t size, std::uint64_t seed) {
    BookGenerator generator(style, lineEnd, seed);
    std::string text;
    text.reserve(static_cast<std::size_t>(size) + 64 * 1024);
    while (text.size() < size) generator.appendContact(text);
    return text;
}

std::string_view styleName(BookStyle style) {
    return std::ranges::find(dialects::kDialects, style, &Dialect::style)->name;
}

std::optional<BookStyle> styleNamed(std::string_view name) {
    const auto d = std::ranges::find(dialects::kDialects, name, &Dialect::name);
    return d == std::end(dialects::kDialects) ? std::nullopt : std::optional(d->style);
}

}  // namespace velmora::bench
