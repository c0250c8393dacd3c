// The start screen and the main window, driven through their messages: the
// texts the user reads and the font that draws them, the exit question and
// the exit code, the main window's position, the web links, the file
// choosers, drops, the proposed destination, conversions with their message
// lines, files held by other programs, the overwrite question and the busy
// state.
#include <gtest/gtest.h>

#include "tests/windows/driver.h"

#include <commdlg.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/resources/resource.h"
#include "conversion/messages.h"

namespace velmora::testing {
namespace {

const std::wstring title = L"Velmoraver 1.00";
const std::wstring exitQuestion = L"終了します。よろしいですか？";
const std::wstring started = L"変換処理中...";
const std::wstring completed = L"変換が完了しました。";

std::wstring countsLine(int input, int output) {
    return L"入力データ：" + std::to_wstring(input) + L"件、　出力データ：" + std::to_wstring(output) + L"件";
}

// One contact with a name and a mobile number, and an ASCII body so that the
// CSV line can be checked without decoding.
std::string contact(int number) {
    return "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Name" + std::to_string(number) + ";Given;;;\r\nTEL;CELL:090-0000-" +
           std::to_string(1000 + number % 9000) + "\r\nEND:VCARD\r\n";
}

std::string book(int contacts) {
    std::string text;
    for (int i = 0; i < contacts; ++i) {
        text += contact(i);
    }
    return text;
}

int countLines(const std::string& text) {
    int lines = 0;
    for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) {
        ++lines;
    }
    return lines;
}

// The visible message box of the program, other than its dialogs.
HWND waitForMessageBox(ProgramUnderTest& program, const std::wstring& text) {
    HWND found = nullptr;
    waitUntil([&] {
        for (HWND window : program.visibleWindows()) {
            for (const auto& shown : staticTexts(window)) {
                if (shown == text) {
                    found = window;
                    return true;
                }
            }
        }
        return false;
    });
    return found;
}

void expectAllControlsEnabled(HWND window, bool enabled) {
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        EXPECT_EQ(IsWindowEnabled(child) != FALSE, enabled)
            << "control " << GetDlgCtrlID(child) << " of class " << className(child).size();
    }
    for (UINT command : {IDM_EXIT, IDM_HOME_PAGE, IDM_TERMS_OF_USE}) {
        EXPECT_EQ(menuGrayed(window, command), !enabled) << "menu command " << command;
    }
}

// Waits until the run started by Convert has ended and the window accepts
// input again.
bool waitForIdle(HWND main) {
    return waitUntil([&] { return IsWindowEnabled(GetDlgItem(main, IDC_CONVERT)) != FALSE; });
}

