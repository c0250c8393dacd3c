// The start screen and the main window, driven through their messages: the
// texts the user reads and the font that draws them, the exit question and
// the exit code, the main window's position, the web links, the file
// choosers, drops, the proposed destination, conversions with their message
// lines, files held by other programs, the overwrite question and the busy
// state.
#include <gtest/gtest.h>

#include "tests/windows/driver.h"

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/app.h"
#include "app/resources/resource.h"
#include "conversion/messages.h"

namespace velmora::testing {
namespace {

const std::wstring title = L"Velmoraver 1.00";
const std::wstring confirmTitle = L"確認";
const std::wstring exitQuestion = L"終了します。よろしいですか？";
const std::wstring started = L"変換処理中...";
const std::wstring completed = L"変換が完了しました。";
const std::wstring openTitle = L"ファイルを開く";
const std::wstring saveTitle = L"ファイルを保存する";

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

void expectAllControlsEnabled(HWND window, bool enabled) {
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        EXPECT_EQ(IsWindowEnabled(child) != FALSE, enabled)
            << "control " << GetDlgCtrlID(child) << " of class " << className(child);
    }
    for (UINT command : {IDM_EXIT, IDM_HOME_PAGE, IDM_TERMS_OF_USE}) {
        EXPECT_EQ(menuGrayed(window, command), !enabled) << "menu command " << command;
    }
}

enum class Screen { start, main };

// Each test runs the program's screens on a thread of their own and has a
// folder of its own for the files it converts. The folder is removed after
// the program has ended, when no run holds a file of it any more.
class ProgramTest : public ::testing::Test {
protected:
    // The start screen, or the main window reached through it.
    HWND show(Screen screen) {
        return screen == Screen::start ? program.waitForStartScreen() : program.openMainWindow();
    }

    // Sends `command` to a screen and waits for the exit question.
    HWND askToExit(HWND window, UINT command) {
        chooseMenuCommand(window, command);
        return program.waitForDialog(confirmTitle, 0);
    }

    TemporaryFolder folder;
    ProgramUnderTest program;
};

class StartScreen : public ProgramTest {
protected:
    void SetUp() override {
        start = program.waitForStartScreen();
        ASSERT_NE(start, nullptr);
    }

    HWND start = nullptr;
};

// The main window with the steps of a conversion: files dropped on it, the
// choosers, the Convert button and the end of the run.
class MainWindow : public ProgramTest {
protected:
    void SetUp() override {
        main = program.openMainWindow();
        ASSERT_NE(main, nullptr);
    }

    std::vector<std::wstring> messageLines() const { return listLines(main, IDC_MESSAGES); }
    int selectedLine() const { return listSelection(main, IDC_MESSAGES); }

    // Drops files on the window as the shell does; succeeds once the source
    // field shows the first of them and the destination field a proposal.
    ::testing::AssertionResult drop(const std::vector<std::wstring>& paths) {
        const auto handled = [&] {
            return controlText(main, IDC_SOURCE_PATH) == paths.front() &&
                   !controlText(main, IDC_DESTINATION_PATH).empty();
        };
        dropFiles(main, paths);
        if (waitUntil(handled)) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure()
               << "after the drop the source field shows \"" << controlText(main, IDC_SOURCE_PATH)
               << "\" and the destination field \"" << controlText(main, IDC_DESTINATION_PATH) << "\"";
    }
    ::testing::AssertionResult dropFile(const std::filesystem::path& file) { return drop({file.wstring()}); }

    // Presses a chooser's button and waits for the chooser.
    HWND openChooser(int button, const std::wstring& chooserTitle) {
        pressButton(main, button);
        return program.waitForDialog(chooserTitle, 0);
    }

    // Picks `file` in the chooser behind `button`, as a user does, once it
    // has been checked that the chooser offers `fileType` first; succeeds
    // when the field `filled` shows a path after it.
    ::testing::AssertionResult pickFile(int button, const std::wstring& chooserTitle, const std::wstring& fileType,
                                        const std::filesystem::path& file, int filled) {
        HWND chooser = openChooser(button, chooserTitle);
        if (chooser == nullptr) {
            return ::testing::AssertionFailure() << "no chooser \"" << chooserTitle << "\" appeared";
        }
        EXPECT_EQ(firstChooserFilter(chooser), fileType);
        answerChooser(chooser, file.wstring());
        if (waitUntil([&] { return !controlText(main, filled).empty(); })) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << "the field " << filled << " stayed empty";
    }

