// Value decoding: transfer encodings (BASE64, QUOTED-PRINTABLE), UTF-8 into
// the ANSI code page, and the birthday format.
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

// The value as the record stores it: transfer-decoded by `transferEncoding`,
// cut at its first zero byte, then converted from UTF-8 when `charset` is
// UTF-8. Writes into `out` (replacing its content), reusing its storage.
void decodeValue(std::string_view text, TransferEncoding transferEncoding, Charset charset, std::string& out);
std::string decodeValue(std::string_view text, TransferEncoding transferEncoding, Charset charset);

// The decoded bytes, zero bytes included. Three bytes per group of four
// characters; a character outside the alphabet counts as 0; a last group of
// k < 4 characters yields k - 1 bytes.
void decodeBase64(std::string_view text, std::string& out);
std::string decodeBase64(std::string_view text);

// "=" and two hexadecimal digits give one byte; "=" with one digit followed by
// anything else gives that digit's value; an "=" not followed by a digit is
// kept as written with the characters it consumes. Every other byte is copied.
void decodeQuotedPrintable(std::string_view text, std::string& out);
std::string decodeQuotedPrintable(std::string_view text);

// UTF-8 into the ANSI code page; a character it cannot represent becomes one
// space.
void utf8ToAnsi(std::string_view text, std::string& out);
std::string utf8ToAnsi(std::string_view text);

// Eight ASCII digits YYYYMMDD become YYYY/MM/DD; anything else is copied.
std::string formatBirthday(std::string_view text);

}  // namespace velmora