TEST(StartScreen, ShowsItsTextsMenuAndIcon) {
    ProgramUnderTest program;
    HWND start = program.waitForStartScreen();
    ASSERT_NE(start, nullptr);
    EXPECT_EQ(controlText(start, IDC_READ_TERMS), L"利用規約を確認する");
    EXPECT_EQ(controlText(start, IDC_ACCEPT_TERMS), L"利用規約に同意の上利用する");
    EXPECT_EQ(staticTexts(start), std::vector<std::wstring>{L"提供：Morvane株式会社"});
    EXPECT_EQ(topLevelMenuTexts(start), (std::vector<std::wstring>{L"終了", L"Pellホームページ"}));
    EXPECT_EQ(menuText(start, IDM_EXIT), L"終了");
    EXPECT_EQ(menuText(start, IDM_HOME_PAGE), L"Pellホームページ");
    EXPECT_NE(SendMessageW(start, WM_GETICON, ICON_SMALL, 0), 0);
    EXPECT_NE(GetWindowLongW(GetDlgItem(start, IDC_READ_TERMS), GWL_STYLE) & BS_DEFPUSHBUTTON, 0);

    // Centred on the screen.
    RECT rect{};
    GetWindowRect(start, &rect);
    EXPECT_NEAR((rect.left + rect.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 2);
}

// Closing the start screen by Esc/close box and by the menu both ask first.
class StartScreenExit : public ::testing::TestWithParam<UINT> {};

TEST_P(StartScreenExit, AsksAndCancelKeepsTheScreen) {
    ProgramUnderTest program;
    HWND start = program.waitForStartScreen();
    ASSERT_NE(start, nullptr);

    chooseMenuCommand(start, GetParam());
    HWND question = program.waitForDialog(L"確認", 0);
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(staticTexts(question), std::vector<std::wstring>{exitQuestion});
    PostMessageW(question, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(waitUntil([&] { return program.findDialog(L"確認", 0) == nullptr; }));
    // Answered once the command that asked has been handled to its end.
    SendMessageW(start, WM_NULL, 0, 0);
    EXPECT_TRUE(IsWindowVisible(start));
    EXPECT_FALSE(program.finished(0));

    chooseMenuCommand(start, GetParam());
    question = program.waitForDialog(L"確認", 0);
    ASSERT_NE(question, nullptr);
    PostMessageW(question, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(program.finished());
    EXPECT_EQ(program.result(), static_cast<INT_PTR>(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(CloseBoxAndMenu, StartScreenExit, ::testing::Values(IDCANCEL, IDM_EXIT));

// The top-level window of another process with this title that holds a
// control `controlId` (0: any).
HWND findWindowOfProcess(DWORD process, const std::wstring& title, int controlId) {
    struct Search {
        DWORD process;
        const std::wstring& title;
        int controlId;
        HWND found;
    } search{process, title, controlId, nullptr};
    EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto& search = *reinterpret_cast<Search*>(context);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == search.process && IsWindowVisible(window) && windowText(window) == search.title &&
                (search.controlId == 0 || GetDlgItem(window, search.controlId) != nullptr)) {
                search.found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Velmora.exe itself, ended through its exit question from the start screen
// or from the main window.
class ProgramExit : public ::testing::TestWithParam<bool> {};

TEST_P(ProgramExit, ExitCodeIsZero) {
    const bool fromMainWindow = GetParam();
    std::wstring command = L"\"" + (programFolder() / L"../../app/Velmora.exe").lexically_normal().wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(
        CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    const auto close = [&](HWND window) {
        PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
        HWND question = nullptr;
        waitUntil([&] { return (question = findWindowOfProcess(process.dwProcessId, L"確認", 0)) != nullptr; });
        if (question != nullptr) {
            PostMessageW(question, WM_COMMAND, IDOK, 0);
        }
    };
    HWND window = nullptr;
    waitUntil([&] { return (window = findWindowOfProcess(process.dwProcessId, title, IDC_ACCEPT_TERMS)) != nullptr; });
    EXPECT_NE(window, nullptr);
    if (window != nullptr && fromMainWindow) {
        pressButton(window, IDC_ACCEPT_TERMS);
        window = nullptr;
        waitUntil(
            [&] { return (window = findWindowOfProcess(process.dwProcessId, title, IDC_SOURCE_PATH)) != nullptr; });
        EXPECT_NE(window, nullptr);
    }
    if (window != nullptr) {
        close(window);
    }
    const bool ended = WaitForSingleObject(process.hProcess, defaultTimeoutMs) == WAIT_OBJECT_0;
    EXPECT_TRUE(ended);
    if (!ended) {
        TerminateProcess(process.hProcess, 99);
    }
    DWORD code = 99;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    EXPECT_EQ(code, 0u);
}

INSTANTIATE_TEST_SUITE_P(StartScreenAndMainWindow, ProgramExit, ::testing::Values(false, true));

struct LinkCase {
    bool onMainWindow;
    UINT command;  // a menu command or a button
    const wchar_t* address;
};

class WebLinks : public ::testing::TestWithParam<LinkCase> {};

TEST_P(WebLinks, OpenTheirPageAndLeaveTheWindowAsItWas) {
    ProgramUnderTest program;
    HWND window = GetParam().onMainWindow ? program.openMainWindow() : program.waitForStartScreen();
    ASSERT_NE(window, nullptr);
    if (GetDlgItem(window, static_cast<int>(GetParam().command)) != nullptr) {
        pressButton(window, static_cast<int>(GetParam().command));
    } else {
        chooseMenuCommand(window, GetParam().command);
    }
    ASSERT_TRUE(waitUntil([&] { return !program.shellCalls().empty(); }));
    // A message sent after the posted command is answered only once the
    // command has been handled.
    SendMessageW(window, WM_NULL, 0, 0);
    const auto calls = program.shellCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].owner, nullptr);
    EXPECT_EQ(calls[0].verb, L"open");
    EXPECT_EQ(calls[0].file, GetParam().address);
    EXPECT_EQ(calls[0].parameters, std::nullopt);
    EXPECT_EQ(calls[0].directory, std::nullopt);
    EXPECT_EQ(calls[0].showCommand, SW_SHOWNORMAL);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_TRUE(IsWindowEnabled(window));
    EXPECT_EQ(program.visibleWindows(), std::vector<HWND>{window});
    EXPECT_FALSE(program.finished(0));
}

const wchar_t* const homePage = L"https://www.morvane.co.jp/";
const wchar_t* const termsOfUse = L"https://www.morvane.co.jp/smt/dl/wp7_add/index2.html";
const wchar_t* const signIn = L"https://login.live.com/";

INSTANTIATE_TEST_SUITE_P(MenusAndButtons, WebLinks,
                         ::testing::Values(LinkCase{false, IDM_HOME_PAGE, homePage},
                                           LinkCase{false, IDC_READ_TERMS, termsOfUse},
                                           LinkCase{true, IDM_HOME_PAGE, homePage},
                                           LinkCase{true, IDM_TERMS_OF_USE, termsOfUse},
                                           LinkCase{true, IDC_WINDOWS_LIVE, signIn}));

// Every character of the text that the font has no glyph for.
std::wstring missingGlyphs(HFONT font, const std::wstring& text) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, font);
    std::vector<WORD> glyphs(text.size());
    const DWORD mapped =
        GetGlyphIndicesW(dc, text.c_str(), static_cast<int>(text.size()), glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS);
    std::wstring missing;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((mapped == GDI_ERROR || glyphs[i] == 0xFFFF) && text[i] >= L' ') {
            missing.push_back(text[i]);
        }
    }
    SelectObject(dc, previous);
    DeleteDC(dc);
    return missing;
}

std::wstring faceOf(HFONT font) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, font);
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, face);
    SelectObject(dc, previous);
    DeleteDC(dc);
    return face;
}

// The texts of a dialog's controls and of its menu bar.
std::vector<std::wstring> textsOf(HWND dialog) {
    std::vector<std::wstring> texts = topLevelMenuTexts(dialog);
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        texts.push_back(windowText(child));
    }
    return texts;
}

