// Value decoding: transfer encodings (BASE64, QUOTED-PRINTABLE), the
// backslash escapes of vCard 3.0, UTF-8 into the ANSI code page, and the
// birthday format.
//
// The decoders accept any text: a value that is not valid in its declared
// encoding is decoded as far as the rules go and never read past its end.
// Running out of memory throws std::bad_alloc, which the loader turns into
// its out-of-memory result.
#pragma once

#include <string>
#include <string_view>

#include "vcard/contact.h"

namespace velmora {

// Decodes values into buffers that it keeps from one value to the next, so
// that a value costs no allocation.
class ValueDecoder {
public:
    // The value as the record stores it: transfer-decoded, cut at its first
    // zero byte, unescaped, then converted from UTF-8 into the ANSI code page
    // (a character the code page lacks becomes one space). Valid until the
    // next call.
    std::string_view decode(std::string_view text, const LineCoding& coding);

private:
    std::string transferred_;
    std::string unescaped_;
    std::string converted_;
};

// The same as a string of its own.
std::string decodeValue(std::string_view text, const LineCoding& coding);

// Eight ASCII digits YYYYMMDD become YYYY/MM/DD; anything else is copied.
std::string formatBirthday(std::string_view text);

}  // namespace velmora
