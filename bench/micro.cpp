// velmora-micro: Google Benchmark timings of the reader and the CSV writer on
// generated books (seed 4), through their public interfaces only, so that a
// change can be judged before the whole conversion is measured.
//
//   build/bench/bench/velmora-micro [--benchmark_filter=REGEX]
//   scripts/bench.sh micro [--benchmark_filter=REGEX]
//
// Parse/STYLE/EOL: parseVcardText over a 4 MiB book held in memory, from the
// text to the filled contact list. CsvRows/STYLE: writeContactRows over the
// contacts of a 1 MiB book, every row formatted and blocked into a sink that
// keeps nothing. The books are generated once, before any timing.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <deque>
#include <string>

#include "book_generator.h"
#include "csv/csv_writer.h"
#include "vcard/contact.h"
#include "vcard/loader.h"

namespace {

using velmora::bench::BookStyle;
using velmora::bench::LineEnd;

constexpr std::uint64_t kSeed = 4;

void parse(benchmark::State& st, const std::string& text) {
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

// A destination that takes every byte and keeps none.
class DiscardingFile : public velmora::platform::DestinationFile {
public:
    bool seekToEnd() override { return true; }
    std::size_t write(const char*, std::size_t size) override {
        written += size;
        return size;
    }
    bool discardTail(std::uint64_t size) override {
        written -= size;
        return true;
    }
    std::uint64_t written = 0;
};

void csvRows(benchmark::State& st, const velmora::ContactList& list) {
    DiscardingFile file;
    velmora::RowsWritten rows;
    for (auto _ : st) rows = velmora::writeContactRows(list, file);
    benchmark::DoNotOptimize(file.written);
    st.SetItemsProcessed(static_cast<std::int64_t>(st.iterations() * rows.written));
    st.SetBytesProcessed(static_cast<std::int64_t>(file.written));
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    // The inputs live until the benchmarks have run; a deque keeps them in place.
    std::deque<std::string> texts;
    std::deque<velmora::ContactList> lists;
    for (BookStyle style : velmora::bench::kAllStyles) {
        const std::string name(velmora::bench::styleName(style));
        for (LineEnd lineEnd : {LineEnd::crlf, LineEnd::lf}) {
            texts.push_back(velmora::bench::generateBook(style, lineEnd, 4u << 20, kSeed));
            const std::string& text = texts.back();
            benchmark::RegisterBenchmark(("Parse/" + name + (lineEnd == LineEnd::crlf ? "/crlf" : "/lf")).c_str(),
                                         [&text](benchmark::State& st) { parse(st, text); })
                ->Unit(benchmark::kMillisecond);
        }
        velmora::parseVcardText(velmora::bench::generateBook(style, LineEnd::crlf, 1u << 20, kSeed),
                                lists.emplace_back());
        const velmora::ContactList& list = lists.back();
        benchmark::RegisterBenchmark(("CsvRows/" + name).c_str(), [&list](benchmark::State& st) {
            csvRows(st, list);
        })->Unit(benchmark::kMicrosecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