TEST(Fonts, DialogsAndMessageBoxesHaveAGlyphForEveryCharacterTheProgramShows) {
    ProgramUnderTest program;
    HWND start = program.waitForStartScreen();
    ASSERT_NE(start, nullptr);
    std::vector<std::wstring> texts = textsOf(start);
    HWND main = program.openMainWindow();
    ASSERT_NE(main, nullptr);
    for (const auto& text : textsOf(main)) {
        texts.push_back(text);
    }
    HINSTANCE module = GetModuleHandleW(nullptr);
    for (UINT id : {IDS_EXIT_QUESTION, IDS_OVERWRITE_QUESTION, IDS_OVERWRITE, IDS_APPEND, IDS_OPEN_TITLE,
                    IDS_OPEN_FILTER, IDS_SAVE_TITLE, IDS_SAVE_FILTER}) {
        texts.push_back(app::loadText(module, id));
    }
    for (std::string_view message :
         {messages::sourceNotVcard, messages::sourceUnreadable, messages::destinationUnwritable, messages::converting,
          messages::failed, messages::completed, messages::nothingToOutput, std::string_view(messages::countsFormat)}) {
        texts.push_back(app::widen(message));
    }
    texts.push_back(L"キャンセル");

    // The dialogs draw with their template's font, message boxes with the
    // system's message font.
    std::vector<HFONT> fonts;
    for (HWND dialog : {start, main}) {
        fonts.push_back(reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)));
    }
    pressButton(main, IDC_EXIT);
    HWND question = waitForMessageBox(program, exitQuestion);
    ASSERT_NE(question, nullptr);
    for (HWND child = GetWindow(question, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (windowText(child) == exitQuestion) {
            fonts.push_back(reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0)));
        }
    }
    PostMessageW(question, WM_COMMAND, IDCANCEL, 0);
    ASSERT_EQ(fonts.size(), 3u);

    for (HFONT font : fonts) {
        ASSERT_NE(font, nullptr);
        std::wstring missing;
        for (const auto& text : texts) {
            for (wchar_t c : missingGlyphs(font, text)) {
                if (missing.find(c) == std::wstring::npos) {
                    missing.push_back(c);
                }
            }
        }
        EXPECT_EQ(missing, L"") << "the font \"" << faceOf(font) << "\" has no glyph for: " << missing;
    }
}

TEST(MainWindow, OpensAtTheStartScreensTopLeftCorner) {
    ProgramUnderTest program;
    HWND start = program.waitForStartScreen();
    ASSERT_NE(start, nullptr);
    // The user moved the start screen away from the centre first.
    SetWindowPos(start, nullptr, 37, 53, 0, 0, SWP_NOSIZE | SWP_NOZORDER);

    pressButton(start, IDC_ACCEPT_TERMS);
    HWND main = program.waitForDialog(title, IDC_SOURCE_PATH);
    ASSERT_NE(main, nullptr);
    RECT rect{};
    GetWindowRect(main, &rect);
    EXPECT_EQ(rect.left, 37);
    EXPECT_EQ(rect.top, 53);
    EXPECT_FALSE(IsWindowVisible(start));
    EXPECT_FALSE(program.finished(0));
}

TEST(MainWindow, ShowsItsTextsAndMenu) {
    ProgramUnderTest program;
    HWND main = program.openMainWindow();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(topLevelMenuTexts(main), (std::vector<std::wstring>{L"終了", L"Pellホームページ", L"利用規約"}));
    EXPECT_EQ(menuText(main, IDM_TERMS_OF_USE), L"利用規約");
    EXPECT_EQ(controlText(main, IDC_CHOOSE_SOURCE), L"参照");
    EXPECT_EQ(controlText(main, IDC_CHOOSE_DESTINATION), L"参照");
    EXPECT_EQ(controlText(main, IDC_CONVERT), L"vCard→csv変換開始");
    EXPECT_EQ(controlText(main, IDC_WINDOWS_LIVE), L"Windows Live");
    EXPECT_EQ(controlText(main, IDC_EXIT), L"終了");
    EXPECT_EQ(staticTexts(main), (std::vector<std::wstring>{L"変換元ファイル(vCard)", L"変換先ファイル(csv)",
                                                            L"メッセージ", L"操作手順", L"提供：Morvane株式会社"}));
    EXPECT_EQ(controlText(main, IDC_INSTRUCTIONS),
              L"①変換元ファイルの【参照】ボタンをクリックするか、変換元ファイルを ドラッグ＆ドロップし、\r\n"
              L"\u3000 変換元ファイル(.vcfファイル)を選択して下さい。\r\n"
              L"②変換元ファイルを指定すると、変換先ファイルが入力されます。 変換先ファイルを\r\n"
              L"\u3000 変更したい場合は、変換先ファイルの【参照】ボタンをクリックして 選択して下さい。\r\n"
              L"③【vCard→csv変換開始】ボタンをクリックし、変換処理を実行して下さい。\r\n"
              L"④【Windows Live】ボタンをクリックし、Windows Liveのアドレス帳に変換したcsvファイルを\r\n"
              L"\u3000 インポートして下さい。");
    EXPECT_TRUE(controlText(main, IDC_SOURCE_PATH).empty());
    EXPECT_TRUE(controlText(main, IDC_DESTINATION_PATH).empty());
    EXPECT_TRUE(listLines(main, IDC_MESSAGES).empty());
    EXPECT_NE(SendMessageW(main, WM_GETICON, ICON_SMALL, 0), 0);
    EXPECT_NE(GetWindowLongW(main, GWL_EXSTYLE) & WS_EX_ACCEPTFILES, 0);
}

// The main window's three ways out all ask first.
class MainWindowExit : public ::testing::TestWithParam<int> {};

