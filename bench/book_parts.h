// The pieces every dialect of the address-book generator is built from: the
// seeded random sequence, the word lists in a book's encoding, the output
// buffer, and the writers of the values phones have in common (QUOTED-PRINTABLE
// lines, BASE64 photos, telephone numbers, e-mail addresses, addresses, notes).
// Each dialect's contact writer lives in book_generator.cpp or
// phone_dialects.cpp and is declared at the end of this header.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::bench {

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

// The bytes a book's text is written in.
enum class TextEncoding { cp932, utf8 };

// How a book writes name readings: feature phones in half-width katakana,
// smartphones in full-width katakana or in hiragana, as their owners typed them.
enum class ReadingForm { halfWidthKatakana, fullWidthKatakana, hiragana };

// A property head chosen with a weight, and whether it carries a mobile number.
struct Weighted {
    std::string_view head;
    bool mobile;
    std::uint32_t weight;
};

// One of `items`, each as likely as its weight out of the weights' sum.
const Weighted& pickWeighted(Random& random, std::span<const Weighted> items);

// The word lists of vocabulary.h in the encoding of the book being written.
struct Words {
    struct Name {
        std::string text, reading, romaji;
    };
    struct Address {
        std::string region, locality, street, postalPrefix;
    };
    std::vector<Name> family, given;
    std::vector<Address> places;
    std::vector<std::string> buildings, companies, departments, titles, notes, groups, nicknames, labels;
    std::string country;
    std::string blank;  // the full-width blank between family and given name

    Words(TextEncoding encoding, ReadingForm readings);
};

// `value` as exactly `width` (at most 10) decimal digits, with leading zeros.
void appendDigits(std::string& out, std::uint32_t value, int width);

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

// Writes `head` (property name, parameters and ":") followed by the components
// QUOTED-PRINTABLE encoded and joined by ";", broken into physical lines of at
// most `width` + 1 bytes by soft line breaks ("=" at the end of the line). A
// break falls between two encoded bytes, also between the bytes of one
// character, as phones do. Bytes outside printable ASCII, "=", ";" and "\" are
// escaped; so is the blank.
void quotedPrintableLine(Book& book, std::string_view head, std::span<const std::string_view> components,
                         std::size_t width = 75);

// Writes a BASE64 `data` value folded into lines of at most `width` bytes after
// `indent`: the first line holds `head` and as much data as fits within
// `width` (none when `dataOnFirstLine` is false), every further line `indent`
// and `width` - `indent`.size() more characters. Ends with the line end of the
// last data line.
void foldedBase64(Book& book, std::string_view head, std::string_view data, std::size_t width, std::string_view indent,
                  bool dataOnFirstLine);

// `size` random bytes that start like a JPEG file, BASE64 encoded on one line.
std::string photoBase64(Random& random, std::size_t size);

// How a telephone number is written.
enum class NumberStyle { hyphens, digitsOnly };

// A mobile number such as 090-1234-5678, or a fixed-line one such as 03-1234-5678.
void phoneNumber(Book& book, Random& random, bool mobile, NumberStyle style = NumberStyle::hyphens);

// An address at a home or work domain made from the contact's name.
void emailAddress(Book& book, Random& random, const Words::Name& family, const Words::Name& given, bool work);

// A carrier's mobile mail address: a name, digits and dots before a carrier-like domain.
void mobileMailAddress(Book& book, Random& random, const Words::Name& given);

struct Birthday {
    std::uint32_t year, month, day;
};
Birthday randomBirthday(Random& random);

// The bytes of one street address line such as 丸の内1-2-3.
std::string streetLine(Random& random, const Words::Address& place);

// A postal code such as 100-1234.
std::string postalCode(Random& random, const Words::Address& place);

// One to four sentences; feature phones keep the line breaks typed between
// them as CR LF inside the (QUOTED-PRINTABLE) value.
std::string noteText(Random& random, const Words& words, std::string_view lineBreak);

// How often a dialect's notes are long, and how many sentences a long one has.
struct LongNotes {
    std::uint32_t percent;
    std::uint32_t fewest, most;
};

// A note that is long (`fewest` to `most` sentences, a line break after about
// every third) in `longNotes.percent` of the contacts, and otherwise as short
// as noteText's.
std::string noteText(Random& random, const Words& words, std::string_view lineBreak, const LongNotes& longNotes);

// The contact writers, one per dialect: each appends one contact, BEGIN:VCARD
// to END:VCARD (and whatever the dialect writes after it), drawing every
// choice from `random` in a fixed order. `index` counts the book's contacts.
void featureContact(Book& book, Random& random, const Words& words, std::uint32_t index);
void smartContact(Book& book, Random& random, const Words& words, std::uint32_t index);
void carrierAContact(Book& book, Random& random, const Words& words, std::uint32_t index);
void carrierBContact(Book& book, Random& random, const Words& words, std::uint32_t index);
void carrierCContact(Book& book, Random& random, const Words& words, std::uint32_t index);
void androidContact(Book& book, Random& random, const Words& words, std::uint32_t index);
void iphoneContact(Book& book, Random& random, const Words& words, std::uint32_t index);

}  // namespace velmora::bench
