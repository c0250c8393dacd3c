// The address-book generator behind velmora-genbook, the micro-benchmarks and
// the generator's test: realistic contacts in the dialects that phones export,
// the same bytes for the same style, line end and seed. Every dialect is one
// table in book_generator.cpp of the lines its phone writes; the dialects are
// listed in bench/README.md.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::bench {

enum class BookStyle { feature, smart, carrierA, carrierB, carrierC, android, iphone };

// Every style, in the order of BookStyle.
inline constexpr BookStyle kAllStyles[] = {BookStyle::feature,  BookStyle::smart,    BookStyle::carrierA,
                                           BookStyle::carrierB, BookStyle::carrierC, BookStyle::android,
                                           BookStyle::iphone};

// The name of a style on velmora-genbook's command line ("carrier-a"), and back.
std::string_view styleName(BookStyle style);
std::optional<BookStyle> styleNamed(std::string_view name);

enum class LineEnd { crlf, lf };

class BookGenerator {
public:
    // CRLF and LF books of one style and seed hold the same contacts; each
    // style draws its own sequence from the seed.
    BookGenerator(BookStyle style, LineEnd lineEnd, std::uint64_t seed);
    ~BookGenerator();
    BookGenerator(const BookGenerator&) = delete;
    BookGenerator& operator=(const BookGenerator&) = delete;

    // Appends the next contact, BEGIN:VCARD to END:VCARD and whatever the
    // dialect writes after it, with its line ends.
    void appendContact(std::string& out);

    // Contacts appended so far.
    std::uint32_t contacts() const { return contacts_; }

private:
    struct State;
    std::unique_ptr<State> state_;
    std::uint32_t contacts_ = 0;
};

// A whole book held in memory: contacts until the text reaches `size` bytes
// (it ends with the contact that reaches it).
std::string generateBook(BookStyle style, LineEnd lineEnd, std::uint64_t size, std::uint64_t seed);

}  // namespace velmora::bench