TEST_P(MainWindowExit, AsksAndOkEndsTheProgram) {
    ProgramUnderTest program;
    HWND main = program.openMainWindow();
    ASSERT_NE(main, nullptr);
    const int command = GetParam();

    PostMessageW(main, WM_COMMAND, MAKEWPARAM(command, 0), 0);
    HWND question = program.waitForDialog(L"確認", 0);
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(staticTexts(question), std::vector<std::wstring>{exitQuestion});
    PostMessageW(question, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(waitUntil([&] { return program.findDialog(L"確認", 0) == nullptr; }));
    EXPECT_TRUE(IsWindowVisible(main));

    PostMessageW(main, WM_COMMAND, MAKEWPARAM(command, 0), 0);
    question = program.waitForDialog(L"確認", 0);
    ASSERT_NE(question, nullptr);
    PostMessageW(question, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(program.finished());
    // The start screen never comes back.
    EXPECT_TRUE(program.visibleWindows().empty());
}

INSTANTIATE_TEST_SUITE_P(CloseBoxMenuAndButton, MainWindowExit, ::testing::Values(IDCANCEL, IDM_EXIT, IDC_EXIT));

struct DropCase {
    std::vector<std::wstring> dropped;
    std::wstring source;
    std::wstring destination;
};

class DroppedFiles : public ::testing::TestWithParam<DropCase> {};

TEST_P(DroppedFiles, FillTheSourceAndProposeADestination) {
    ProgramUnderTest program;
    HWND main = program.openMainWindow();
    ASSERT_NE(main, nullptr);
    SetDlgItemTextW(main, IDC_DESTINATION_PATH, L"C:\\earlier.csv");

    dropFiles(main, GetParam().dropped);
    ASSERT_TRUE(waitUntil([&] { return !controlText(main, IDC_SOURCE_PATH).empty(); }));
    EXPECT_EQ(controlText(main, IDC_SOURCE_PATH), GetParam().source);
    EXPECT_EQ(controlText(main, IDC_DESTINATION_PATH), GetParam().destination);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, DroppedFiles,
    ::testing::Values(DropCase{{L"C:\\a\\book.VCF"}, L"C:\\a\\book.VCF", L"C:\\a\\book.csv"},
                      // The last "." of the whole path counts, even in a folder name.
                      DropCase{{L"C:\\x.y\\noext"}, L"C:\\x.y\\noext", L"C:\\x.csv"},
                      DropCase{{L"C:\\noext"}, L"C:\\noext", L"C:\\noext.csv"},
                      DropCase{
                          {L"C:\\first.vcf", L"C:\\second.vcf", L"C:\\third.vcf"}, L"C:\\first.vcf", L"C:\\first.csv"},
                      DropCase{{L"C:\\notes\\memo.txt"}, L"C:\\notes\\memo.txt", L"C:\\notes\\memo.csv"}));

TEST(MainWindow, DroppedTextFileIsRefusedByTheRun) {
    TemporaryFolder folder;
    const auto text = folder.write(L"memo.txt", contact(1));
    ProgramUnderTest program;
    HWND main = program.openMainWindow();
    ASSERT_NE(main, nullptr);

    dropFiles(main, {text.wstring()});
    ASSERT_TRUE(waitUntil([&] { return !controlText(main, IDC_SOURCE_PATH).empty(); }));
    pressButton(main, IDC_CONVERT);
    HWND box = waitForMessageBox(program, L"変換元ファイルはvCardファイルではありません。");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(GetWindow(box, GW_OWNER), main);
    // The caption is the system's default one for errors.
    EXPECT_EQ(windowText(box), L"エラー");
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(waitForIdle(main));
    EXPECT_TRUE(listLines(main, IDC_MESSAGES).empty());
    EXPECT_FALSE(std::filesystem::exists(folder.path() / L"memo.csv"));
}

TEST(MainWindow, ProposalTooLongForItsFieldIsRefusedNotCut) {
    // A source of 256 characters without a "." passes the length check, but
    // its proposal ".csv" appended is 260 characters, one more than the
    // destination buffer holds.
    std::wstring source = L"C:\\";
    source += std::wstring(256 - source.size(), L'a');
    ASSERT_EQ(source.size(), 256u);
    ProgramUnderTest program;
    HWND main = program.openMainWindow();
    ASSERT_NE(main, nullptr);

    dropFiles(main, {source});
    ASSERT_TRUE(waitUntil([&] { return !controlText(main, IDC_SOURCE_PATH).empty(); }));
    EXPECT_EQ(controlText(main, IDC_DESTINATION_PATH), source + L".csv");

    pressButton(main, IDC_CONVERT);
    HWND box = waitForMessageBox(program, L"変換先ファイルのフォルダ名およびファイル名が長すぎます。");
    ASSERT_NE(box, nullptr);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(waitForIdle(main));
}

TEST(MainWindow, PathLongerThanAnyBufferIsReadWholeAndRefused) {
    // 300 characters: the field holds them all, and the run refuses the path
    // by its length rather than converting a cut-off part of it.
    std::wstring source = L"C:\\";
    source += std::wstring(300 - source.size() - 4, L'a') + L".vcf";
    ProgramUnderTest program;
    HWND main = program.openMainWindow();
    ASSERT_NE(main, nullptr);

    dropFiles(main, {source});
    ASSERT_TRUE(waitUntil([&] { return !controlText(main, IDC_SOURCE_PATH).empty(); }));
    EXPECT_EQ(controlText(main, IDC_SOURCE_PATH), source);

    pressButton(main, IDC_CONVERT);
    HWND box = waitForMessageBox(program, L"変換元ファイルのフォルダ名およびファイル名が長すぎます。");
    ASSERT_NE(box, nullptr);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(waitForIdle(main));
    EXPECT_TRUE(listLines(main, IDC_MESSAGES).empty());
}

// Sets the file name of an open or save chooser and confirms it.
void answerChooser(HWND chooser, const std::wstring& path) {
    const int fileNameBoxes[] = {0x47c /* cmb13 */, 0x480 /* edt1 */};
    for (int id : fileNameBoxes) {
        if (HWND box = GetDlgItem(chooser, id); box != nullptr) {
            SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
            break;
        }
    }
    PostMessageW(chooser, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(chooser, IDOK)));
}

std::wstring firstFilter(HWND chooser) {
    HWND filters = GetDlgItem(chooser, 0x470 /* cmb1 */);
    wchar_t text[128] = {};
    if (SendMessageW(filters, CB_GETLBTEXTLEN, 0, 0) < 128) {
        SendMessageW(filters, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text));
    }
    return text;
}

