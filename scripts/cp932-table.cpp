// Dumps code page 932 as Windows converts it and writes it as the C++ source
// platform/cp932_table.cpp. Built with mingw-w64 and run under Wine with the
// ANSI code page 932 by scripts/cp932-table.sh; not part of the program.
//
// What it asks Windows, and what the table keeps:
//   - IsDBCSLeadByteEx for every byte: the lead-byte ranges;
//   - MultiByteToWideChar(CP_ACP, 0) for every byte alone and for every lead
//     byte followed by every trail byte: the decode table;
//   - WideCharToMultiByte(CP_ACP, 0) for every UTF-16 unit 0x0001-0xFFFF, once
//     with the default character " " and once with none: the encode table,
//     kept as the exceptions to the inverse of the decode table.
// Any answer that the table's shape cannot hold stops the program with a
// message instead of writing a table that would be wrong.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The shape of the table, shared with platform/cp932.h.
constexpr int firstTrail = 0x40;
constexpr int lastTrail = 0xFC;
constexpr std::uint16_t noBytes = 0xFFFF;

[[noreturn]] void fail(const char* what, unsigned value) {
    std::fprintf(stderr, "cp932-table: %s (0x%04X)\n", what, value);
    std::exit(1);
}

std::wstring decode(const std::string& bytes) {
    wchar_t out[8] = {};
    const int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), out, 8);
    if (n <= 0) fail("MultiByteToWideChar failed", static_cast<unsigned char>(bytes[0]));
    return std::wstring(out, static_cast<std::size_t>(n));
}

std::string encode(wchar_t unit, const char* defaultChar) {
    char out[8] = {};
    const int n = WideCharToMultiByte(CP_ACP, 0, &unit, 1, out, 8, defaultChar, nullptr);
    if (n <= 0 || n > 2) fail("WideCharToMultiByte gave no or more than two bytes", unit);
    return std::string(out, static_cast<std::size_t>(n));
}

std::uint16_t asBytes(const std::string& bytes) {
    return bytes.size() == 1 ? static_cast<unsigned char>(bytes[0])
                             : static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[0]) << 8 |
                                                          static_cast<unsigned char>(bytes[1]));
}

// One UTF-16 unit inside a u"" literal: the character itself where it is
// printable, an escape where it is not or would be invisible.
std::string literalUnit(unsigned unit) {
    const bool escape = unit < 0x20 || (unit >= 0x7F && unit <= 0xA0) || unit == '"' || unit == '\\' || unit == '?' ||
                        unit == 0x3000 || (unit >= 0xD800 && unit <= 0xF8FF) || unit >= 0xFFF0;
    char text[16];
    if (escape) {
        std::snprintf(text, sizeof text, "\\u%04X", unit);
    } else if (unit < 0x80) {
        std::snprintf(text, sizeof text, "%c", static_cast<char>(unit));
    } else if (unit < 0x800) {
        std::snprintf(text, sizeof text, "%c%c", 0xC0 | unit >> 6, 0x80 | (unit & 0x3F));
    } else {
        std::snprintf(text, sizeof text, "%c%c%c", 0xE0 | unit >> 12, 0x80 | (unit >> 6 & 0x3F), 0x80 | (unit & 0x3F));
    }
    return text;
}

// Units as lines of u"" literals of at most 32 units each.
void writeUnits(const std::vector<unsigned>& units, const char* indent) {
    for (std::size_t i = 0; i < units.size(); i += 32) {
        std::printf("%su\"", indent);
        for (std::size_t j = i; j < units.size() && j < i + 32; ++j) std::printf("%s", literalUnit(units[j]).c_str());
        std::printf("\"\n");
    }
}

}  // namespace

