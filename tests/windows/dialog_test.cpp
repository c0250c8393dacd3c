// The start screen and the main window, driven through their messages: the
// texts the user reads, the exit question, the main window's position, the
// file choosers, drops, the proposed destination, conversions with their
// message lines, the overwrite question and the busy state.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/resources/resource.h"
#include "tests/windows/driver.h"

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
    EXPECT_FALSE(program.finished(200));
    EXPECT_TRUE(IsWindowVisible(start));

    chooseMenuCommand(start, GetParam());
    question = program.waitForDialog(L"確認", 0);
    ASSERT_NE(question, nullptr);
    PostMessageW(question, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(program.finished());
    EXPECT_EQ(program.result(), static_cast<INT_PTR>(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(CloseBoxAndMenu, StartScreenExit, ::testing::Values(IDCANCEL, IDM_EXIT));

TEST(StartScreen, ReadingTheTermsLeavesTheScreenOpen) {
    ProgramUnderTest program;
    HWND start = program.waitForStartScreen();
    ASSERT_NE(start, nullptr);
    pressButton(start, IDC_READ_TERMS);
    // A message sent after the posted press is answered only once the press
    // has been handled.
    SendMessageW(start, WM_NULL, 0, 0);
    EXPECT_TRUE(IsWindowVisible(start));
    EXPECT_EQ(program.findDialog(title, IDC_SOURCE_PATH), nullptr);
    EXPECT_FALSE(program.finished(0));
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

TEST(MainWindow, ClickOnConvertDuringARunDoesNotStartASecondRun) {
    TemporaryFolder folder;
    ProgramUnderTest program;
    HWND main = program.openMainWindow();
    ASSERT_NE(main, nullptr);
    HWND convert = GetDlgItem(main, IDC_CONVERT);
    SetForegroundWindow(main);

    // The run must last long enough for a click to arrive while it blocks
    // the window; the address book grows until one does.
    bool clickedDuringRun = false;
    for (int contacts = 20000; contacts <= 640000 && !clickedDuringRun; contacts *= 4) {
        const auto name = L"big" + std::to_wstring(contacts) + L".vcf";
        const auto source = folder.write(name, book(contacts));
        dropFiles(main, {source.wstring()});
        ASSERT_TRUE(waitUntil([&] { return controlText(main, IDC_SOURCE_PATH) == source.wstring(); }));
        const std::size_t linesBefore = listLines(main, IDC_MESSAGES).size();

        pressButton(main, IDC_CONVERT);
        // Busy: the button disabled and, set last, the menu grayed.
        const bool busy = waitUntil([&] { return !IsWindowEnabled(convert) && menuGrayed(main, IDM_EXIT); }, 5000);
        if (busy) {
            clickWithMouse(convert);
            clickedDuringRun = !IsWindowEnabled(convert);
        }

        ASSERT_TRUE(waitUntil([&] { return IsWindowEnabled(convert) != FALSE; }, 60000));
        // Give a wrongly delivered click every chance to start its run: a
        // second run would ask about the existing destination.
        Sleep(300);
        SendMessageW(main, WM_NULL, 0, 0);
        EXPECT_EQ(program.findDialog(L"確認", IDC_OVERWRITE), nullptr);
        EXPECT_EQ(listLines(main, IDC_MESSAGES).size(), linesBefore + 3);
        if (program.findDialog(L"確認", IDC_OVERWRITE) != nullptr) {
            break;
        }
    }
    EXPECT_TRUE(clickedDuringRun) << "no run lasted long enough to click during it";
}

}  // namespace
}  // namespace velmora::testing