TEST(MainWindow, SourceChooserFillsBothFieldsAndCancelChangesNothing) {
    TemporaryFolder folder;
    const auto source = folder.write(L"book.VCF", contact(1));
    ProgramUnderTest program;
    HWND main = program.openMainWindow();
    ASSERT_NE(main, nullptr);

    pressButton(main, IDC_CHOOSE_SOURCE);
    HWND chooser = program.waitForDialog(L"ファイルを開く", 0);
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(firstFilter(chooser), L"vCardファイル(*.vcf)");
    answerChooser(chooser, source.wstring());
    ASSERT_TRUE(waitUntil([&] { return !controlText(main, IDC_SOURCE_PATH).empty(); }));
    EXPECT_EQ(controlText(main, IDC_SOURCE_PATH), source.wstring());
    EXPECT_EQ(controlText(main, IDC_DESTINATION_PATH), (folder.path() / L"book.csv").wstring());

    pressButton(main, IDC_CHOOSE_SOURCE);
    chooser = program.waitForDialog(L"ファイルを開く", 0);
    ASSERT_NE(chooser, nullptr);
    PostMessageW(chooser, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(waitUntil([&] { return program.findDialog(L"ファイルを開く", 0) == nullptr; }));
    SendMessageW(main, WM_NULL, 0, 0);
    EXPECT_EQ(controlText(main, IDC_SOURCE_PATH), source.wstring());
    EXPECT_EQ(controlText(main, IDC_DESTINATION_PATH), (folder.path() / L"book.csv").wstring());
}

TEST(MainWindow, DestinationChooserFillsTheDestinationOnly) {
    TemporaryFolder folder;
    // An existing file is taken without a question: the run asks later
    // whether to overwrite or append.
    const auto destination = folder.write(L"out.csv", "existing");
    ProgramUnderTest program;
    HWND main = program.openMainWindow();
    ASSERT_NE(main, nullptr);
    SetDlgItemTextW(main, IDC_SOURCE_PATH, L"C:\\kept.vcf");

    pressButton(main, IDC_CHOOSE_DESTINATION);
    HWND chooser = program.waitForDialog(L"ファイルを保存する", 0);
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(firstFilter(chooser), L"csvファイル(*.csv)");
    answerChooser(chooser, destination.wstring());
    ASSERT_TRUE(waitUntil([&] { return !controlText(main, IDC_DESTINATION_PATH).empty(); }));
    EXPECT_EQ(controlText(main, IDC_DESTINATION_PATH), destination.wstring());
    EXPECT_EQ(controlText(main, IDC_SOURCE_PATH), L"C:\\kept.vcf");
    EXPECT_EQ(program.findDialog(L"ファイルを保存する", 0), nullptr);
    EXPECT_EQ(readFile(destination), "existing");
}

TEST(MainWindow, ConversionListsItsMessagesInOrderWithTheNewestSelected) {
    TemporaryFolder folder;
    const auto source = folder.write(L"book.vcf", book(3));
    ProgramUnderTest program;
    HWND main = program.openMainWindow();
    ASSERT_NE(main, nullptr);
    dropFiles(main, {source.wstring()});
    ASSERT_TRUE(waitUntil([&] { return !controlText(main, IDC_DESTINATION_PATH).empty(); }));

    pressButton(main, IDC_CONVERT);
    ASSERT_TRUE(waitUntil([&] { return listLines(main, IDC_MESSAGES).size() == 3; }));
    ASSERT_TRUE(waitForIdle(main));
    EXPECT_EQ(listLines(main, IDC_MESSAGES), (std::vector<std::wstring>{started, completed, countsLine(3, 3)}));
    EXPECT_EQ(listSelection(main, IDC_MESSAGES), 2);
    const std::string csv = readFile(folder.path() / L"book.csv");
    EXPECT_EQ(countLines(csv), 4);  // the header and three contacts
    EXPECT_NE(csv.find("\r\n,\"Name0 Given\","), std::string::npos);
    expectAllControlsEnabled(main, true);

    // A run that finds nothing to output adds its line below the earlier ones.
    const auto empty = folder.write(L"empty.vcf", "no contacts here\r\n");
    dropFiles(main, {empty.wstring()});
    ASSERT_TRUE(waitUntil([&] { return controlText(main, IDC_SOURCE_PATH) == empty.wstring(); }));
    pressButton(main, IDC_CONVERT);
    ASSERT_TRUE(waitUntil([&] { return listLines(main, IDC_MESSAGES).size() == 5; }));
    EXPECT_EQ(listLines(main, IDC_MESSAGES), (std::vector<std::wstring>{started, completed, countsLine(3, 3), started,
                                                                        L"出力対象データが1件もありませんでした。"}));
    EXPECT_EQ(listSelection(main, IDC_MESSAGES), 4);
}

struct OverwriteCase {
    int button;
    int expectedLines;  // in the CSV file after the second run
    std::vector<std::wstring> messagesOfSecondRun;
};

class OverwriteQuestion : public ::testing::TestWithParam<OverwriteCase> {};

TEST_P(OverwriteQuestion, IsAskedWhileTheWindowIsBusyAndItsAnswerIsFollowed) {
    TemporaryFolder folder;
    const auto source = folder.write(L"book.vcf", book(2));
    ProgramUnderTest program;
    HWND main = program.openMainWindow();
    ASSERT_NE(main, nullptr);
    dropFiles(main, {source.wstring()});
    ASSERT_TRUE(waitUntil([&] { return !controlText(main, IDC_DESTINATION_PATH).empty(); }));
    pressButton(main, IDC_CONVERT);
    ASSERT_TRUE(waitUntil([&] { return listLines(main, IDC_MESSAGES).size() == 3; }));
    ASSERT_TRUE(waitForIdle(main));
    const auto destination = folder.path() / L"book.csv";
    const std::string first = readFile(destination);
    ASSERT_EQ(countLines(first), 3);

    pressButton(main, IDC_CONVERT);
    HWND question = program.waitForDialog(L"確認", IDC_OVERWRITE);
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(GetWindow(question, GW_OWNER), main);
    EXPECT_EQ(controlText(question, IDC_QUESTION_TEXT),
              L"変換先ファイルが既に存在します。\r\n上書きで保存するか、追加で保存するかを選択して下さい。");
    EXPECT_EQ(controlText(question, IDC_OVERWRITE), L"上書き保存");
    EXPECT_EQ(controlText(question, IDC_APPEND), L"追加保存");
    EXPECT_EQ(controlText(question, IDCANCEL), L"キャンセル");
    EXPECT_NE(GetWindowLongW(GetDlgItem(question, IDCANCEL), GWL_STYLE) & BS_DEFPUSHBUTTON, 0);
    // The keyboard starts on キャンセル.
    GUITHREADINFO input{};
    input.cbSize = sizeof(input);
    ASSERT_TRUE(GetGUIThreadInfo(program.threadId(), &input));
    EXPECT_EQ(input.hwndFocus, GetDlgItem(question, IDCANCEL));
    // While the run waits for the answer, the window is busy.
    expectAllControlsEnabled(main, false);

    pressButton(question, GetParam().button);
    ASSERT_TRUE(waitUntil([&] { return program.findDialog(L"確認", IDC_OVERWRITE) == nullptr; }));
    ASSERT_TRUE(waitForIdle(main));
    SendMessageW(main, WM_NULL, 0, 0);
    expectAllControlsEnabled(main, true);

    std::vector<std::wstring> expected{started, completed, countsLine(2, 2)};
    expected.insert(expected.end(), GetParam().messagesOfSecondRun.begin(), GetParam().messagesOfSecondRun.end());
    EXPECT_EQ(listLines(main, IDC_MESSAGES), expected);
    EXPECT_EQ(listSelection(main, IDC_MESSAGES), static_cast<int>(expected.size()) - 1);
    const std::string second = readFile(destination);
    EXPECT_EQ(countLines(second), GetParam().expectedLines);
    if (GetParam().button == IDC_APPEND) {
        EXPECT_EQ(second.substr(0, first.size()), first);  // rows behind the old content, no header
        EXPECT_EQ(second.substr(first.size()), first.substr(first.find("\r\n") + 2));
    } else {
        EXPECT_EQ(second, first);
    }
}

INSTANTIATE_TEST_SUITE_P(Answers, OverwriteQuestion,
                         ::testing::Values(OverwriteCase{IDC_OVERWRITE, 3, {started, completed, countsLine(2, 2)}},
                                           OverwriteCase{IDC_APPEND, 5, {started, completed, countsLine(2, 2)}},
                                           // Cancel ends the run at once and adds no message at all.
                                           OverwriteCase{IDCANCEL, 3, {}}));

// Clicks a line of the message list with the mouse.
void clickListLine(HWND main, int line) {
    HWND list = GetDlgItem(main, IDC_MESSAGES);
    RECT item{};
    SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(&item));
    POINT centre{(item.left + item.right) / 2, (item.top + item.bottom) / 2};
    ClientToScreen(list, &centre);
    clickWithMouseAt(centre);
}

