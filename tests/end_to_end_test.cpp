// Whole conversions: a source file in, the CSV bytes and the message lines out.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "conversion/conversion.h"
#include "conversion/messages.h"
#include "conversion/report.h"
#include "csv/csv_writer.h"
#include "tests/fake_file_system.h"
#include "tests/test_support.h"

namespace velmora {
namespace {

using test::csvRow;
using test::sjis;
using Strings = std::vector<std::string>;
using Columns = std::map<int, std::string>;

struct Outcome {
    std::string csv;
    Strings messages;
    Strings errors;
};

const std::filesystem::path kFolder = "/books";
const std::filesystem::path kDestination = kFolder / "out.csv";

// A disk in memory with `source`'s bytes in a folder of their own.
test::FakeFileSystem diskWith(const std::filesystem::path& source) {
    test::FakeFileSystem files;
    files.addFolder(kFolder);
    files.addFile(kFolder / "source.vcf", test::readFile(source));
    return files;
}

Outcome convert(const std::filesystem::path& source, Layout layout = Layout::classic) {
    test::FakeFileSystem files = diskWith(source);
    test::RecordingUi ui;
    runConversion({kFolder / "source.vcf", kDestination, layout}, ui, files);
    const test::FakeFileSystem::File* written = files.file(kDestination);
    return {written ? written->bytes : std::string(), ui.messages, ui.errors};
}

std::filesystem::path data(std::string_view name) {
    return std::filesystem::path(VELMORA_TEST_DATA) / name;
}

std::string csvFile(std::initializer_list<Columns> rows) {
    std::string csv(csvHeader());
    for (const auto& row : rows) csv += csvRow(row);
    return csv;
}

Strings completed(int input, int output) {
    return {"変換処理中...", "変換が完了しました。", std::string(messages::CountsLine(input, output).text())};
}

// Reports the first line and column where two CSV files differ.
void expectSameCsv(const std::string& actual, const std::string& expected) {
    if (actual == expected) return;
    std::size_t line = 1, column = 1, i = 0;
    for (; i < actual.size() && i < expected.size() && actual[i] == expected[i]; ++i) {
        if (actual[i] == '\n') ++line, column = 0;
        ++column;
    }
    ADD_FAILURE() << "CSV differs at line " << line << ", byte " << column << ": expected "
                  << ::testing::PrintToString(expected.substr(i, 40)) << ", got "
                  << ::testing::PrintToString(actual.substr(i, 40));
}

TEST(EndToEnd, WorkedExample) {
    const Outcome out = convert(data("worked_example.vcf"));
    expectSameCsv(out.csv, csvFile({{{1, sjis("山田 太郎")}, {40, "090-1234-5678"}}}));
    EXPECT_EQ(out.messages, completed(1, 1));
    EXPECT_TRUE(out.errors.empty());
}

TEST(EndToEnd, SampleAddressBook) {
    const Outcome out = convert(std::filesystem::path(VELMORA_SAMPLES) / "sample.vcf");
    expectSameCsv(
        out.csv,
        csvFile({
            {{1, sjis("山田 太郎")},
             {3, "\xD4\xCF"},
             {15, sjis("千代田1-1-1")},
             {18, sjis("千代田区")},
             {19, sjis("東京都")},
             {20, "100-0001"},
             {21, sjis("日本")},
             {30, "03-9876-5432"},
             {37, "03-1234-5678"},
             {40, "090-1234-5678"},
             {58, sjis("高校の同級生。毎年の年賀状を忘れずに。")},
             {79, "1980/01/15"},
             {80, "taro.yamada@example.ne.jp"},
             {83, "yamada@example.co.jp"}},
            {{1, sjis("佐藤 花子")},
             {3, "\xBB\xC4"},
             {5, sjis("株式会社サンプル")},
             {31, "080-5555-1111"},
             {35, "03-5555-0000"},
             {40, "070-1111-2222"},
             {49, "http://www.example.jp/hanako"},
             {80, "hanako@docomo.example.jp"}},
            {{1, "\x95\x5C \x94\x5C\x83\x5C"}, {3, "\xCB\xAE"}, {43, "011-222-3333"}, {58, sjis("予定表;能力")}},
            {{1, sjis("鈴木 一郎")},
             {3, sjis("す")},
             {5, sjis("鈴木商店")},
             {40, "090-0000-1111"},
             {80, "ichiro@example.com"}},
        }));
    EXPECT_EQ(out.messages, completed(5, 4));
}

TEST(EndToEnd, SmartphoneAddressBook) {
    // vCard 3.0 in UTF-8 without CHARSET: grouped lines, escapes, readings
    // from X-PHONETIC-LAST-NAME, mobile numbers marked VOICE.
    // The expected file was checked column by column against the sample.
    const Outcome out = convert(std::filesystem::path(VELMORA_SAMPLES) / "smartphone.vcf");
    expectSameCsv(out.csv, test::readFile(data("smartphone.expected.csv")));
    EXPECT_EQ(out.messages, completed(4, 4));
    EXPECT_TRUE(out.errors.empty());
}

TEST(EndToEnd, BothSamplesInTheFullLayout) {
    // The expected files were checked column by column against the samples.
    for (const auto& [sample, expected] :
         {std::pair{"sample.vcf", "sample.full.csv"}, std::pair{"smartphone.vcf", "smartphone.full.csv"}}) {
        SCOPED_TRACE(sample);
        const Outcome out = convert(std::filesystem::path(VELMORA_SAMPLES) / sample, Layout::full);
        expectSameCsv(out.csv, test::readFile(data(expected)));
        EXPECT_EQ(out.messages, completed(sample == std::string_view("sample.vcf") ? 5 : 4, 4));
        EXPECT_TRUE(out.errors.empty());
    }
}

TEST(EndToEnd, LineEndsAndEncodings) {
    struct Case {
        std::string_view file;
        std::string csv;
        Strings messages;
    } cases[] = {
        {"no_line_end.vcf", csvFile({{{1, "a b"}}}), completed(1, 1)},
        {"lf_line_ends.vcf", csvFile({{{1, sjis("青木 みどり")}, {37, "01"}}}), completed(1, 1)},
        {"utf16le.vcf", csvFile({{{1, sjis("鈴木 花")}}}), completed(1, 1)},
        // A cut-short BASE64 value keeps the bytes it determines; a photo that
        // runs into the end of the file leaves its contact incomplete.
        {"truncated_base64.vcf", csvFile({{{1, "a"}, {58, "ABC"}}}), completed(1, 1)},
        // "=" with one digit, and a soft line break right before END:VCARD.
        {"qp_equals_at_end.vcf", csvFile({{{1, "a\x03"}, {58, "x\x04"}}}), completed(1, 1)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const Outcome out = convert(data(c.file));
        expectSameCsv(out.csv, c.csv);
        EXPECT_EQ(out.messages, c.messages);
        EXPECT_TRUE(out.errors.empty());
    }
}

TEST(EndToEnd, RefusedAndMeaninglessSources) {
    const Outcome be = convert(data("utf16be.vcf"));
    EXPECT_EQ(be.csv, "");
    EXPECT_EQ(be.errors, Strings{"変換元ファイルの文字コードに対応していません。"});
    EXPECT_EQ(be.messages, (Strings{"変換処理中...", "変換処理に失敗しました。"}));

    const Outcome junk = convert(data("binary_junk.vcf"));
    EXPECT_EQ(junk.csv, csvHeader());
    EXPECT_EQ(junk.messages, (Strings{"変換処理中...", "出力対象データが1件もありませんでした。"}));
}

// The account a run leaves is the one a check of the same source prints, and
// its two numbers are those its headings give.
TEST(EndToEnd, RunLeavesTheAccountOfItsSourceWithItsTwoNumbers) {
    struct Case {
        std::filesystem::path source;
        std::size_t notWritten;
        std::size_t lostSomething;
    };
    const Case cases[] = {
        {std::filesystem::path(VELMORA_SAMPLES) / "sample.vcf", 1, 0},
        {std::filesystem::path(VELMORA_SAMPLES) / "smartphone.vcf", 0, 0},
        {data("account_every_reason.vcf"), 6, 1},
        {data("worked_example.vcf"), 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source.string());
        test::FakeFileSystem files = diskWith(c.source);
        test::RecordingUi ui;
        const RunOutcome check = checkSource(kFolder / "source.vcf", Layout::classic, ui, files);
        ASSERT_EQ(check.result, RunResult::completed);
        const RunOutcome conversion =
            runConversion({kFolder / "source.vcf", kDestination, Layout::classic, Accounting::kept}, ui, files);
        ASSERT_EQ(conversion.result, RunResult::completed);
        const AccountReport& checked = *check.account;
        const AccountReport& run = *conversion.account;
        EXPECT_EQ(run.text, checked.text);
        EXPECT_EQ(run.notWritten, c.notWritten);
        EXPECT_EQ(run.lostSomething, c.lostSomething);
        EXPECT_EQ(checked.notWritten, c.notWritten);
        EXPECT_EQ(checked.lostSomething, c.lostSomething);
        const auto heading = [](std::string_view title, std::size_t count) {
            return "\n" + std::string(title) + ": " + std::to_string(count) + "件\n";
        };
        EXPECT_NE(run.text.find(heading("書き出されない連絡先 / Contacts not written", c.notWritten)),
                  std::string::npos);
        EXPECT_NE(run.text.find(
                      heading("一部が書き出されない連絡先 / Written contacts that lost something", c.lostSomething)),
                  std::string::npos);
    }
}

}  // namespace
}  // namespace velmora
