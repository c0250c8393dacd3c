// velmora-micro: Google Benchmark timings of the reader's and writer's hot
// paths on text from the book generator (seed 4), so that a change to one
// step can be judged on its own before the whole conversion is measured.
//
//   build/bench/bench/velmora-micro [--benchmark_filter=REGEX]
//   scripts/bench.sh micro [--benchmark_filter=REGEX]
//
// Every input is prepared once, outside the timed loops: the generated books,
// their logical lines (assembled by the reader's own line assembly, exactly
// as a conversion assembles them), the split tokens and the parsed contact list.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <iterator>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "book_generator.h"
#include "csv/csv_writer.h"
#include "vcard/contact.h"
#include "vcard/decode.h"
#include "vcard/lines.h"
#include "vcard/tokens.h"

namespace {

using velmora::bench::BookStyle;
using velmora::bench::LineEnd;

constexpr std::uint64_t kSeed = 4;
constexpr std::uint64_t kParseSample = 4u << 20;  // whole-text benchmarks
constexpr std::uint64_t kLineSample = 1u << 20;   // per-line and per-value benchmarks

const std::string& book(BookStyle style, LineEnd lineEnd, std::uint64_t size) {
    static std::map<std::tuple<BookStyle, LineEnd, std::uint64_t>, std::string> books;
    auto [it, added] = books.try_emplace({style, lineEnd, size});
    if (added) it->second = velmora::bench::generateBook(style, lineEnd, size, kSeed);
    return it->second;
}

struct LogicalLine {
    std::string text;
    velmora::Charset charset;
    velmora::TransferEncoding encoding;
};

// The logical lines of a 1 MiB book with the codes they are handed over with,
// assembled by the reader's own assembleLogicalLines.
const std::vector<LogicalLine>& logicalLines(BookStyle style) {
    static std::map<BookStyle, std::vector<LogicalLine>> cache;
    auto [it, added] = cache.try_emplace(style);
    if (added) {
        velmora::LineCutter cutter(book(style, LineEnd::lf, kLineSample));
        velmora::assembleLogicalLines(cutter, [&](std::string_view line, const velmora::LineState& state) {
            it->second.push_back({std::string(line), state.charset, state.encoding});
        });
    }
    return it->second;
}

std::size_t totalSize(const std::vector<std::string>& texts) {
    std::size_t n = 0;
    for (const auto& t : texts) n += t.size();
    return n;
}

// The value components (as written, before decoding) of the lines that pass
// `select`.
template <typename Select>
std::vector<std::string> valueTokens(BookStyle style, Select select) {
    std::vector<std::string> values;
    velmora::TokenList tokens;
    for (const auto& line : logicalLines(style)) {
        const std::size_t colon = line.text.find(':');
        if (!select(line) || colon == std::string::npos) continue;
        velmora::splitTokens(std::string_view(line.text).substr(colon + 1), ';', true, tokens);
        for (auto t : tokens) values.emplace_back(t);
    }
    return values;
}

// ---------------------------------------------------------------------------
// Cutting lines: the whole reader on a generated text, from the text to the
// filled contact list.

void BM_ParseVcardText(benchmark::State& st, BookStyle style, LineEnd lineEnd) {
    const std::string& text = book(style, lineEnd, kParseSample);
    std::size_t contacts = 0;
    for (auto _ : st) {
        velmora::ContactList list;
        velmora::parseVcardText(text, list);
        contacts = list.count();
        benchmark::DoNotOptimize(contacts);
    }
    st.SetBytesProcessed(static_cast<std::int64_t>(st.iterations() * text.size()));
    st.SetItemsProcessed(static_cast<std::int64_t>(st.iterations() * contacts));
}
BENCHMARK_CAPTURE(BM_ParseVcardText, feature_crlf, BookStyle::feature, LineEnd::crlf)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ParseVcardText, feature_lf, BookStyle::feature, LineEnd::lf)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ParseVcardText, smart_crlf, BookStyle::smart, LineEnd::crlf)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ParseVcardText, smart_lf, BookStyle::smart, LineEnd::lf)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ParseVcardText, carrier_a_crlf, BookStyle::carrierA, LineEnd::crlf)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ParseVcardText, carrier_b_crlf, BookStyle::carrierB, LineEnd::crlf)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ParseVcardText, carrier_c_crlf, BookStyle::carrierC, LineEnd::crlf)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ParseVcardText, android_crlf, BookStyle::android, LineEnd::crlf)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ParseVcardText, iphone_lf, BookStyle::iphone, LineEnd::lf)->Unit(benchmark::kMillisecond);