TEST(MainWindow, ClickOnConvertDuringARunDoesNotStartASecondRun) {
    TemporaryFolder folder;
    const auto source = folder.write(L"book.vcf", book(3));
    ProgramUnderTest program;
    HWND main = program.openMainWindow();
    ASSERT_NE(main, nullptr);
    HWND convert = GetDlgItem(main, IDC_CONVERT);
    SetForegroundWindow(main);
    dropFiles(main, {source.wstring()});
    ASSERT_TRUE(waitUntil([&] { return !controlText(main, IDC_DESTINATION_PATH).empty(); }));

    {
        // The run stops at its first read of the source until the click has
        // been queued, however fast the machine is.
        ReadGate gate(program.threadId());
        pressButton(main, IDC_CONVERT);
        ASSERT_TRUE(gate.waitUntilHeld());
        expectAllControlsEnabled(main, false);
        clickWithMouse(convert);
        gate.release();
    }
    ASSERT_TRUE(waitForIdle(main));

    // Mouse input is taken in the order it came: once a click on the first
    // message line has selected it, the click on Convert has been handled
    // too. A second run would have asked about the existing destination and
    // kept the window disabled.
    clickListLine(main, 0);
    EXPECT_TRUE(waitUntil([&] { return listSelection(main, IDC_MESSAGES) == 0; }));
    EXPECT_EQ(program.findDialog(L"確認", IDC_OVERWRITE), nullptr);
    EXPECT_EQ(listLines(main, IDC_MESSAGES), (std::vector<std::wstring>{started, completed, countsLine(3, 3)}));
    EXPECT_EQ(countLines(readFile(folder.path() / L"book.csv")), 4);
}