    // Presses Convert; succeeds once the run has ended with `lines` lines in
    // the message list. Every run adds lines, so the count tells that this
    // run, not an earlier one, has ended.
    ::testing::AssertionResult convert(std::size_t lines) {
        pressButton(main, IDC_CONVERT);
        if (waitUntil([&] { return messageLines().size() == lines && idle(); })) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure()
               << "the message list holds " << ::testing::PrintToString(messageLines()) << ", not " << lines << " lines"
               << (idle() ? "" : ", and the window is still busy");
    }

    // Presses Convert and waits for the message box with `text` that the run
    // shows.
    HWND convertUntilMessageBox(const std::wstring& text) {
        pressButton(main, IDC_CONVERT);
        return program.waitForMessageBox(text);
    }

    HWND convertUntilOverwriteQuestion() {
        pressButton(main, IDC_CONVERT);
        return program.waitForDialog(confirmTitle, IDC_OVERWRITE);
    }

    // True when no run is under way: the window accepts input.
    bool idle() const { return IsWindowEnabled(GetDlgItem(main, IDC_CONVERT)) != FALSE; }
    bool waitForIdle() const {
        return waitUntil([&] { return idle(); });
    }

    // Answers the message box that a run shows with OK and waits until the
    // run has ended.
    bool finishRun(HWND box) const { return dismiss(box, IDOK) && waitForIdle(); }

