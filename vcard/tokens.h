// Cutting a property line into its name/parameter tokens and its value
// tokens, and the case-insensitive keyword test over tokens.
//
// Tokens are views into the split text, exactly the bytes between two
// separators: nothing is unescaped, trimmed or decoded here.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

namespace velmora {

using TokenList = std::vector<std::string_view>;

// Offset of the first `separator` in `text` that ends a token, or npos.
// With `escapeAware`, a separator right after a single-byte backslash is
// escaped and skipped; a backslash that is the second byte of a double-byte
// character of the ANSI code page escapes nothing, and a separator byte that
// is itself the second byte of such a character always separates.
std::size_t findUnescaped(std::string_view text, char separator, bool escapeAware);

// Replaces `tokens` with the tokens of `text`. A text without a separator is
// one token, the empty text one empty token. With `maxSplits` n > 0 there are
// at most n + 1 tokens, the last one running to the end of the text.
void splitTokens(std::string_view text, char separator, bool escapeAware, TokenList& tokens,
                 std::size_t maxSplits = 0);

// The text before a line's first ":" (the whole line without one).
std::string_view namePart(std::string_view line);

// The text after a line's first ":"; `hasValue` is false without a ":".
std::string_view valuePart(std::string_view line, bool& hasValue);

// Name/parameter tokens: the text before the first ":" split at every
// unescaped ";". Value tokens: the text after it split the same way; empty
// (no token at all) for a line without ":".
void splitPropertyLine(std::string_view line, TokenList& nameTokens, TokenList& valueTokens);

// True when `keyword` occurs as a byte substring of at least one token, both
// sides with the ASCII letters a to z upper-cased.
bool hasParam(std::string_view keyword, std::span<const std::string_view> tokens);

// True when `text` equals `expected` apart from the case of ASCII letters.
bool equalsIgnoreCase(std::string_view text, std::string_view expected);

}  // namespace velmora
