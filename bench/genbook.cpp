// velmora-genbook: writes a large, realistic vCard address book for the
// benchmarks, or a small one for a test, the same bytes for the same options.
//
//   velmora-genbook [--style STYLE] [--eol crlf|lf] [--size N[K|M|G] | --contacts N] [--seed N] OUT
//
// STYLE is one of feature, smart, carrier-a, carrier-b, carrier-c, android
// and iphone (default feature). The book ends after the contact that brings
// it to --size bytes (K, M and G count 1024, 1024^2 and 1024^3; the default
// is 10M), or after --contacts contacts. It is written under a temporary name
// and renamed when complete, so a half-written book is never mistaken for a
// finished one. Prints the number of contacts and bytes written.
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "book_generator.h"
#include "tool.h"

namespace {

using namespace velmora::bench;

constexpr const char* kUsage =
    "usage: velmora-genbook [--style STYLE] [--eol crlf|lf] [--size N[K|M|G] | --contacts N] [--seed N] OUT\n"
    "STYLE: feature, smart, carrier-a, carrier-b, carrier-c, android or iphone\n";

// A whole number with an optional K, M or G; anything else ends the program.
std::uint64_t number(std::string_view text, bool withUnit) {
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    const std::string_view unit(end, static_cast<std::size_t>(text.data() + text.size() - end));
    if (ec != std::errc() || end == text.data() || unit.size() > 1) usage(kUsage);
    if (unit.empty()) return value;
    const std::size_t power = std::string_view("KMG").find(static_cast<char>(unit[0] & ~0x20));
    if (!withUnit || power == std::string_view::npos) usage(kUsage);
    return value << (10 * (power + 1));
}

}  // namespace

int main(int argc, char** argv) {
    BookStyle style = BookStyle::feature;
    LineEnd lineEnd = LineEnd::crlf;
    std::uint64_t size = 10ull << 20, seed = 1;
    std::optional<std::uint64_t> contacts;
    std::filesystem::path out;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const std::string_view value = i + 1 < argc ? argv[i + 1] : "";
        if (arg == "--style" && styleNamed(value)) {
            style = *styleNamed(value);
        } else if (arg == "--eol" && (value == "crlf" || value == "lf")) {
            lineEnd = value == "crlf" ? LineEnd::crlf : LineEnd::lf;
        } else if (arg == "--size") {
            size = number(value, true);
        } else if (arg == "--contacts") {
            contacts = number(value, false);
        } else if (arg == "--seed") {
            seed = number(value, false);
        } else if (!arg.starts_with("-") && out.empty()) {
            out = arg;
            continue;
        } else {
            usage(kUsage);
        }
        ++i;
    }
    if (out.empty()) usage(kUsage);

    const auto started = std::chrono::steady_clock::now();
    BookGenerator generator(style, lineEnd, seed);
    std::filesystem::path partial = out;
    partial += ".partial";
    std::FILE* file = std::fopen(partial.c_str(), "wb");
    // Contacts are collected in a few megabytes and written in one call each.
    std::string block;
    std::uint64_t written = 0;
    bool ok = file != nullptr;
    for (bool more = contacts ? *contacts > 0 : size > 0; ok && more;) {
        generator.appendContact(block);
        more = contacts ? generator.contacts() < *contacts : written + block.size() < size;
        if (block.size() >= (4u << 20) || !more) {
            ok = std::fwrite(block.data(), 1, block.size(), file) == block.size();
            written += block.size();
            block.clear();
        }
    }
    if (file && std::fclose(file) != 0) ok = false;
    std::error_code ec;
    if (ok) std::filesystem::rename(partial, out, ec);
    if (!ok || ec) {
        std::fprintf(stderr, "velmora-genbook: %s: %s\n", partial.c_str(),
                     ec ? ec.message().c_str() : std::strerror(errno));
        std::filesystem::remove(partial, ec);
        return 1;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("%s: %u contacts, %llu bytes, %.2f s\n", out.c_str(), generator.contacts(),
                static_cast<unsigned long long>(written), seconds);
    return 0;
}
