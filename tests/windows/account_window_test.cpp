// The account of what the CSV file leaves out, in the Windows program: the
// line a run adds below its own lines, the window that line opens with the
// very text the console converter's --check prints, saving that text as a
// code page 932 file, and what happens when saving fails or the account is
// longer than the window shows.
#include <gtest/gtest.h>

#include "tests/windows/driver.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/resources/resource.h"
#include "conversion/conversion.h"
#include "conversion/report.h"

namespace velmora::testing {
namespace {

const std::wstring accountTitle = L"変換の明細";
const std::wstring saveTitle = L"ファイルを保存する";
const std::wstring unsaved = L"テキストファイルへ書き込めません。\r\n他で使用中もしくは書込み禁止の可能性があります。";

std::wstring accountLine(int notWritten, int lostSomething) {
    return L"明細：書き出されない連絡先 " + std::to_wstring(notWritten) + L"件、一部が書き出されない連絡先 " +
           std::to_wstring(lostSomething) + L"件（ダブルクリックで表示）";
}

// UTF-8 text as a code page 932 file with CR LF line ends holds it.
std::string fileBytes(const std::string& utf8) {
    std::string crlf;
    for (char c : utf8) {
        if (c == '\n') {
            crlf += '\r';
        }
        crlf += c;
    }
    return test::sjis(crlf);
}

std::wstring withCrLf(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        if (c == L'\n') {
            out += L'\r';
        }
        out += c;
    }
    return out;
}

// The lines of console output, each ended by "\n".
std::vector<std::wstring> linesOf(const std::string& utf8) {
    std::vector<std::wstring> lines;
    std::wstring text = app::widen(utf8);
    for (std::size_t start = 0, end; (end = text.find(L'\n', start)) != std::wstring::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

// The number an account's heading gives, or -1 without that heading.
int headingCount(const std::string& account, const std::string& heading) {
    const std::size_t at = account.find("\n" + heading + ": ");
    return at == std::string::npos ? -1 : std::atoi(account.c_str() + at + heading.size() + 3);
}

// What the console converter says of a book: the run's lines and error texts,
// and the account --check prints with its two numbers.
struct ConsoleView {
    std::vector<std::wstring> runLines;
    std::vector<std::wstring> errors;  // as a message box shows them
    std::string check;                 // empty when the source cannot be read
    int notWritten = 0;
    int lostSomething = 0;
};

ConsoleView askConsole(const std::filesystem::path& book, const std::filesystem::path& scratch) {
    ConsoleView view;
    const auto run = runConsoleConverter({book.wstring(), (scratch / L"console.csv").wstring()}, scratch);
    const auto check = runConsoleConverter({L"--check", book.wstring()}, scratch);
    if (!run || !check) {
        ADD_FAILURE() << "velmora-convert.exe did not run";
        return view;
    }
    std::filesystem::remove(scratch / L"console.csv");
    view.runLines = linesOf(run->output);
    for (const auto& error : linesOf(run->error)) {
        // A message box shows the run's "\r\n" where the console ends a line.
        if (!view.errors.empty() && error.rfind(L"他で", 0) == 0) {
            view.errors.back() += L"\r\n" + error;
        } else {
            view.errors.push_back(error);
        }
    }
    if (check->exitCode == 0) {
        view.check = check->output;
        view.notWritten = headingCount(view.check, "書き出されない連絡先 / Contacts not written");
        view.lostSomething =
            headingCount(view.check, "一部が書き出されない連絡先 / Written contacts that lost something");
    }
    return view;
}

// The files a folder holds, by name.
std::vector<std::wstring> filesIn(const std::filesystem::path& folder) {
    std::vector<std::wstring> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().wstring());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The centre of a line of the message list, on the screen.
POINT lineCentre(HWND main, int line) {
    return listLineCentre(main, IDC_MESSAGES, line);
}

// The bytes of a file the account window saves, once it can be read. The
// window writes a fresh file and renames it, so the name appears with the
// whole text; but the rename keeps the file open for a moment after, and an
// open in that moment is refused.
std::optional<std::string> savedBytes(const std::filesystem::path& file) {
    std::optional<std::string> bytes;
    waitUntil([&] {
        std::ifstream in(file, std::ios::binary);
        if (in) bytes.emplace(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        return bytes.has_value();
    });
    return bytes;
}

// Makes every WriteFile of one thread write half of what it is given and
// fail, as a disk that fills up, while the object lives.
class FailingWrites : NonCopyable {
public:
    explicit FailingWrites(DWORD thread) : hook_("kernel32.dll", "WriteFile", arm(thread)) {
        original_ = reinterpret_cast<decltype(&WriteFile)>(hook_.original());
    }
    ~FailingWrites() { thread_ = 0; }
    int failures() const { return failures_; }

private:
    static void* arm(DWORD thread) {
        thread_ = thread;
        failures_ = 0;
        return reinterpret_cast<void*>(&FailingWrites::writeFile);
    }
    static BOOL WINAPI writeFile(HANDLE file, LPCVOID data, DWORD count, LPDWORD done, LPOVERLAPPED overlapped) {
        auto original = original_ != nullptr ? original_ : &WriteFile;
        if (GetCurrentThreadId() != thread_) {
            return original(file, data, count, done, overlapped);
        }
        ++failures_;
        original(file, data, count / 2, done, overlapped);
        SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }

    static inline std::atomic<DWORD> thread_{0};
    static inline std::atomic<int> failures_{0};
    static inline decltype(&WriteFile) original_ = nullptr;
    ImportHook hook_;
};

class AccountWindow : public ::testing::Test {
protected:
    void SetUp() override {
        main = program.openMainWindow();
        ASSERT_NE(main, nullptr);
    }

    std::vector<std::wstring> messageLines() const { return listLines(main, IDC_MESSAGES); }
    bool idle() const { return IsWindowEnabled(GetDlgItem(main, IDC_CONVERT)) != FALSE; }

    // Drops `book` on the window and converts it, answering every message box
    // the run shows with OK and keeping its text in `boxes`; succeeds once
    // the run has ended. Every run of a book adds "変換処理中..." at least,
    // and the window is busy until its last line is in.
    ::testing::AssertionResult convert(const std::filesystem::path& book, std::vector<std::wstring>* boxes = nullptr) {
        dropFiles(main, {book.wstring()});
        if (!waitUntil([&] { return controlText(main, IDC_SOURCE_PATH) == book.wstring(); })) {
            return ::testing::AssertionFailure() << "the drop did not fill the source field";
        }
        const std::size_t before = messageLines().size();
        pressButton(main, IDC_CONVERT);
        const bool ended = waitUntil([&] {
            for (HWND window : program.visibleWindows()) {
                if (window != main && className(window) == L"#32770") {
                    const auto texts = staticTexts(window);
                    if (boxes != nullptr && !texts.empty()) {
                        boxes->push_back(texts.back());
                    }
                    dismiss(window, IDOK);
                }
            }
            return messageLines().size() > before && idle();
        });
        if (ended) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << "the run did not end: " << ::testing::PrintToString(messageLines());
    }

    // Selects a line and double-clicks it as the list box reports it; the
    // account window that opens, or null.
    // Converts samples/sample.vcf, copied into the test's folder, and opens
    // the account of its run (line 3, below the run's own three).
    HWND convertSampleAndOpenItsAccount() {
        const auto book = folder.path() / L"sample.vcf";
        std::filesystem::copy_file(sourceFolder() / L"samples/sample.vcf", book);
        return convert(book) ? openAccount(3) : nullptr;
    }

    HWND openAccount(int line) {
        HWND list = GetDlgItem(main, IDC_MESSAGES);
        SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(line), 0);
        PostMessageW(main, WM_COMMAND, MAKEWPARAM(IDC_MESSAGES, LBN_DBLCLK), reinterpret_cast<LPARAM>(list));
        return program.waitForDialog(accountTitle, IDC_ACCOUNT_TEXT);
    }

    // Presses 「テキストとして保存」 and names `file` in the chooser.
    ::testing::AssertionResult saveAs(HWND account, const std::filesystem::path& file) {
        pressButton(account, IDC_SAVE_ACCOUNT);
        HWND chooser = program.waitForDialog(saveTitle, 0);
        if (chooser == nullptr) {
            return ::testing::AssertionFailure() << "no chooser appeared";
        }
        EXPECT_EQ(firstChooserFilter(chooser), L"テキストファイル(*.txt)");
        answerChooser(chooser, file.wstring());
        if (waitUntil([&] { return !IsWindowVisible(chooser); })) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << "the chooser stayed open";
    }

    TemporaryFolder folder;
    TemporaryFolder scratch;  // the console converter's output
    ProgramUnderTest program;
    HWND main = nullptr;
};

// Every test book and sample, converted one after another in one window: the
// run's lines are the console converter's, the account line follows them
// when the account names something left out, and each account line, earlier
// runs' included, opens the account --check prints for its own book.
TEST_F(AccountWindow, EveryBookKeepsItsRunLinesAndItsLineOpensTheAccountTheConsolePrints) {
    std::vector<std::filesystem::path> books;
    for (const auto& from : {sourceFolder() / L"tests/data", sourceFolder() / L"samples"}) {
        for (const auto& entry : std::filesystem::directory_iterator(from)) {
            if (entry.path().extension() == L".vcf") {
                books.push_back(entry.path());
            }
        }
    }
    std::sort(books.begin(), books.end());
    ASSERT_FALSE(books.empty()) << "no books in " << sourceFolder().string();

    struct Opens {
        int line;
        std::wstring text;
    };
    std::vector<Opens> accounts;
    int withoutAccount = 0;
    for (const auto& original : books) {
        SCOPED_TRACE(original.string());
        const auto book = folder.path() / original.filename();
        std::filesystem::copy_file(original, book);
        const ConsoleView console = askConsole(book, scratch.path());

        const std::size_t before = messageLines().size();
        std::vector<std::wstring> boxes;
        ASSERT_TRUE(convert(book, &boxes));
        const auto lines = messageLines();
        std::vector<std::wstring> expected = console.runLines;
        const bool leftOut = console.notWritten > 0 || console.lostSomething > 0;
        if (leftOut) {
            expected.push_back(accountLine(console.notWritten, console.lostSomething));
            accounts.push_back({static_cast<int>(lines.size()) - 1, withCrLf(app::widen(console.check))});
        } else {
            ++withoutAccount;
        }
        EXPECT_EQ(std::vector<std::wstring>(lines.begin() + static_cast<std::ptrdiff_t>(before), lines.end()),
                  expected);
        EXPECT_EQ(boxes, console.errors);
        EXPECT_EQ(listSelection(main, IDC_MESSAGES), static_cast<int>(lines.size()) - 1);
    }
    // Books of both kinds, and one the run cannot read.
    EXPECT_GE(accounts.size(), 2u);
    EXPECT_GE(withoutAccount, 2);

    // The newest first, so that an earlier line is seen to open its own run's
    // account rather than the last one.
    for (auto account = accounts.rbegin(); account != accounts.rend(); ++account) {
        SCOPED_TRACE("line " + std::to_string(account->line));
        HWND window = openAccount(account->line);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(controlText(window, IDC_ACCOUNT_TEXT), account->text);
        ASSERT_TRUE(dismiss(window, IDCANCEL));
    }
}

TEST_F(AccountWindow, OpensByDoubleClickOrEnterOnItsLineOnlyAndClosesByEscOrTheCloseBox) {
    const auto book = folder.path() / L"sample.vcf";
    std::filesystem::copy_file(sourceFolder() / L"samples/sample.vcf", book);
    ASSERT_TRUE(convert(book));
    const auto lines = messageLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[3], accountLine(1, 0));
    SetForegroundWindow(main);

    // A double-click on the counts line opens nothing: the click after it is
    // taken by the main window, which an open account window would disable.
    doubleClickWithMouseAt(lineCentre(main, 2));
    clickWithMouseAt(lineCentre(main, 0));
    EXPECT_TRUE(waitUntil([&] { return listSelection(main, IDC_MESSAGES) == 0; }));
    EXPECT_EQ(program.findDialog(accountTitle, 0), nullptr);

    doubleClickWithMouseAt(lineCentre(main, 3));
    HWND window = program.waitForDialog(accountTitle, IDC_ACCOUNT_TEXT);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(GetWindow(window, GW_OWNER), main);
    EXPECT_FALSE(IsWindowEnabled(main));
    PostMessageW(GetDlgItem(window, IDC_ACCOUNT_TEXT), WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(waitUntil([&] { return !IsWindowVisible(window); }));
    ASSERT_TRUE(waitUntil([&] { return IsWindowEnabled(main) != FALSE; }));

    // Enter in the list with the account line selected.
    HWND list = GetDlgItem(main, IDC_MESSAGES);
    SendMessageW(list, LB_SETCURSEL, 3, 0);
    SendMessageW(main, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(list), TRUE);
    PostMessageW(list, WM_KEYDOWN, VK_RETURN, 0);
    window = program.waitForDialog(accountTitle, IDC_ACCOUNT_TEXT);
    ASSERT_NE(window, nullptr);
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(waitUntil([&] { return !IsWindowVisible(window); }));
}

TEST_F(AccountWindow, ShowsTheTextReadOnlyInTheDialogFontWithRoomFor80ColumnsAnd20Lines) {
    HWND window = convertSampleAndOpenItsAccount();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(controlText(window, IDC_SAVE_ACCOUNT), L"テキストとして保存");
    EXPECT_EQ(controlText(window, IDCANCEL), L"閉じる");
    HWND text = GetDlgItem(window, IDC_ACCOUNT_TEXT);
    const LONG style = GetWindowLongW(text, GWL_STYLE);
    EXPECT_NE(style & ES_READONLY, 0);
    EXPECT_NE(style & WS_VSCROLL, 0);
    const auto font = reinterpret_cast<HFONT>(SendMessageW(text, WM_GETFONT, 0, 0));
    EXPECT_EQ(font, reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)));

    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, previous);
    DeleteDC(dc);
    RECT shown{};
    SendMessageW(text, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&shown));
    EXPECT_GE(shown.right - shown.left, 80 * metrics.tmAveCharWidth);
    EXPECT_GE(shown.bottom - shown.top, 20 * metrics.tmHeight);

    // Made larger, the text grows with the window and the buttons keep to
    // its bottom right corner.
    const auto clientRect = [&](HWND control) {
        RECT rect{};
        GetWindowRect(control, &rect);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    };
    RECT client{};
    GetClientRect(window, &client);
    const RECT textBefore = clientRect(text);
    const RECT closeBefore = clientRect(GetDlgItem(window, IDCANCEL));
    RECT frame{};
    GetWindowRect(window, &frame);
    SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left + 100, frame.bottom - frame.top + 80,
                 SWP_NOMOVE | SWP_NOZORDER);
    RECT grown{};
    GetClientRect(window, &grown);
    ASSERT_EQ(grown.right - client.right, 100);
    const RECT textAfter = clientRect(text);
    const RECT closeAfter = clientRect(GetDlgItem(window, IDCANCEL));
    EXPECT_EQ(textAfter.right - textBefore.right, 100);
    EXPECT_EQ(textAfter.bottom - textBefore.bottom, 80);
    EXPECT_EQ(textAfter.left, textBefore.left);
    EXPECT_EQ(closeAfter.left - closeBefore.left, 100);
    EXPECT_EQ(closeAfter.top - closeBefore.top, 80);
    ASSERT_TRUE(dismiss(window, IDCANCEL));
}