// Line assembly alone: every physical line through feedLine, without the
// property mapping behind it.
void BM_FeedLine(benchmark::State& st, BookStyle style) {
    const std::string_view text = book(style, LineEnd::lf, kLineSample);
    std::vector<std::string_view> physical;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        physical.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    for (auto _ : st) {
        velmora::LineState state;
        for (auto line : physical) {
            velmora::feedLine(state, line);
            if (state.state == velmora::AssemblyState::pendingReady ||
                state.state == velmora::AssemblyState::pendingAndLineReady)
                state.reset();
        }
        benchmark::DoNotOptimize(state);
    }
    st.SetBytesProcessed(static_cast<std::int64_t>(st.iterations() * text.size()));
    st.SetItemsProcessed(static_cast<std::int64_t>(st.iterations() * physical.size()));
}
BENCHMARK_CAPTURE(BM_FeedLine, feature, BookStyle::feature)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_FeedLine, smart, BookStyle::smart)->Unit(benchmark::kMicrosecond);

// ---------------------------------------------------------------------------
// Splitting a property line and the keyword tests.

// The name part and the value of every logical line, each split at the
// unescaped ";".
void BM_SplitTokens(benchmark::State& st, BookStyle style) {
    const auto& lines = logicalLines(style);
    std::size_t bytes = 0;
    for (const auto& l : lines) bytes += l.text.size();
    velmora::TokenList names, values;
    for (auto _ : st) {
        for (const auto& l : lines) {
            const std::string_view text = l.text;
            const std::string_view name = velmora::namePart(text);
            velmora::splitTokens(name, ';', true, names);
            if (name.size() < text.size()) velmora::splitTokens(text.substr(name.size() + 1), ';', true, values);
            benchmark::DoNotOptimize(names.data());
            benchmark::DoNotOptimize(values.data());
        }
    }
    st.SetBytesProcessed(static_cast<std::int64_t>(st.iterations() * bytes));
    st.SetItemsProcessed(static_cast<std::int64_t>(st.iterations() * lines.size()));
}
BENCHMARK_CAPTURE(BM_SplitTokens, feature, BookStyle::feature)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SplitTokens, smart, BookStyle::smart)->Unit(benchmark::kMicrosecond);

// The name/parameter tokens of every logical line, split once.
const std::vector<velmora::TokenList>& nameTokens(BookStyle style) {
    static std::map<BookStyle, std::vector<velmora::TokenList>> cache;
    auto [it, added] = cache.try_emplace(style);
    if (added) {
        for (const auto& l : logicalLines(style)) {
            velmora::TokenList names;
            velmora::splitTokens(velmora::namePart(l.text), ';', true, names);
            it->second.push_back(std::move(names));
        }
    }
    return it->second;
}

// The four tests that decide a line's charset and transfer encoding, asked of
// every line that starts a logical line.
void BM_HasParam_LineCodes(benchmark::State& st, BookStyle style) {
    static constexpr velmora::Keyword kShiftJis("SHIFT_JIS"), kUtf8("UTF-8"), kBase64("BASE64"),
        kQuotedPrintable("QUOTED-PRINTABLE");
    const auto& tokens = nameTokens(style);
    for (auto _ : st) {
        int hits = 0;
        for (const auto& t : tokens) {
            hits += velmora::hasParam(kShiftJis, t);
            hits += velmora::hasParam(kUtf8, t);
            hits += velmora::hasParam(kBase64, t);
            hits += velmora::hasParam(kQuotedPrintable, t);
        }
        benchmark::DoNotOptimize(hits);
    }
    st.SetItemsProcessed(static_cast<std::int64_t>(st.iterations() * tokens.size() * 4));
}
BENCHMARK_CAPTURE(BM_HasParam_LineCodes, feature, BookStyle::feature)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_HasParam_LineCodes, smart, BookStyle::smart)->Unit(benchmark::kMicrosecond);

// The type keywords of the telephone placement over every TEL line: each of
// the thirteen listed types and PREF, as the "only K" tests ask them.
void BM_HasParam_TelTypes(benchmark::State& st, BookStyle style) {
    static constexpr velmora::Keyword kKeywords[] = {
        velmora::Keyword("WORK"),  velmora::Keyword("HOME"),  velmora::Keyword("CELL"), velmora::Keyword("PCS"),
        velmora::Keyword("VOICE"), velmora::Keyword("FAX"),   velmora::Keyword("MSG"),  velmora::Keyword("PAGER"),
        velmora::Keyword("BBS"),   velmora::Keyword("MODEM"), velmora::Keyword("CAR"),  velmora::Keyword("ISDN"),
        velmora::Keyword("VIDEO"), velmora::Keyword("PREF")};
    std::vector<const velmora::TokenList*> tel;
    for (const auto& t : nameTokens(style))
        if (!t.empty() && t[0] == "TEL") tel.push_back(&t);
    for (auto _ : st) {
        int hits = 0;
        for (const auto* t : tel)
            for (const auto& k : kKeywords) hits += velmora::hasParam(k, *t);
        benchmark::DoNotOptimize(hits);
    }
    st.SetItemsProcessed(static_cast<std::int64_t>(st.iterations() * tel.size() * std::size(kKeywords)));
}
BENCHMARK_CAPTURE(BM_HasParam_TelTypes, feature, BookStyle::feature)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_HasParam_TelTypes, smart, BookStyle::smart)->Unit(benchmark::kMicrosecond);

