// The address-book generator behind velmora-genbook and the micro-benchmarks:
// realistic contacts in the dialects that phones export, the same bytes for
// the same style, line end and seed.
//
// feature: vCard 2.1 as a Japanese feature phone writes it, text in code page
//   932 (Shift_JIS) bytes; names, addresses and notes often QUOTED-PRINTABLE
//   with soft line breaks; half-width katakana readings in SOUND;X-IRMC-N;
//   several TEL and EMAIL types; folded BASE64 photos followed by an empty line.
// smart: vCard 3.0 as a smartphone writes it, UTF-8 text on lines that say
//   CHARSET=UTF-8, TYPE= parameters, folded PHOTO;ENCODING=b values.
// carrier-a, carrier-b, carrier-c: vCard 2.1 in code page 932 as the feature
//   phones of three carriers write it, each with its own order of lines and
//   parameters and its own extra X- lines (about twenty short lines a
//   contact), FN and SOUND readings, group-prefixed lines, QUOTED-PRINTABLE
//   names, addresses and long notes, folded BASE64 photos, empty lines.
// android: vCard 2.1 with CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE on every
//   text line, soft breaks that may split the bytes of one character.
// iphone: vCard 3.0 in UTF-8 without CHARSET parameters, type= parameters,
//   itemN. groups with X-ABLabel lines, PHOTO;ENCODING=b folded at 75 columns.
//
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::bench {

enum class BookStyle { feature, smart, carrierA, carrierB, carrierC, android, iphone };

// The name of a style on velmora-genbook's command line ("carrier-a"), and back.
std::string_view styleName(BookStyle style);
std::optional<BookStyle> styleNamed(std::string_view name);
enum class LineEnd { crlf, lf };

class BookGenerator {
public:
    // CRLF and LF books of one style and seed hold the same contacts; the two
    // styles draw different sequences from the same seed.
    BookGenerator(BookStyle style, LineEnd lineEnd, std::uint64_t seed);
    ~BookGenerator();
    BookGenerator(const BookGenerator&) = delete;
    BookGenerator& operator=(const BookGenerator&) = delete;

    // Appends the next contact, BEGIN:VCARD to END:VCARD with its line end.
    void appendContact(std::string& out);

    // Contacts appended so far.
    std::uint32_t contacts() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// A whole book held in memory: contacts until the text reaches `size` bytes
// (it ends with the contact that reaches it).
std::string generateBook(BookStyle style, LineEnd lineEnd, std::uint64_t size, std::uint64_t seed);

// `size` random bytes that begin like a JPEG file, BASE64 encoded on one line.
std::string randomPhotoBase64(std::uint64_t seed, std::size_t size);

}  // namespace velmora::bench