TEST_F(AccountWindow, SavesTheTextInCodePage932WithCrLfUnderTheCsvFilesName) {
    ChooserRecorder recorder;
    const auto book = folder.path() / L"every.vcf";
    std::filesystem::copy_file(sourceFolder() / L"tests/data/account_every_reason.vcf", book);
    const ConsoleView console = askConsole(book, scratch.path());
    ASSERT_TRUE(convert(book));
    HWND window = openAccount(static_cast<int>(messageLines().size()) - 1);
    ASSERT_NE(window, nullptr);

    const auto saved = folder.path() / L"saved.txt";
    ASSERT_TRUE(saveAs(window, saved));
    const std::string bytes = savedBytes(saved).value_or("(not readable)");
    EXPECT_EQ(bytes, fileBytes(console.check));
    // Shift_JIS bytes of the heading, and no line ended by LF alone.
    EXPECT_NE(bytes.find(test::sjis("書き出されない連絡先 / Contacts not written: 6件\r\n")), std::string::npos);
    for (std::size_t at = bytes.find('\n'); at != std::string::npos; at = bytes.find('\n', at + 1)) {
        ASSERT_TRUE(at > 0 && bytes[at - 1] == '\r') << "a bare LF at byte " << at;
    }
    // Nothing but the file chosen is left beside the book and its CSV file.
    EXPECT_EQ(filesIn(folder.path()), (std::vector<std::wstring>{L"every.csv", L"every.vcf", L"saved.txt"}));

    const auto calls = recorder.calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_TRUE(calls[0].save);
    EXPECT_EQ(calls[0].owner, window);
    EXPECT_EQ(calls[0].filter, L"テキストファイル(*.txt)|*.txt|");
    EXPECT_EQ(calls[0].defaultExtension, L"txt");
    EXPECT_EQ(calls[0].file, L"every.txt");
    EXPECT_EQ(calls[0].initialDirectory, folder.path().wstring());
    EXPECT_NE(calls[0].flags & OFN_OVERWRITEPROMPT, 0u);
    ASSERT_TRUE(dismiss(window, IDCANCEL));
}