TEST(MainWindow, EveryLineOfTheInstructionsCanBeScrolledIntoView) {
    ProgramUnderTest program;
    HWND main = program.openMainWindow();
    ASSERT_NE(main, nullptr);
    HWND box = GetDlgItem(main, IDC_INSTRUCTIONS);
    const auto lines = static_cast<int>(SendMessageW(box, EM_GETLINECOUNT, 0, 0));
    RECT shown{};
    SendMessageW(box, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&shown));
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(box, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, previous);
    DeleteDC(dc);
    ASSERT_GT(metrics.tmHeight, 0);
    const int visible = (shown.bottom - shown.top) / metrics.tmHeight;
    ASSERT_GT(visible, 0);
    // Seven lines of text, wrapped to the box's width.
    EXPECT_GE(lines, 7);
    EXPECT_EQ(SendMessageW(box, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    if (lines <= visible) {
        return;  // everything is in view already
    }

    // More lines than the box shows: its scroll bar reaches all of them.
    ASSERT_NE(GetWindowLongW(box, GWL_STYLE) & WS_VSCROLL, 0);
    SCROLLINFO bar{};
    bar.cbSize = sizeof(bar);
    bar.fMask = SIF_ALL;
    ASSERT_TRUE(GetScrollInfo(box, SB_VERT, &bar));
    EXPECT_GE(bar.nMax - bar.nMin + 1, lines);
    std::vector<bool> seen(static_cast<std::size_t>(lines), false);
    for (int page = 0; page < lines; ++page) {
        const auto first = static_cast<int>(SendMessageW(box, EM_GETFIRSTVISIBLELINE, 0, 0));
        for (int line = first; line < first + visible && line < lines; ++line) {
            seen[static_cast<std::size_t>(line)] = true;
        }
        SendMessageW(box, WM_VSCROLL, SB_PAGEDOWN, 0);
    }
    EXPECT_EQ(std::count(seen.begin(), seen.end(), false), 0) << lines << " lines, " << visible << " in view";
    // The last line's last character is inside the box.
    const auto lastStart = static_cast<int>(SendMessageW(box, EM_LINEINDEX, static_cast<WPARAM>(lines - 1), 0));
    const auto lastLength = static_cast<int>(SendMessageW(box, EM_LINELENGTH, static_cast<WPARAM>(lastStart), 0));
    ASSERT_GT(lastLength, 0);
    const auto position =
        static_cast<DWORD>(SendMessageW(box, EM_POSFROMCHAR, static_cast<WPARAM>(lastStart + lastLength - 1), 0));
    const auto top = static_cast<short>(HIWORD(position));
    EXPECT_GE(top, shown.top);
    EXPECT_LE(top + metrics.tmHeight, shown.bottom);
}

// What the program asked a file chooser with, recorded on its way to the
// real chooser.
struct ChooserCall {
    bool save;
    HWND owner;
    std::wstring filter;  // NUL separators shown as "|", up to the closing double NUL
    std::wstring title;
    std::wstring defaultExtension;
    DWORD flags;
    DWORD fileSize;
    std::wstring file;
    DWORD fileTitleSize;
    std::wstring fileTitle;
};

class ChooserRecorder {
public:
    ChooserRecorder() {
        std::lock_guard lock(mutex_);
        calls_.clear();
        open_ = reinterpret_cast<decltype(&GetOpenFileNameW)>(openHook_.original());
        save_ = reinterpret_cast<decltype(&GetSaveFileNameW)>(saveHook_.original());
    }
    std::vector<ChooserCall> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }

private:
    static ChooserCall describe(bool save, const OPENFILENAMEW& chooser) {
        std::wstring filter;
        for (const wchar_t* at = chooser.lpstrFilter; at != nullptr && *at != L'\0'; at += wcslen(at) + 1) {
            filter += at;
            filter += L'|';
        }
        const auto text = [](const wchar_t* value) { return std::wstring(value != nullptr ? value : L"(null)"); };
        return {save,
                chooser.hwndOwner,
                filter,
                text(chooser.lpstrTitle),
                text(chooser.lpstrDefExt),
                chooser.Flags,
                chooser.nMaxFile,
                text(chooser.lpstrFile),
                chooser.nMaxFileTitle,
                text(chooser.lpstrFileTitle)};
    }
    static BOOL WINAPI open(LPOPENFILENAMEW chooser) {
        {
            std::lock_guard lock(mutex_);
            calls_.push_back(describe(false, *chooser));
        }
        return open_(chooser);
    }
    static BOOL WINAPI save(LPOPENFILENAMEW chooser) {
        {
            std::lock_guard lock(mutex_);
            calls_.push_back(describe(true, *chooser));
        }
        return save_(chooser);
    }

    static inline std::mutex mutex_;
    static inline std::vector<ChooserCall> calls_;
    static inline decltype(&GetOpenFileNameW) open_ = nullptr;
    static inline decltype(&GetSaveFileNameW) save_ = nullptr;
    ImportHook openHook_{"comdlg32.dll", "GetOpenFileNameW", reinterpret_cast<void*>(&ChooserRecorder::open)};
    ImportHook saveHook_{"comdlg32.dll", "GetSaveFileNameW", reinterpret_cast<void*>(&ChooserRecorder::save)};
};

