// Writes two address books that hold every class of character that code
// page converters treat differently, for the comparison of the native and the
// Windows converter in scripts/test-code-page.sh:
//   code_page_utf8.vcf     UTF-8 values (CHARSET=UTF-8), plain and
//                          QUOTED-PRINTABLE, with ill-formed sequences;
//   code_page_utf16le.vcf  the same characters in a UTF-16LE source.
// Both hold every BMP character from U+00A0 up (surrogates included, which
// UTF-8 can only hold as ill-formed encoded surrogates), characters outside
// the BMP, and named examples of each class.
//
//   velmora_code_page_books FOLDER
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Contact {
    std::u32string name;
    std::u32string note;
};

// UTF-8 with no check: a surrogate becomes its three-byte (ill-formed) form.
std::string utf8(const std::u32string& text) {
    std::string out;
    for (const char32_t c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | c >> 18);
            out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string utf16le(const std::string& ascii, const std::u32string& text) {
    std::string out;
    const auto unit = [&](char32_t u) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8 & 0xFF);
    };
    for (const char c : ascii) unit(static_cast<unsigned char>(c));
    for (const char32_t c : text) {
        if (c < 0x10000) {
            unit(c);
        } else {
            unit(0xD800 | (c - 0x10000) >> 10);
            unit(0xDC00 | ((c - 0x10000) & 0x3FF));
        }
    }
    return out;
}

std::string quotedPrintable(const std::string& bytes) {
    std::string out;
    char hex[4];
    for (const char b : bytes) {
        std::snprintf(hex, sizeof hex, "=%02X", static_cast<unsigned char>(b));
        out += hex;
    }
    return out;
}

std::vector<Contact> contacts() {
    std::vector<Contact> book = {
        // Best-fit Latin letters and symbols.
        {U"Stürmer;Gauß", U"Bartholomäus Ångström Øre Łódź œuvre ¥100 © ® ² ½ « » ¡ ¿ Ŝ ǅ ﬁ"},
        // JIS-variant dashes and tildes, and their full-width twins.
        {U"〜−—‖", U"～－―∥ ¢£¬ ‐ ‾ ― ¦"},
        // NEC and IBM extension characters.
        {U"ⅰⅱⅲ;Ⅰ①", U"№℡㈱∵≒≡∫∮√⊥∠∟⊿∩∪ 髙﨑德 ￤＇＂ ¬"},
        // Outside the BMP.
        {U"😀;𠮷野家", U"\U0010FFFF \U00010000 🇯🇵"},
        // Lone surrogates: ill-formed encoded surrogates in UTF-8.
        {U"a\xD800z;b\xDFFFz", U"\xDBFF\xDC00"},
    };
    // Every BMP character from U+00A0, 48 to a contact.
    for (char32_t first = 0xA0; first < 0x10000; first += 48) {
        Contact c{U"U+", {}};
        char number[8];
        std::snprintf(number, sizeof number, "%04X", static_cast<unsigned>(first));
        for (const char* p = number; *p; ++p) c.name += static_cast<char32_t>(*p);
        for (char32_t u = first; u < first + 48 && u < 0x10000; ++u) c.note += u;
        book.push_back(c);
    }
    return book;
}

// Ill-formed UTF-8 inside CHARSET=UTF-8 values: a name and a note, each
// given both as raw bytes and QUOTED-PRINTABLE, some sequences at the end of
// the value.
const char* const illFormed[] = {
    "a\xFF"
    "b",
    "\x80z",
    "\xE3\x81z\xE3\x81\x82",
    "\xC0\xAFz",
    "\xE0\x80\xAFz",
    "\xF0\x80\x80\x80z",
    "\xED\xA0\x80z",
    "\xF4\x90\x80\x80z",
    "\xF5\x80\x80\x80z",
    "\xF8\x88\x80\x80\x80z",
    "a\xE3\x81",
    "\xE3"
    "A",
    "\xF0"
    "A",
    "\xF0\x9F"
    "A",
    "\xF0\x9F\x98",
    "\xC3",
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: velmora_code_page_books FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    std::string book8;
    std::string book16 = "\xFF\xFE";
    for (const Contact& c : contacts()) {
        book8 += "BEGIN:VCARD\r\nVERSION:3.0\r\nN;CHARSET=UTF-8:" + utf8(c.name) +
                 "\r\nNOTE;CHARSET=UTF-8:" + utf8(c.note) + "\r\nEND:VCARD\r\n";
        book16 += utf16le("BEGIN:VCARD\r\nVERSION:3.0\r\nN:", c.name) + utf16le("\r\nNOTE:", c.note) +
                  utf16le("\r\nEND:VCARD\r\n", U"");
    }
    for (const char* bytes : illFormed) {
        book8 += std::string("BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=UTF-8:") + bytes +
                 "\r\nNOTE;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:" + quotedPrintable(bytes) + "\r\nEND:VCARD\r\n";
    }
    std::ofstream(folder + "/code_page_utf8.vcf", std::ios::binary) << book8;
    std::ofstream(folder + "/code_page_utf16le.vcf", std::ios::binary) << book16;
    return 0;
}
