#include "platform/shift_jis.h"

#include <algorithm>

namespace velmora {

std::size_t shift_jis::cutBetweenCharacters(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) return text.size();
    const auto& lead = platform::leadByteTable();
    std::size_t end = 0;
    for (;;) {
        const std::size_t step = lead[static_cast<unsigned char>(text[end])] ? 2 : 1;
        if (end + step > limit) return end;
        end += step;
    }
}

bool shift_jis::isSecondByte(std::string_view text, std::size_t at) {
    return Walk(text).isSecondByte(at);
}

bool shift_jis::isWellFormed(std::string_view text) {
    const auto& lead = platform::leadByteTable();
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80 || (c >= 0xA1 && c <= 0xDF)) continue;
        if (!lead[c] || ++i == n) return false;
        const auto second = static_cast<unsigned char>(text[i]);
        if (second < 0x40 || second == 0x7F || second > 0xFC) return false;
    }
    return true;
}

bool ascii::isAscii(std::string_view text) {
    return std::none_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

}  // namespace velmora