// ---------------------------------------------------------------------------
// Value decoding.

// The QUOTED-PRINTABLE components of the feature-phone book's N, ADR and NOTE
// lines, soft line breaks already removed.
void BM_DecodeQuotedPrintable(benchmark::State& st) {
    const auto values = valueTokens(BookStyle::feature, [](const LogicalLine& l) {
        return l.encoding == velmora::TransferEncoding::quotedPrintable;
    });
    std::string out;
    for (auto _ : st) {
        for (const auto& v : values) {
            velmora::decodeQuotedPrintable(v, out);
            benchmark::DoNotOptimize(out.data());
        }
    }
    st.SetBytesProcessed(static_cast<std::int64_t>(st.iterations() * totalSize(values)));
    st.SetItemsProcessed(static_cast<std::int64_t>(st.iterations() * values.size()));
}
BENCHMARK(BM_DecodeQuotedPrintable)->Unit(benchmark::kMicrosecond);

// One BASE64 value of the given number of decoded bytes (a short value and a
// phone's photo).
void BM_DecodeBase64(benchmark::State& st) {
    const std::string text = velmora::bench::randomPhotoBase64(kSeed, static_cast<std::size_t>(st.range(0)));
    std::string out;
    for (auto _ : st) {
        velmora::decodeBase64(text, out);
        benchmark::DoNotOptimize(out.data());
    }
    st.SetBytesProcessed(static_cast<std::int64_t>(st.iterations() * text.size()));
}
BENCHMARK(BM_DecodeBase64)->Arg(48)->Arg(8 << 10)->Arg(64 << 10);

// The UTF-8 components of the smartphone book's lines that name CHARSET=UTF-8
// (names, readings, addresses, organisations, notes) into code page 932.
void BM_Utf8ToAnsi(benchmark::State& st) {
    const auto values = valueTokens(BookStyle::smart, [](const LogicalLine& l) {
        return l.charset == velmora::Charset::utf8 && l.encoding == velmora::TransferEncoding::none;
    });
    std::string out;
    for (auto _ : st) {
        for (const auto& v : values) {
            velmora::utf8ToAnsi(v, out);
            benchmark::DoNotOptimize(out.data());
        }
    }
    st.SetBytesProcessed(static_cast<std::int64_t>(st.iterations() * totalSize(values)));
    st.SetItemsProcessed(static_cast<std::int64_t>(st.iterations() * values.size()));
}
BENCHMARK(BM_Utf8ToAnsi)->Unit(benchmark::kMicrosecond);

// ---------------------------------------------------------------------------
// CSV rows.

const velmora::ContactList& parsedBook(BookStyle style) {
    static std::map<BookStyle, velmora::ContactList> cache;
    auto [it, added] = cache.try_emplace(style);
    if (added) velmora::parseVcardText(book(style, LineEnd::crlf, kLineSample), it->second);
    return it->second;
}

void BM_FormatContactRow(benchmark::State& st, BookStyle style) {
    const velmora::ContactList& list = parsedBook(style);
    std::vector<const velmora::ContactRecord*> rows;
    for (const auto& r : list.records)
        if (velmora::isExportable(r)) rows.push_back(&r);
    std::string row;
    std::size_t bytes = 0;
    for (auto _ : st) {
        bytes = 0;
        for (const auto* r : rows) {
            velmora::formatContactRow(list, *r, row);
            bytes += row.size();
            benchmark::DoNotOptimize(row.data());
        }
    }
    st.SetBytesProcessed(static_cast<std::int64_t>(st.iterations() * bytes));
    st.SetItemsProcessed(static_cast<std::int64_t>(st.iterations() * rows.size()));
}
BENCHMARK_CAPTURE(BM_FormatContactRow, feature, BookStyle::feature)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_FormatContactRow, smart, BookStyle::smart)->Unit(benchmark::kMicrosecond);

// A destination that takes every byte and keeps none.
class DiscardingSink : public velmora::ByteSink {
public:
    std::size_t write(const char*, std::size_t size) override {
        written += size;
        return size;
    }
    bool discardTail(std::size_t size) override {
        written -= size;
        return true;
    }
    std::size_t written = 0;
};

// The row writer over a whole list: filter, format and block the lines.
void BM_CsvRowWriter(benchmark::State& st, BookStyle style) {
    const velmora::ContactList& list = parsedBook(style);
    DiscardingSink sink;
    int outputCount = 0;
    for (auto _ : st) {
        velmora::CsvRowWriter writer(sink);
        outputCount = 0;
        for (const auto& r : list.records) writer.writeContactRow(list, r, outputCount);
        writer.finish(outputCount);
    }
    benchmark::DoNotOptimize(sink.written);
    st.SetItemsProcessed(static_cast<std::int64_t>(st.iterations() * outputCount));
    st.SetBytesProcessed(static_cast<std::int64_t>(sink.written));
}
BENCHMARK_CAPTURE(BM_CsvRowWriter, feature, BookStyle::feature)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
