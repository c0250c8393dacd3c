#include "vcard/tokens.h"

#include <cstring>

#include "platform/platform.h"

namespace velmora {
namespace {

constexpr unsigned char upper(unsigned char c) { return (c >= 'a' && c <= 'z') ? c - ('a' - 'A') : c; }

// Whether `upperKeyword` (already upper-cased) occurs in `text` upper-cased.
bool containsFolded(std::string_view text, std::string_view upperKeyword) {
    const std::size_t k = upperKeyword.size();
    if (k == 0) return true;
    if (text.size() < k) return false;
    const unsigned char first = static_cast<unsigned char>(upperKeyword[0]);
    for (std::size_t i = 0; i + k <= text.size(); ++i) {
        if (upper(static_cast<unsigned char>(text[i])) != first) continue;
        std::size_t j = 1;
        while (j < k && upper(static_cast<unsigned char>(text[i + j])) ==
                            static_cast<unsigned char>(upperKeyword[j]))
            ++j;
        if (j == k) return true;
    }
    return false;
}

}  // namespace

std::size_t findUnescaped(std::string_view text, char separator, bool escapeAware) {
    const auto& lead = platform::leadByteTable();
    // One walk from the start of the text judges every byte as the C
    // runtime's multibyte type test would, without walking again per byte:
    // after a lead byte comes its second byte, and the byte after that is
    // judged afresh.
    bool afterLead = false;
    bool afterBackslash = false;  // the previous byte is a single-byte backslash
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (afterLead) {
            afterLead = false;
            afterBackslash = false;
            if (c == static_cast<unsigned char>(separator)) return i;
            continue;
        }
        if (c == static_cast<unsigned char>(separator)) {
            if (!escapeAware || !afterBackslash) return i;
            afterBackslash = false;  // escaped: the search goes on behind it
            continue;
        }
        afterBackslash = (c == '\\');
        afterLead = lead[c];
    }
    return std::string_view::npos;
}

void splitTokens(std::string_view text, char separator, bool escapeAware, TokenList& tokens,
                 std::size_t maxSplits) {
    tokens.clear();
    std::size_t start = 0;
    for (;;) {
        if (maxSplits != 0 && tokens.size() >= maxSplits) {
            tokens.push_back(text.substr(start));
            return;
        }
        const std::size_t end = findUnescaped(text.substr(start), separator, escapeAware);
        if (end == std::string_view::npos) {
            tokens.push_back(text.substr(start));
            return;
        }
        tokens.push_back(text.substr(start, end));
        start += end + 1;
    }
}

std::string_view namePart(std::string_view line) {
    const std::size_t colon = line.find(':');
    return colon == std::string_view::npos ? line : line.substr(0, colon);
}

std::string_view valuePart(std::string_view line, bool& hasValue) {
    const std::size_t colon = line.find(':');
    hasValue = colon != std::string_view::npos;
    return hasValue ? line.substr(colon + 1) : std::string_view();
}

void splitPropertyLine(std::string_view line, TokenList& nameTokens, TokenList& valueTokens) {
    splitTokens(namePart(line), ';', true, nameTokens);
    bool hasValue = false;
    const std::string_view value = valuePart(line, hasValue);
    if (hasValue)
        splitTokens(value, ';', true, valueTokens);
    else
        valueTokens.clear();
}

bool hasParam(std::string_view keyword, std::span<const std::string_view> tokens) {
    char buffer[64];
    std::string upperKeywordStorage;
    std::string_view upperKeyword;
    if (keyword.size() <= sizeof buffer) {
        for (std::size_t i = 0; i < keyword.size(); ++i)
            buffer[i] = static_cast<char>(upper(static_cast<unsigned char>(keyword[i])));
        upperKeyword = std::string_view(buffer, keyword.size());
    } else {
        upperKeywordStorage.assign(keyword);
        for (char& c : upperKeywordStorage) c = static_cast<char>(upper(static_cast<unsigned char>(c)));
        upperKeyword = upperKeywordStorage;
    }
    for (std::string_view token : tokens)
        if (containsFolded(token, upperKeyword)) return true;
    return false;
}

bool equalsIgnoreCase(std::string_view text, std::string_view expected) {
    if (text.size() != expected.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (upper(static_cast<unsigned char>(text[i])) != upper(static_cast<unsigned char>(expected[i])))
            return false;
    return true;
}

}  // namespace velmora
