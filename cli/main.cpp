// velmora-convert: the console front end. It runs the same conversion as the
// window, printing the message-list lines to standard output and the error
// boxes to standard error.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "cli/console_texts.h"
#include "conversion/conversion.h"
#include "conversion/report.h"
#include "platform/platform.h"

namespace {

using velmora::OverwriteChoice;
using velmora::platform::Stream;

constexpr std::string_view kUsage =
    "使い方: velmora-convert 変換元.vcf 変換先.csv [--overwrite | --append] [--report] [--layout classic|full]\n"
    "        velmora-convert --check 変換元.vcf [--layout classic|full]\n"
    "\n"
    "携帯電話のアドレス帳（vCardファイル）を、アドレス帳に取り込めるCSVファイルに変換します。\n"
    "変換先ファイルが既にあるときは、--overwrite で上書き保存、--append で追加保存します。\n"
    "どちらも指定しないときは端末で確認します。\n"
    "--layout full は、姓・名・ミドルネーム・敬称、姓と名のフリガナ（全体）、部署・役職、\n"
    "会社・自宅・その他の住所、11種類の電話番号をそれぞれの列に書き出し、メモなどの改行を残します。\n"
    "--layout classic（既定）は、名前全体を「名」に、フリガナの先頭を「姓」に書き出す従来の形式です。\n"
    "--report を付けると、変換のあとに、CSVファイルに入らないものの明細を表示します。\n"
    "最初にファイルの読み方（UTF-8とその理由、またはコードページ932）、続いて書き出されない連絡先\n"
    "（何件目か、BEGIN:VCARDの行、名前と理由：END:VCARDがない、END:VCARDの前に次のBEGIN:VCARDがある、\n"
    "対応していないVERSION・CHARSET・ENCODINGとその行、書き出す項目がない）、書き出される連絡先のうち\n"
    "空いている列のないTEL・EMAILの行、使われなかった2つ目以降の1つしか入らない項目（N、ADRなど）の行、\n"
    "Shift_JISとして読んだファイルのCHARSETのない行にあるUTF-8の文字（文字化けします）、\n"
    "そして理由ごとの件数です。\n"
    "ファイルの文字コードはファイル全体で一度だけ決めます。UTF-8のBOMで始まるファイルと、\n"
    "（最初のゼロバイトまでの）全体が正しいUTF-8で0x7Fより大きいバイトを含むファイルはUTF-8、\n"
    "それ以外はShift_JISのファイルです。Shift_JISのファイルのUTF-8の文字を数えるのは、正しいUTF-8で\n"
    "Shift_JISではありえないとき、またはCHARSETのない行とSHIFT_JISの行のほかの文字がどれもUTF-8のとき\n"
    "だけです（短いShift_JISの文字は正しいUTF-8にもなるためです）。行はファイル自身の文字コードで引用します。\n"
    "--check はファイルを書かずに明細だけを表示します。変換元が読めないときは終了コード1です。\n"
    "\n"
    "Usage: velmora-convert SOURCE.vcf DEST.csv [--overwrite | --append] [--report] [--layout classic|full]\n"
    "       velmora-convert --check SOURCE.vcf [--layout classic|full]\n"
    "\n"
    "Converts a phone's address book (vCard file) into a contact CSV file for import.\n"
    "When DEST.csv exists, --overwrite replaces it and --append adds the contacts at its end;\n"
    "without either, the question is asked on the terminal.\n"
    "--layout full writes the family, given and middle names, prefix and suffix, the whole\n"
    "readings, department and title, business, home and other addresses and eleven kinds of\n"
    "telephone into their own columns, and keeps line breaks in notes and other values.\n"
    "--layout classic (the default) is the earlier layout: the whole name in 名 and the\n"
    "first character of the reading in 姓.\n"
    "--report then prints an account of what the CSV file leaves out: first how the file was\n"
    "read (UTF-8, and why, or code page 932); then each contact not written, by its number, the\n"
    "line of its BEGIN:VCARD and its name, with the reason (no END:VCARD, a BEGIN:VCARD before\n"
    "it, the unsupported VERSION, CHARSET or ENCODING and its line, or nothing to write); in the\n"
    "contacts written, each TEL or EMAIL line that found no free column, each second\n"
    "single-valued line (N, ADR, ...) that was not used, and, in a file read as Shift_JIS, UTF-8\n"
    "text on lines that name no charset, which shows garbled; then the totals per reason.\n"
    "The file's encoding is decided once, for the whole file: a file that begins with the UTF-8\n"
    "byte-order mark, or whose text (up to its first zero byte) is well-formed UTF-8 throughout\n"
    "with at least one byte above 0x7F, is a UTF-8 file; any other file is Shift_JIS. UTF-8 text\n"
    "in a Shift_JIS file counts only when it is well-formed UTF-8 and cannot be Shift_JIS, or no\n"
    "other text without CHARSET or marked SHIFT_JIS in the file is anything but UTF-8, since\n"
    "short Shift_JIS text can form well-formed UTF-8 too. Lines are quoted in the file's own\n"
    "encoding. With --layout full the account follows the full layout: it also counts ADR lines\n"
    "with no free column, and FN, TITLE or X-PHONETIC lines not used for a CHARSET or ENCODING\n"
    "that cannot be read.\n"
    "--check writes no file and prints only the account.\n"
    "Exit status: 0 when the conversion ended normally (--check: the source could be read),\n"
    "1 when it failed, 2 for a wrong command line.\n";

// A "\r\n" inside a message is a line break on the console.
std::string asLines(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i];
    }
    out += '\n';
    return out;
}

