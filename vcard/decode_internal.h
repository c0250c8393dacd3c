// The steps of value decoding, one by one; the reader itself goes through
// ValueDecoder (decode.h). Only tests include this header.
#pragma once

#include <string>
#include <string_view>

#include "vcard/contact.h"

namespace velmora {

// The decoded bytes, zero bytes included. Three bytes per group of four
// characters; a character outside the alphabet counts as 0; a last group of
// k < 4 characters yields k - 1 bytes.
void decodeBase64(std::string_view text, std::string& out);

// "=" and two hexadecimal digits give one byte; "=" with one digit followed by
// anything else gives that digit's value; an "=" not followed by a digit is
// kept as written with the characters it consumes. Every other byte is copied.
void decodeQuotedPrintable(std::string_view text, std::string& out);

// Undoes the escapes of vCard 3.0: "\\" is "\", "\," is ",", "\:" is ":",
// "\n" and "\N" are a line break (CR LF). "\;" stays, since the CSV file
// writes an escaped ";" as a plain one, and so does a backslash before any
// other byte. In code page text a 0x5C that is the second byte of a
// double-byte character is no backslash.
void unescapeValue(std::string_view text, TextEncoding encoding, std::string& out);

// Each step's result as a string of its own, for tests.
inline std::string decodedBase64(std::string_view text) {
    std::string out;
    decodeBase64(text, out);
    return out;
}
inline std::string decodedQuotedPrintable(std::string_view text) {
    std::string out;
    decodeQuotedPrintable(text, out);
    return out;
}

}  // namespace velmora