TEST_F(AccountWindow, FailedSaveSaysSoAndLeavesNoFile) {
    HWND window = convertSampleAndOpenItsAccount();
    ASSERT_NE(window, nullptr);

    FailingWrites full(program.threadId());
    ASSERT_TRUE(saveAs(window, folder.path() / L"sample.txt"));
    HWND box = program.waitForMessageBox(unsaved);
    ASSERT_NE(box, nullptr);
    EXPECT_GT(full.failures(), 0);
    EXPECT_EQ(GetWindow(box, GW_OWNER), window);
    EXPECT_EQ(windowText(box), L"エラー");
    ASSERT_TRUE(dismiss(box, IDOK));
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(filesIn(folder.path()), (std::vector<std::wstring>{L"sample.csv", L"sample.vcf"}));
    ASSERT_TRUE(dismiss(window, IDCANCEL));
}

// A book whose account is longer than the window shows: the window shows its
// first lines and says how many it leaves out; the saved file holds them all.
TEST_F(AccountWindow, LongAccountShowsItsFirstLinesAndSavesTheWhole) {
    std::string text;
    for (int i = 0; i < 5100; ++i) {
        text += "BEGIN:VCARD\r\nVERSION:4.0\r\nN:Name" + std::to_string(i) + ";;;;\r\nEND:VCARD\r\n";
    }
    const auto book = folder.write(L"long.vcf", text);
    test::RecordingUi ui;
    const RunOutcome checked = checkSource(book, Layout::classic, ui);
    ASSERT_EQ(checked.result, RunResult::completed);
    const AccountReport& whole = *checked.account;
    const auto lines = static_cast<std::size_t>(std::count(whole.text.begin(), whole.text.end(), '\n'));
    ASSERT_GT(lines, app::accountLinesShown);

    ASSERT_TRUE(convert(book));
    HWND window = openAccount(static_cast<int>(messageLines().size()) - 1);
    ASSERT_NE(window, nullptr);
    std::size_t shownEnd = 0;
    for (std::size_t line = 0; line < app::accountLinesShown; ++line) {
        shownEnd = whole.text.find('\n', shownEnd) + 1;
    }
    EXPECT_EQ(controlText(window, IDC_ACCOUNT_TEXT),
              withCrLf(app::widen(whole.text.substr(0, shownEnd))) + L"\r\n（明細は全部で" + std::to_wstring(lines) +
                  L"行あります。ここには最初の10000行だけを表示しています。残りの" +
                  std::to_wstring(lines - app::accountLinesShown) +
                  L"行も含めた全体は「テキストとして保存」で保存できます。）");

    const auto saved = folder.path() / L"long.txt";
    ASSERT_TRUE(saveAs(window, saved));
    EXPECT_EQ(savedBytes(saved), fileBytes(whole.text));
    ASSERT_TRUE(dismiss(window, IDCANCEL));
}

// Up to the limit an account is shown whole.
TEST(AccountDisplay, ShowsUpToTheLimitWholeAndBeyondItTheFirstLinesWithANote) {
    HINSTANCE module = GetModuleHandleW(nullptr);
    EXPECT_EQ(app::accountForDisplay(module, "a\nb\n\nd\n", 4), L"a\r\nb\r\n\r\nd\r\n");
    EXPECT_EQ(app::accountForDisplay(module, "a\nb\n\nd\n", 2),
              L"a\r\nb\r\n\r\n（明細は全部で4行あります。ここには最初の2行だけを表示しています。残りの2行も含めた全体は"
              L"「テキストとして保存」で保存できます。）");
}

}  // namespace
}  // namespace velmora::testing
