// The parameter keywords that line assembly and property mapping look for in
// a line's property name and parameters.
#pragma once

#include "vcard/tokens.h"

namespace velmora::keywords {

inline constexpr Keyword shiftJis("SHIFT_JIS");
inline constexpr Keyword utf8("UTF-8");
inline constexpr Keyword base64("BASE64");
inline constexpr Keyword quotedPrintable("QUOTED-PRINTABLE");
inline constexpr Keyword charset("CHARSET");
inline constexpr Keyword encoding("ENCODING");
inline constexpr Keyword version21("2.1");
inline constexpr Keyword version30("3.0");

}  // namespace velmora::keywords
