// velmora-genbook: writes a large, realistic vCard address book for the
// benchmarks, the same bytes for the same options and seed.
//
//   velmora-genbook [--style STYLE] [--eol crlf|lf] [--size N[K|M|G]] [--seed N] OUT
//
// STYLE is one of feature, smart, carrier-a, carrier-b, carrier-c, android
// and iphone (default feature), described in book_generator.h. The book ends after the
// contact that brings it to --size bytes (K, M and G count 1024, 1024^2 and
// 1024^3; the default is 10M). It is written under a temporary name and
// renamed when complete, so a half-written book is never mistaken for a
// finished one. Prints the number of contacts and bytes written.
#include "book_generator.h"

#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::bench {
namespace {

struct Options {
    BookStyle style = BookStyle::feature;
    LineEnd lineEnd = LineEnd::crlf;
    std::uint64_t size = 10ull << 20;
    std::uint64_t seed = 1;
    std::filesystem::path out;
};

std::optional<std::uint64_t> parseSize(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end == text.data()) return std::nullopt;
    const std::string_view suffix(end, static_cast<std::size_t>(text.data() + text.size() - end));
    if (suffix.empty()) return value;
    if (suffix == "K" || suffix == "k") return value << 10;
    if (suffix == "M" || suffix == "m") return value << 20;
    if (suffix == "G" || suffix == "g") return value << 30;
    return std::nullopt;
}

[[noreturn]] void usage() {
    std::fputs(
        "usage: velmora-genbook [--style STYLE] [--eol crlf|lf] [--size N[K|M|G]] [--seed N] OUT\n"
        "STYLE: feature, smart, carrier-a, carrier-b, carrier-c, android or iphone\n",
        stderr);
    std::exit(2);
}

Options parseOptions(int argc, char** argv) {
    Options o;
    bool haveOut = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        auto value = [&]() -> std::string_view {
            if (i + 1 >= argc) usage();
            return argv[++i];
        };
        if (arg == "--style") {
            const auto style = styleNamed(value());
            if (!style) usage();
            o.style = *style;
        } else if (arg == "--eol") {
            const auto v = value();
            if (v == "crlf")
                o.lineEnd = LineEnd::crlf;
            else if (v == "lf")
                o.lineEnd = LineEnd::lf;
            else
                usage();
        } else if (arg == "--size") {
            const auto v = parseSize(value());
            if (!v) usage();
            o.size = *v;
        } else if (arg == "--seed") {
            const auto v = value();
            const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), o.seed);
            if (ec != std::errc() || end != v.data() + v.size()) usage();
        } else if (!arg.empty() && arg[0] != '-' && !haveOut) {
            o.out = arg;
            haveOut = true;
        } else {
            usage();
        }
    }
    if (!haveOut) usage();
    return o;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

int run(const Options& options) {
    const auto started = std::chrono::steady_clock::now();
    BookGenerator generator(options.style, options.lineEnd, options.seed);

    std::filesystem::path partial = options.out;
    partial += ".partial";
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(partial.c_str(), "wb"));
    if (!file) {
        std::perror(partial.c_str());
        return 1;
    }

    // Contacts are collected in a few megabytes and written in one call each.
    constexpr std::size_t kBlock = 4u << 20;
    std::string block;
    block.reserve(kBlock + (256u << 10));
    std::uint64_t written = 0;
    bool ok = true;
    while (ok && written + block.size() < options.size) {
        generator.appendContact(block);
        if (block.size() >= kBlock || written + block.size() >= options.size) {
            ok = std::fwrite(block.data(), 1, block.size(), file.get()) == block.size();
            written += block.size();
            block.clear();
        }
    }
    ok = ok && std::fclose(file.release()) == 0;
    if (!ok) {
        std::perror(partial.c_str());
        std::filesystem::remove(partial);
        return 1;
    }
    std::error_code ec;
    std::filesystem::rename(partial, options.out, ec);
    if (ec) {
        std::fprintf(stderr, "velmora-genbook: %s: %s\n", options.out.c_str(), ec.message().c_str());
        return 1;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("%s: %u contacts, %llu bytes, %.2f s\n", options.out.c_str(), generator.contacts(),
                static_cast<unsigned long long>(written), seconds);
    return 0;
}

}  // namespace
}  // namespace velmora::bench

int main(int argc, char** argv) {
    return velmora::bench::run(velmora::bench::parseOptions(argc, argv));
}