int main() {
    _setmode(_fileno(stdout), _O_BINARY);
    if (GetACP() != 932) fail("the ANSI code page is not 932", GetACP());
    CPINFOEXW info{};
    if (!GetCPInfoExW(CP_ACP, 0, &info)) fail("GetCPInfoExW failed", 0);
    const unsigned defaultUnit = info.UnicodeDefaultChar;
    const unsigned systemDefault = info.DefaultChar[0];

    std::array<bool, 256> lead{};
    for (int b = 0; b < 256; ++b) lead[b] = IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(b)) != 0;
    std::vector<std::pair<int, int>> leadRanges;
    for (int b = 0; b < 256; ++b) {
        if (!lead[b]) continue;
        if (!leadRanges.empty() && leadRanges.back().second == b - 1) {
            leadRanges.back().second = b;
        } else {
            leadRanges.push_back({b, b});
        }
    }

    // Single bytes; a lead byte alone (at the end of the text, or before a
    // zero byte) decodes to what it decodes to here.
    std::vector<unsigned> single(256);
    for (int b = 0; b < 256; ++b) {
        const std::wstring units = decode(std::string(1, static_cast<char>(b)));
        if (units.size() != 1) fail("a single byte gave other than one unit", b);
        single[b] = units[0];
        if (b < 0x80 && single[b] != static_cast<unsigned>(b)) fail("an ASCII byte does not decode to itself", b);
        if (lead[b] && decode(std::string{static_cast<char>(b), '\0'}) != std::wstring{units[0], L'\0'}) {
            fail("a lead byte before a zero byte decodes otherwise than alone", b);
        }
    }

    // Every lead byte with every non-zero trail byte is one character; trail
    // bytes outside the table's range are the default character.
    std::vector<std::vector<unsigned>> rows;
    for (int b = 0; b < 256; ++b) {
        if (!lead[b]) continue;
        std::vector<unsigned> row;
        for (int t = 1; t < 256; ++t) {
            const std::wstring units = decode(std::string{static_cast<char>(b), static_cast<char>(t)});
            if (units.size() != 1) fail("a lead and a trail byte gave other than one unit", b << 8 | t);
            if (t >= firstTrail && t <= lastTrail) {
                row.push_back(units[0]);
                if (units[0] == 0) fail("a double-byte character decodes to zero", b << 8 | t);
            } else if (units[0] != defaultUnit) {
                fail("a trail byte outside the table's range is not the default character", b << 8 | t);
            }
        }
        rows.push_back(row);
    }

    // The inverse of the decode table, the first code of a character winning:
    // single bytes, then double bytes in ascending order. The encoder's own
    // answers that differ from it are kept as exceptions.
    std::vector<std::uint16_t> inverse(0x10000, noBytes);
    for (int b = 0; b < 256; ++b) {
        if (!lead[b] && inverse[single[b]] == noBytes) inverse[single[b]] = static_cast<std::uint16_t>(b);
    }
    std::size_t rowIndex = 0;
    for (int b = 0; b < 256; ++b) {
        if (!lead[b]) continue;
        for (int t = firstTrail; t <= lastTrail; ++t) {
            const unsigned unit = rows[rowIndex][static_cast<std::size_t>(t - firstTrail)];
            if (inverse[unit] == noBytes) inverse[unit] = static_cast<std::uint16_t>(b << 8 | t);
        }
        ++rowIndex;
    }
    std::vector<std::pair<unsigned, std::uint16_t>> exceptions;
    const char space[] = " ";
    for (unsigned unit = 1; unit <= 0xFFFF; ++unit) {
        const std::string withSpace = encode(static_cast<wchar_t>(unit), space);
        const std::string withNone = encode(static_cast<wchar_t>(unit), nullptr);
        std::uint16_t bytes = asBytes(withSpace);
        if (withSpace != withNone) {
            // Unmapped: the given default character, or the system's own.
            if (withSpace != " " || withNone != std::string(1, static_cast<char>(systemDefault))) {
                fail("an unmapped unit is not replaced by the default character", unit);
            }
            bytes = noBytes;
        }
        if (unit < 0x80 && bytes != unit) fail("an ASCII unit does not encode to itself", unit);
        if (bytes != inverse[unit]) exceptions.push_back({unit, bytes});
    }

    std::printf(
        "// Code page 932 as Windows converts it: generated by scripts/cp932-table.sh\n"
        "// from Windows' own MultiByteToWideChar, WideCharToMultiByte and\n"
        "// IsDBCSLeadByteEx. Do not edit; regenerate with\n"
        "//   bash scripts/cp932-table.sh\n"
        "#include \"platform/cp932.h\"\n"
        "\n"
        "namespace velmora::platform::cp932 {\n"
        "\n"
        "// clang-format off\n");
    std::printf("const ByteRange leadByteRanges[] = {");
    for (std::size_t i = 0; i < leadRanges.size(); ++i) {
        std::printf("%s{0x%02X, 0x%02X}", i ? ", " : "", leadRanges[i].first, leadRanges[i].second);
    }
    std::printf("};\n");
    std::printf("const std::size_t leadRangeCount = %zu;\n\n", leadRanges.size());
    std::printf("const char16_t defaultUnit = 0x%04X;\n", defaultUnit);
    std::printf("const char systemDefaultChar = 0x%02X;\n\n", systemDefault);
    std::printf("// Each byte alone; a lead byte alone is the default character.\n");
    std::printf("const char16_t singleByteUnits[257] =\n");
    writeUnits(single, "    ");
    std::printf("    ;\n\n");
    std::printf("// One row per lead byte, in ascending order: the trail bytes 0x%02X to 0x%02X.\n", firstTrail,
                lastTrail);
    std::printf("const char16_t doubleByteUnits[][trailCount + 1] = {\n");
    rowIndex = 0;
    for (int b = 0; b < 256; ++b) {
        if (!lead[b]) continue;
        std::printf("    // 0x%02X\n", b);
        writeUnits(rows[rowIndex++], "    ");
        std::printf("    ,\n");
    }
    std::printf("};\n");
    std::printf("const std::size_t leadByteCount = %zu;\n\n", rows.size());
    std::printf(
        "// Where the encoder does not give the first code that decodes to a unit:\n"
        "// the best-fit mappings, the codes chosen among duplicates, and units that\n"
        "// have no code (noBytes).\n");
    std::printf("const UnitBytes encodeExceptions[] = {\n");
    for (std::size_t i = 0; i < exceptions.size(); i += 6) {
        std::printf("   ");
        for (std::size_t j = i; j < exceptions.size() && j < i + 6; ++j) {
            std::printf(" {0x%04X, 0x%04X},", exceptions[j].first, exceptions[j].second);
        }
        std::printf("\n");
    }
    std::printf("};\nconst std::size_t encodeExceptionCount = %zu;\n", exceptions.size());
    std::printf("// clang-format on\n\n}  // namespace velmora::platform::cp932\n");
    std::fprintf(stderr, "cp932-table: %zu lead bytes, %zu encode exceptions\n", rows.size(), exceptions.size());
    return 0;
}