TEST(MainWindow, ChoosersStartEmptyWithTheirFiltersTitlesExtensionsAndFlags) {
    ChooserRecorder recorder;
    ProgramUnderTest program;
    HWND main = program.openMainWindow();
    ASSERT_NE(main, nullptr);
    // Neither chooser is offered what the fields hold.
    SetDlgItemTextW(main, IDC_SOURCE_PATH, L"C:\\earlier\\book.vcf");
    SetDlgItemTextW(main, IDC_DESTINATION_PATH, L"C:\\earlier\\book.csv");
    for (auto [button, title] :
         {std::pair{IDC_CHOOSE_SOURCE, L"ファイルを開く"}, std::pair{IDC_CHOOSE_DESTINATION, L"ファイルを保存する"}}) {
        pressButton(main, button);
        HWND chooser = program.waitForDialog(title, 0);
        ASSERT_NE(chooser, nullptr);
        PostMessageW(chooser, WM_COMMAND, IDCANCEL, 0);
        ASSERT_TRUE(waitUntil([&] { return program.findDialog(title, 0) == nullptr; }));
    }
    const auto calls = recorder.calls();
    ASSERT_EQ(calls.size(), 2u);
    const auto expectCall = [&](const ChooserCall& call, bool save, const std::wstring& filter,
                                const std::wstring& title, const std::wstring& extension, DWORD flags) {
        EXPECT_EQ(call.save, save);
        EXPECT_EQ(call.owner, main);
        EXPECT_EQ(call.filter, filter);
        EXPECT_EQ(call.title, title);
        EXPECT_EQ(call.defaultExtension, extension);
        EXPECT_EQ(call.flags, flags);
        EXPECT_EQ(call.fileSize, 260u);
        EXPECT_EQ(call.file, L"");
        EXPECT_EQ(call.fileTitleSize, 260u);
        EXPECT_EQ(call.fileTitle, L"");
    };
    expectCall(calls[0], false, L"vCardファイル(*.vcf)|*.vcf|", L"ファイルを開く", L"vcf",
               OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY);
    // No overwrite prompt: the conversion run asks whether to overwrite.
    expectCall(calls[1], true, L"csvファイル(*.csv)|*.csv|", L"ファイルを保存する", L"csv", OFN_HIDEREADONLY);
    EXPECT_EQ(controlText(main, IDC_SOURCE_PATH), L"C:\\earlier\\book.vcf");
    EXPECT_EQ(controlText(main, IDC_DESTINATION_PATH), L"C:\\earlier\\book.csv");
}

// Another program holds the source or the destination: the run says so in a
// message box, lists its failure, and leaves every file as it was.
struct HeldCase {
    bool holdSource;
    Sharing sharing;
    std::string_view error;
};

class HeldByAnotherProgram : public ::testing::TestWithParam<HeldCase> {};

TEST_P(HeldByAnotherProgram, ShowsWhyAndLeavesTheFilesAlone) {
    TemporaryFolder folder;
    const auto source = folder.write(L"book.vcf", book(2));
    const auto destination = folder.write(L"book.csv", "kept,as,it,was\r\n");
    auto holder = std::make_unique<FileHolder>(GetParam().holdSource ? source : destination, GetParam().sharing);
    ASSERT_TRUE(holder->holding());
    ProgramUnderTest program;
    HWND main = program.openMainWindow();
    ASSERT_NE(main, nullptr);
    dropFiles(main, {source.wstring()});
    ASSERT_TRUE(waitUntil([&] { return controlText(main, IDC_DESTINATION_PATH) == destination.wstring(); }));

    pressButton(main, IDC_CONVERT);
    HWND question = program.waitForDialog(L"確認", IDC_OVERWRITE);
    ASSERT_NE(question, nullptr);
    pressButton(question, IDC_OVERWRITE);
    HWND box = waitForMessageBox(program, app::widen(GetParam().error));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(GetWindow(box, GW_OWNER), main);
    EXPECT_EQ(windowText(box), L"エラー");
    EXPECT_EQ(listLines(main, IDC_MESSAGES), std::vector<std::wstring>{started});
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(waitForIdle(main));
    EXPECT_EQ(listLines(main, IDC_MESSAGES), (std::vector<std::wstring>{started, L"変換処理に失敗しました。"}));
    EXPECT_EQ(listSelection(main, IDC_MESSAGES), 1);
    holder.reset();
    EXPECT_EQ(readFile(destination), "kept,as,it,was\r\n");
    EXPECT_EQ(readFile(source), book(2));
}

INSTANTIATE_TEST_SUITE_P(SourceAndDestination, HeldByAnotherProgram,
                         ::testing::Values(HeldCase{true, Sharing::none, messages::sourceUnreadable},
                                           HeldCase{true, Sharing::readOnly, messages::sourceUnreadable},
                                           HeldCase{false, Sharing::none, messages::destinationUnwritable},
                                           // A spreadsheet showing the CSV file lets others read it, not write it.
                                           HeldCase{false, Sharing::readOnly, messages::destinationUnwritable}));

}  // namespace
}  // namespace velmora::testing