    HWND main = nullptr;
};

TEST_F(StartScreen, ShowsItsTextsMenuAndIcon) {
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

// Every way out of either screen asks first: Cancel keeps the screen, OK ends
// the program.
struct ExitCase {
    Screen screen;
    UINT command;
};

class ExitQuestion : public ProgramTest, public ::testing::WithParamInterface<ExitCase> {};

TEST_P(ExitQuestion, CancelKeepsTheScreenAndOkEndsTheProgram) {
    HWND window = show(GetParam().screen);
    ASSERT_NE(window, nullptr);

    HWND question = askToExit(window, GetParam().command);
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(staticTexts(question), std::vector<std::wstring>{exitQuestion});
    ASSERT_TRUE(dismiss(question, IDCANCEL));
    // Answered once the command that asked has been handled to its end.
    SendMessageW(window, WM_NULL, 0, 0);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_FALSE(program.finished(0));

    question = askToExit(window, GetParam().command);
    ASSERT_NE(question, nullptr);
    PostMessageW(question, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(program.finished());
    // The start screen never comes back after the main window.
    EXPECT_TRUE(program.visibleWindows().empty());
    if (GetParam().screen == Screen::start) {
        EXPECT_EQ(program.result(), static_cast<INT_PTR>(GetParam().command));
    }
}

INSTANTIATE_TEST_SUITE_P(CloseBoxMenuAndButton, ExitQuestion,
                         ::testing::Values(ExitCase{Screen::start, IDCANCEL}, ExitCase{Screen::start, IDM_EXIT},
                                           ExitCase{Screen::main, IDCANCEL}, ExitCase{Screen::main, IDM_EXIT},
                                           ExitCase{Screen::main, IDC_EXIT}));

// Velmora.exe itself, ended through its exit question from the start screen
// or from the main window.
class ProgramExit : public ::testing::TestWithParam<Screen> {};

TEST_P(ProgramExit, ExitCodeIsZero) {
    ProgramProcess velmora((programFolder() / L"../../app/Velmora.exe").lexically_normal());
    ASSERT_TRUE(velmora.started());
    HWND window = velmora.waitForWindow(title, IDC_ACCEPT_TERMS);
    ASSERT_NE(window, nullptr);
    if (GetParam() == Screen::main) {
        pressButton(window, IDC_ACCEPT_TERMS);
        window = velmora.waitForWindow(title, IDC_SOURCE_PATH);
        ASSERT_NE(window, nullptr);
    }
    PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    HWND question = velmora.waitForWindow(confirmTitle, 0);
    ASSERT_NE(question, nullptr);
    PostMessageW(question, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(velmora.exitCode(), std::optional<DWORD>(0));
}

INSTANTIATE_TEST_SUITE_P(StartScreenAndMainWindow, ProgramExit, ::testing::Values(Screen::start, Screen::main));

struct LinkCase {
    Screen screen;
    UINT command;  // a menu command or a button
    const wchar_t* address;
};

class WebLinks : public ProgramTest, public ::testing::WithParamInterface<LinkCase> {};

TEST_P(WebLinks, OpenTheirPageAndLeaveTheWindowAsItWas) {
    HWND window = show(GetParam().screen);
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
                         ::testing::Values(LinkCase{Screen::start, IDM_HOME_PAGE, homePage},
                                           LinkCase{Screen::start, IDC_READ_TERMS, termsOfUse},
                                           LinkCase{Screen::main, IDM_HOME_PAGE, homePage},
                                           LinkCase{Screen::main, IDM_TERMS_OF_USE, termsOfUse},
                                           LinkCase{Screen::main, IDC_WINDOWS_LIVE, signIn}));

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

using Fonts = StartScreen;

TEST_F(Fonts, DialogsAndMessageBoxesHaveAGlyphForEveryCharacterTheProgramShows) {
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
    HWND question = program.waitForMessageBox(exitQuestion);
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

TEST_F(StartScreen, MainWindowOpensAtItsTopLeftCorner) {
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

TEST_F(MainWindow, ShowsItsTextsAndMenu) {
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
    EXPECT_TRUE(messageLines().empty());
    EXPECT_NE(SendMessageW(main, WM_GETICON, ICON_SMALL, 0), 0);
    EXPECT_NE(GetWindowLongW(main, GWL_EXSTYLE) & WS_EX_ACCEPTFILES, 0);
}

struct DropCase {
    std::vector<std::wstring> dropped;
    std::wstring source;
    std::wstring destination;
};

class DroppedFiles : public MainWindow, public ::testing::WithParamInterface<DropCase> {};

TEST_P(DroppedFiles, FillTheSourceAndProposeADestination) {
    SetDlgItemTextW(main, IDC_DESTINATION_PATH, L"C:\\earlier.csv");

    ASSERT_TRUE(drop(GetParam().dropped));
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

TEST_F(MainWindow, DroppedTextFileIsRefusedByTheRun) {
    ASSERT_TRUE(dropFile(folder.write(L"memo.txt", contact(1))));
    HWND box = convertUntilMessageBox(L"変換元ファイルはvCardファイルではありません。");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(GetWindow(box, GW_OWNER), main);
    // The caption is the system's default one for errors.
    EXPECT_EQ(windowText(box), L"エラー");
    ASSERT_TRUE(finishRun(box));
    EXPECT_TRUE(messageLines().empty());
    EXPECT_FALSE(std::filesystem::exists(folder.path() / L"memo.csv"));
}

TEST_F(MainWindow, ProposalTooLongForItsFieldIsRefusedNotCut) {
    // A source of 256 characters without a "." passes the length check, but
    // its proposal ".csv" appended is 260 characters, one more than the
    // destination buffer holds.
    std::wstring source = L"C:\\";
    source += std::wstring(256 - source.size(), L'a');
    ASSERT_EQ(source.size(), 256u);

    ASSERT_TRUE(drop({source}));
    EXPECT_EQ(controlText(main, IDC_DESTINATION_PATH), source + L".csv");
    HWND box = convertUntilMessageBox(L"変換先ファイルのフォルダ名およびファイル名が長すぎます。");
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(finishRun(box));
}

TEST_F(MainWindow, PathLongerThanAnyBufferIsReadWholeAndRefused) {
    // 300 characters: the field holds them all, and the run refuses the path
    // by its length rather than converting a cut-off part of it.
    std::wstring source = L"C:\\";
    source += std::wstring(300 - source.size() - 4, L'a') + L".vcf";

    ASSERT_TRUE(drop({source}));
    EXPECT_EQ(controlText(main, IDC_SOURCE_PATH), source);
    HWND box = convertUntilMessageBox(L"変換元ファイルのフォルダ名およびファイル名が長すぎます。");
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(finishRun(box));
    EXPECT_TRUE(messageLines().empty());
}

TEST_F(MainWindow, SourceChooserFillsBothFieldsAndCancelChangesNothing) {
    const auto source = folder.write(L"book.VCF", contact(1));
    const auto proposal = (folder.path() / L"book.csv").wstring();

    ASSERT_TRUE(pickFile(IDC_CHOOSE_SOURCE, openTitle, L"vCardファイル(*.vcf)", source, IDC_SOURCE_PATH));
    EXPECT_EQ(controlText(main, IDC_SOURCE_PATH), source.wstring());
    EXPECT_EQ(controlText(main, IDC_DESTINATION_PATH), proposal);

    HWND chooser = openChooser(IDC_CHOOSE_SOURCE, openTitle);
    ASSERT_NE(chooser, nullptr);
    ASSERT_TRUE(dismiss(chooser, IDCANCEL));
    SendMessageW(main, WM_NULL, 0, 0);
    EXPECT_EQ(controlText(main, IDC_SOURCE_PATH), source.wstring());
    EXPECT_EQ(controlText(main, IDC_DESTINATION_PATH), proposal);
}

TEST_F(MainWindow, DestinationChooserFillsTheDestinationOnly) {
    // An existing file is taken without a question: the run asks later
    // whether to overwrite or append.
    const auto destination = folder.write(L"out.csv", "existing");
    SetDlgItemTextW(main, IDC_SOURCE_PATH, L"C:\\kept.vcf");

    ASSERT_TRUE(pickFile(IDC_CHOOSE_DESTINATION, saveTitle, L"csvファイル(*.csv)", destination, IDC_DESTINATION_PATH));
    EXPECT_EQ(controlText(main, IDC_DESTINATION_PATH), destination.wstring());
    EXPECT_EQ(controlText(main, IDC_SOURCE_PATH), L"C:\\kept.vcf");
    EXPECT_EQ(program.findDialog(saveTitle, 0), nullptr);
    EXPECT_EQ(readFile(destination), "existing");
}

TEST_F(MainWindow, ChoosersStartEmptyWithTheirFiltersTitlesExtensionsAndFlags) {
    ChooserRecorder recorder;
    // Neither chooser is offered what the fields hold.
    SetDlgItemTextW(main, IDC_SOURCE_PATH, L"C:\\earlier\\book.vcf");
    SetDlgItemTextW(main, IDC_DESTINATION_PATH, L"C:\\earlier\\book.csv");
    for (auto [button, chooserTitle] :
         {std::pair{IDC_CHOOSE_SOURCE, openTitle}, std::pair{IDC_CHOOSE_DESTINATION, saveTitle}}) {
        HWND chooser = openChooser(button, chooserTitle);
        ASSERT_NE(chooser, nullptr);
        ASSERT_TRUE(dismiss(chooser, IDCANCEL));
    }
    const auto calls = recorder.calls();
    ASSERT_EQ(calls.size(), 2u);
    const auto expectCall = [&](const ChooserCall& call, bool save, const std::wstring& filter,
                                const std::wstring& chooserTitle, const std::wstring& extension, DWORD flags) {
        EXPECT_EQ(call.save, save);
        EXPECT_EQ(call.owner, main);
        EXPECT_EQ(call.filter, filter);
        EXPECT_EQ(call.title, chooserTitle);
        EXPECT_EQ(call.defaultExtension, extension);
        EXPECT_EQ(call.flags, flags);
        EXPECT_EQ(call.fileSize, 260u);
        EXPECT_EQ(call.file, L"");
        EXPECT_EQ(call.fileTitleSize, 260u);
        EXPECT_EQ(call.fileTitle, L"");
    };
    expectCall(calls[0], false, L"vCardファイル(*.vcf)|*.vcf|", openTitle, L"vcf",
               OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY);
    // No overwrite prompt: the conversion run asks whether to overwrite.
    expectCall(calls[1], true, L"csvファイル(*.csv)|*.csv|", saveTitle, L"csv", OFN_HIDEREADONLY);
    EXPECT_EQ(controlText(main, IDC_SOURCE_PATH), L"C:\\earlier\\book.vcf");
    EXPECT_EQ(controlText(main, IDC_DESTINATION_PATH), L"C:\\earlier\\book.csv");
}

TEST_F(MainWindow, ConversionListsItsMessagesInOrderWithTheNewestSelected) {
    ASSERT_TRUE(dropFile(folder.write(L"book.vcf", book(3))));
    ASSERT_TRUE(convert(3));
    EXPECT_EQ(messageLines(), (std::vector<std::wstring>{started, completed, countsLine(3, 3)}));
    EXPECT_EQ(selectedLine(), 2);
    const std::string csv = readFile(folder.path() / L"book.csv");
    EXPECT_EQ(countLines(csv), 4);  // the header and three contacts
    EXPECT_NE(csv.find("\r\n,\"Name0 Given\","), std::string::npos);
    expectAllControlsEnabled(main, true);

    // A run that finds nothing to output adds its line below the earlier ones.
    ASSERT_TRUE(dropFile(folder.write(L"empty.vcf", "no contacts here\r\n")));
    ASSERT_TRUE(convert(5));
    EXPECT_EQ(messageLines(), (std::vector<std::wstring>{started, completed, countsLine(3, 3), started,
                                                         L"出力対象データが1件もありませんでした。"}));
    EXPECT_EQ(selectedLine(), 4);
}

TEST_F(MainWindow, TheLayoutCheckBoxChoosesTheColumns) {
    HWND fullLayout = GetDlgItem(main, IDC_FULL_LAYOUT);
    EXPECT_EQ(controlText(main, IDC_FULL_LAYOUT), L"姓・名・フリガナを別々の列に出力する");
    EXPECT_EQ(SendMessageW(fullLayout, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    // The row of contact(0) in each layout: the whole name in 名, or the
    // name by its parts.
    const auto row = [](std::map<int, std::string> columns) {
        std::string line;
        for (int i = 0; i < 95; ++i) line += (i == 0 ? "" : ",") + (columns.count(i) ? "\"" + columns[i] + "\"" : "");
        return line + "\r\n";
    };
    const std::string classic = row({{1, "Name0 Given"}, {40, "090-0000-1000"}});
    const std::string full = row({{0, ""}, {1, "Given"}, {2, ""}, {3, "Name0"}, {4, ""}, {40, "090-0000-1000"}});

    ASSERT_TRUE(dropFile(folder.write(L"classic.vcf", book(1))));
    ASSERT_TRUE(convert(3));
    const std::string classicFile = readFile(folder.path() / L"classic.csv");
    const std::string header = classicFile.substr(0, classicFile.find("\r\n") + 2);
    EXPECT_EQ(readFile(folder.path() / L"classic.csv"), header + classic);

    PostMessageW(fullLayout, BM_CLICK, 0, 0);  // as a click on the box
    ASSERT_TRUE(waitUntil([&] { return SendMessageW(fullLayout, BM_GETCHECK, 0, 0) == BST_CHECKED; }));
    ASSERT_TRUE(dropFile(folder.write(L"full.vcf", book(1))));
    ASSERT_TRUE(convert(6));
    EXPECT_EQ(readFile(folder.path() / L"full.csv"), header + full);

    // Disabled while a run is under way, and still checked after it.
    HWND question = convertUntilOverwriteQuestion();
    ASSERT_NE(question, nullptr);
    EXPECT_FALSE(IsWindowEnabled(fullLayout));
    ASSERT_TRUE(dismiss(question, IDCANCEL));
    // The controls are enabled one after another, the box after Convert.
    ASSERT_TRUE(waitUntil([&] { return IsWindowEnabled(fullLayout) != FALSE; }));
    EXPECT_EQ(SendMessageW(fullLayout, BM_GETCHECK, 0, 0), BST_CHECKED);
}

struct OverwriteCase {
    int button;
    int expectedLines;  // in the CSV file after the second run
    std::vector<std::wstring> messagesOfSecondRun;
};

class OverwriteQuestion : public MainWindow, public ::testing::WithParamInterface<OverwriteCase> {};

TEST_P(OverwriteQuestion, IsAskedWhileTheWindowIsBusyAndItsAnswerIsFollowed) {
    ASSERT_TRUE(dropFile(folder.write(L"book.vcf", book(2))));
    ASSERT_TRUE(convert(3));
    const auto destination = folder.path() / L"book.csv";
    const std::string first = readFile(destination);
    ASSERT_EQ(countLines(first), 3);

    HWND question = convertUntilOverwriteQuestion();
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

    ASSERT_TRUE(dismiss(question, GetParam().button));
    ASSERT_TRUE(waitForIdle());
    SendMessageW(main, WM_NULL, 0, 0);
    expectAllControlsEnabled(main, true);

    std::vector<std::wstring> expected{started, completed, countsLine(2, 2)};
    expected.insert(expected.end(), GetParam().messagesOfSecondRun.begin(), GetParam().messagesOfSecondRun.end());
    EXPECT_EQ(messageLines(), expected);
    EXPECT_EQ(selectedLine(), static_cast<int>(expected.size()) - 1);
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
    clickWithMouseAt(listLineCentre(main, IDC_MESSAGES, line));
}

TEST_F(MainWindow, ClickOnConvertDuringARunDoesNotStartASecondRun) {
    HWND convertButton = GetDlgItem(main, IDC_CONVERT);
    SetForegroundWindow(main);
    ASSERT_TRUE(dropFile(folder.write(L"book.vcf", book(3))));

    {
        // The run stops at its first read of the source until the click has
        // been queued, however fast the machine is.
        ReadGate gate(program.threadId());
        pressButton(main, IDC_CONVERT);
        ASSERT_TRUE(gate.waitUntilHeld());
        expectAllControlsEnabled(main, false);
        clickWithMouse(convertButton);
        gate.release();
    }
    ASSERT_TRUE(waitForIdle());

    // Mouse input is taken in the order it came: once a click on the first
    // message line has selected it, the click on Convert has been handled
    // too. A second run would have asked about the existing destination and
    // kept the window disabled.
    clickListLine(main, 0);
    EXPECT_TRUE(waitUntil([&] { return selectedLine() == 0; }));
    EXPECT_EQ(program.findDialog(confirmTitle, IDC_OVERWRITE), nullptr);
    EXPECT_EQ(messageLines(), (std::vector<std::wstring>{started, completed, countsLine(3, 3)}));
    EXPECT_EQ(countLines(readFile(folder.path() / L"book.csv")), 4);
}

TEST_F(MainWindow, EveryLineOfTheInstructionsCanBeScrolledIntoView) {
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

// Another program holds the source or the destination: the run says so in a
// message box, lists its failure, and leaves every file as it was.
struct HeldCase {
    bool holdSource;
    Sharing sharing;
    std::string_view error;
};

class HeldByAnotherProgram : public MainWindow, public ::testing::WithParamInterface<HeldCase> {};

TEST_P(HeldByAnotherProgram, ShowsWhyAndLeavesTheFilesAlone) {
    const auto source = folder.write(L"book.vcf", book(2));
    const auto destination = folder.write(L"book.csv", "kept,as,it,was\r\n");
    auto holder = std::make_unique<FileHolder>(GetParam().holdSource ? source : destination, GetParam().sharing);
    ASSERT_TRUE(holder->holding());
    ASSERT_TRUE(dropFile(source));
    ASSERT_EQ(controlText(main, IDC_DESTINATION_PATH), destination.wstring());

    HWND question = convertUntilOverwriteQuestion();
    ASSERT_NE(question, nullptr);
    ASSERT_TRUE(dismiss(question, IDC_OVERWRITE));
    HWND box = program.waitForMessageBox(app::widen(GetParam().error));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(GetWindow(box, GW_OWNER), main);
    EXPECT_EQ(windowText(box), L"エラー");
    EXPECT_EQ(messageLines(), std::vector<std::wstring>{started});
    ASSERT_TRUE(finishRun(box));
    EXPECT_EQ(messageLines(), (std::vector<std::wstring>{started, L"変換処理に失敗しました。"}));
    EXPECT_EQ(selectedLine(), 1);
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