class ConsoleUserInterface : public velmora::UserInterface {
public:
    explicit ConsoleUserInterface(std::optional<OverwriteChoice> choice) : choice_(choice) {}

    void showError(std::string_view text) override { velmora::platform::writeText(Stream::error, asLines(text)); }
    void appendMessage(std::string_view text) override { velmora::platform::writeText(Stream::output, asLines(text)); }
    OverwriteChoice askOverwriteOrAppend() override {
        if (choice_) return *choice_;
        if (!velmora::platform::isInputTerminal()) {
            velmora::platform::writeText(Stream::error, velmora::console::destinationExists);
            return OverwriteChoice::cancel;
        }
        for (;;) {
            velmora::platform::writeText(Stream::error, velmora::console::overwriteQuestion);
            const auto answer = velmora::platform::readLine();
            if (!answer || *answer == "c" || *answer == "C") return OverwriteChoice::cancel;
            if (*answer == "o" || *answer == "O") return OverwriteChoice::overwrite;
            if (*answer == "a" || *answer == "A") return OverwriteChoice::append;
        }
    }

private:
    std::optional<OverwriteChoice> choice_;
};

bool is(const std::filesystem::path& argument, std::string_view option) {
    const auto& text = argument.native();
    if (text.size() != option.size()) return false;
    for (std::size_t i = 0; i < option.size(); ++i)
        if (text[i] != static_cast<std::filesystem::path::value_type>(option[i])) return false;
    return true;
}

int usageError(std::string_view reason = {}) {
    velmora::platform::writeText(Stream::error, std::string(reason) + std::string(kUsage));
    return 2;
}

constexpr std::string_view kUnknownLayout =
    "--layout には classic か full を指定します。 / --layout takes classic or full.\n\n";

int run(const std::vector<std::filesystem::path>& arguments) {
    std::vector<std::filesystem::path> paths;
    std::optional<OverwriteChoice> choice;
    bool report = false;
    bool check = false;
    velmora::Layout layout = velmora::Layout::classic;
    for (auto next = arguments.begin(); next != arguments.end(); ++next) {
        const std::filesystem::path& argument = *next;
        if (is(argument, "--help") || is(argument, "-h")) {
            velmora::platform::writeText(Stream::output, kUsage);
            return 0;
        }
        if (is(argument, "--layout")) {
            if (++next == arguments.end()) return usageError(kUnknownLayout);
            if (is(*next, "full"))
                layout = velmora::Layout::full;
            else if (is(*next, "classic"))
                layout = velmora::Layout::classic;
            else
                return usageError(kUnknownLayout);
        } else if (is(argument, "--report")) {
            report = true;
        } else if (is(argument, "--check")) {
            check = true;
        } else if (is(argument, "--overwrite") || is(argument, "--append")) {
            if (choice) return usageError();
            choice = is(argument, "--append") ? OverwriteChoice::append : OverwriteChoice::overwrite;
        } else if (!argument.native().empty() && argument.native()[0] == '-' && argument.native().size() > 1) {
            return usageError();
        } else {
            paths.push_back(argument);
        }
    }
    if (check ? paths.size() != 1 || choice : paths.size() != 2) return usageError();

    // Relative names are taken from the current folder, so that "a.csv" names
    // a file here rather than a folder called a.csv.
    for (auto& path : paths) {
        if (path.empty()) continue;
        std::error_code error;
        auto absolute = std::filesystem::absolute(path, error);
        if (!error) path = std::move(absolute);
    }
    ConsoleUserInterface ui(choice);
    if (check) {
        const velmora::RunOutcome checked = velmora::checkSource(paths[0], layout, ui);
        if (checked.result != velmora::RunResult::completed) return 1;
        velmora::platform::writeText(Stream::output, checked.account->text);
        return 0;
    }
    const velmora::RunOutcome outcome = velmora::runConversion(
        {paths[0], paths[1], layout, report ? velmora::Accounting::kept : velmora::Accounting::none}, ui);
    // The account follows the run's lines, after one empty line.
    if (outcome.account) velmora::platform::writeText(Stream::output, "\n" + outcome.account->text);
    // A cancelled run ended normally.
    return outcome.result == velmora::RunResult::failed ? 1 : 0;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    return run(std::vector<std::filesystem::path>(argv + 1, argv + argc));
}
#else
int main(int argc, char** argv) {
    return run(std::vector<std::filesystem::path>(argv + 1, argv + argc));
}
#endif
