// The compiled resources held against the screens' tables: every dialog
// template's controls with their ids, classes, texts, positions, sizes and
// styles; the Japanese language; the icon groups; the version information;
// the manifest.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/resources/resource.h"

namespace velmora::testing {
namespace {

const WORD japanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);

// The bytes of a resource of this module in Japanese; empty when missing.
std::vector<unsigned char> resource(LPCWSTR type, WORD id) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceExW(module, type, MAKEINTRESOURCEW(id), japanese);
    if (found == nullptr) {
        return {};
    }
    const auto* data = static_cast<const unsigned char*>(LockResource(LoadResource(module, found)));
    return std::vector<unsigned char>(data, data + SizeofResource(module, found));
}

// Reads a DLGTEMPLATEEX and its DLGITEMTEMPLATEEX entries.
class TemplateReader {
public:
    explicit TemplateReader(const std::vector<unsigned char>& bytes) : bytes_(bytes) {}

    WORD word() {
        WORD value = 0;
        std::memcpy(&value, bytes_.data() + at_, 2);
        at_ += 2;
        return value;
    }
    DWORD dword() {
        DWORD value = 0;
        std::memcpy(&value, bytes_.data() + at_, 4);
        at_ += 4;
        return value;
    }
    short coordinate() { return static_cast<short>(word()); }
    std::wstring text() {
        std::wstring value;
        for (WORD unit = word(); unit != 0; unit = word()) {
            value.push_back(static_cast<wchar_t>(unit));
        }
        return value;
    }
    // A name or an ordinal; an ordinal comes back as "#n".
    std::wstring nameOrOrdinal() {
        const WORD first = word();
        if (first == 0) {
            return std::wstring();
        }
        if (first == 0xFFFF) {
            return L"#" + std::to_wstring(word());
        }
        at_ -= 2;
        return text();
    }
    void alignToDword() { at_ = (at_ + 3) & ~static_cast<std::size_t>(3); }
    void skip(std::size_t count) { at_ += count; }

private:
    const std::vector<unsigned char>& bytes_;
    std::size_t at_ = 0;
};

struct Control {
    std::wstring windowClass;  // "#128" Button, "#129" Edit, "#130" Static, "#131" List box
    int id;
    std::wstring text;
    short x, y, width, height;
    DWORD style;
};

struct Dialog {
    DWORD style = 0;
    short x = 0, y = 0, width = 0, height = 0;
    std::wstring menu;
    std::wstring title;
    WORD pointSize = 0;
    std::wstring face;
    std::vector<Control> controls;
};

Dialog readDialog(WORD id) {
    const auto bytes = resource(RT_DIALOG, id);
    Dialog dialog;
    if (bytes.empty()) {
        ADD_FAILURE() << "no Japanese dialog template " << id;
        return dialog;
    }
    TemplateReader reader(bytes);
    EXPECT_EQ(reader.word(), 1);       // dlgVer
    EXPECT_EQ(reader.word(), 0xFFFF);  // DLGTEMPLATEEX
    reader.dword();                    // help id
    reader.dword();                    // extended style
    dialog.style = reader.dword();
    const WORD count = reader.word();
    dialog.x = reader.coordinate();
    dialog.y = reader.coordinate();
    dialog.width = reader.coordinate();
    dialog.height = reader.coordinate();
    dialog.menu = reader.nameOrOrdinal();
    reader.nameOrOrdinal();  // window class
    dialog.title = reader.text();
    if (dialog.style & DS_SETFONT) {
        dialog.pointSize = reader.word();
        reader.word();   // weight
        reader.skip(2);  // italic, charset
        dialog.face = reader.text();
    }
    for (WORD i = 0; i < count; ++i) {
        reader.alignToDword();
        Control control;
        reader.dword();  // help id
        reader.dword();  // extended style
        control.style = reader.dword();
        control.x = reader.coordinate();
        control.y = reader.coordinate();
        control.width = reader.coordinate();
        control.height = reader.coordinate();
        control.id = static_cast<int>(reader.dword());
        control.windowClass = reader.nameOrOrdinal();
        control.text = reader.nameOrOrdinal();
        reader.skip(reader.word());  // creation data
        dialog.controls.push_back(control);
    }
    return dialog;
}

const std::wstring button = L"#128";
const std::wstring edit = L"#129";
const std::wstring label = L"#130";
const std::wstring listBox = L"#131";
const int none = 0xFFFF;  // IDC_STATIC as the template stores it

struct Expected {
    std::wstring windowClass;
    int id;
    std::wstring text;
    short x, y, width, height;
    DWORD required;   // style bits that must be set
    DWORD forbidden;  // style bits that must not be set
};

void expectControls(const Dialog& dialog, const std::vector<Expected>& expected) {
    ASSERT_EQ(dialog.controls.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const Control& actual = dialog.controls[i];
        const Expected& want = expected[i];
        SCOPED_TRACE("control " + std::to_string(i) + ", id " + std::to_string(want.id));
        EXPECT_EQ(actual.windowClass, want.windowClass);
        EXPECT_EQ(actual.id & 0xFFFF, want.id);
        if (want.text != L"*") {
            EXPECT_EQ(actual.text, want.text);
        }
        EXPECT_EQ(actual.x, want.x);
        EXPECT_EQ(actual.y, want.y);
        EXPECT_EQ(actual.width, want.width);
        EXPECT_EQ(actual.height, want.height);
        EXPECT_EQ(actual.style & want.required, want.required);
        EXPECT_EQ(actual.style & want.forbidden, 0u);
        EXPECT_NE(actual.style & WS_VISIBLE, 0u);
    }
}

// What every window template sets besides its controls. All of them draw
// with 9-point "MS UI Gothic".
struct Frame {
    DWORD required;   // style bits that must be set
    DWORD forbidden;  // style bits that must not be set
    short width, height;
    std::wstring title;
    std::wstring menu;  // "#id", or empty for none
};

void expectTemplate(WORD id, const Frame& frame, const std::vector<Expected>& controls) {
    const Dialog dialog = readDialog(id);
    EXPECT_EQ(dialog.style & frame.required, frame.required);
    EXPECT_EQ(dialog.style & frame.forbidden, 0u);
    EXPECT_EQ(dialog.width, frame.width);
    EXPECT_EQ(dialog.height, frame.height);
    EXPECT_EQ(dialog.title, frame.title);
    EXPECT_EQ(dialog.menu, frame.menu);
    EXPECT_EQ(dialog.face, L"MS UI Gothic");
    EXPECT_EQ(dialog.pointSize, 9);
    expectControls(dialog, controls);
}

const DWORD frameStyles = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
const std::wstring programTitle = L"Velmoraver 1.00";

TEST(Resources, StartScreenTemplate) {
    expectTemplate(
        IDD_START_SCREEN,
        {frameStyles | WS_MINIMIZEBOX | DS_CENTER, 0, 320, 280, programTitle,
         L"#" + std::to_wstring(IDR_START_SCREEN_MENU)},
        {
            {button, IDC_READ_TERMS, L"利用規約を確認する", 60, 100, 200, 30, BS_DEFPUSHBUTTON | WS_TABSTOP, 0},
            {button, IDC_ACCEPT_TERMS, L"利用規約に同意の上利用する", 60, 140, 200, 30, WS_TABSTOP, BS_DEFPUSHBUTTON},
            {label, none, L"提供：Morvane株式会社", 193, 265, 120, 8, SS_RIGHT, 0},
        });
}

TEST(Resources, MainWindowTemplate) {
    const DWORD pathField = WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
    const DWORD instructions = ES_MULTILINE | ES_READONLY | WS_VSCROLL;
    expectTemplate(
        IDD_MAIN_WINDOW,
        {frameStyles | WS_MINIMIZEBOX, DS_CENTER, 320, 280, programTitle, L"#" + std::to_wstring(IDR_MAIN_WINDOW_MENU)},
        {
            {label, none, L"変換元ファイル(vCard)", 7, 7, 40, 17, 0, 0},
            {label, none, L"変換先ファイル(csv)", 7, 43, 40, 17, 0, 0},
            {label, none, L"メッセージ", 7, 125, 30, 8, 0, 0},
            {label, none, L"操作手順", 7, 185, 30, 8, 0, 0},
            {edit, IDC_SOURCE_PATH, L"", 50, 11, 206, 12, pathField, ES_READONLY | ES_MULTILINE},
            {button, IDC_CHOOSE_SOURCE, L"参照", 263, 7, 50, 20, WS_TABSTOP, 0},
            {edit, IDC_DESTINATION_PATH, L"", 50, 47, 206, 12, pathField, ES_READONLY | ES_MULTILINE},
            {button, IDC_CHOOSE_DESTINATION, L"参照", 263, 43, 50, 20, WS_TABSTOP, 0},
            {button, IDC_CONVERT, L"vCard→csv変換開始", 50, 80, 195, 30, WS_TABSTOP, 0},
            {button, IDC_FULL_LAYOUT, L"姓・名・フリガナを別々の列に出力する", 50, 112, 195, 10,
             BS_AUTOCHECKBOX | WS_TABSTOP, 0},
            {button, IDC_WINDOWS_LIVE, L"Windows Live", 263, 80, 50, 30, BS_MULTILINE | WS_TABSTOP, 0},
            {listBox, IDC_MESSAGES, L"", 50, 125, 195, 50,
             WS_BORDER | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY, LBS_SORT},
            {button, IDC_EXIT, L"終了", 263, 125, 50, 30, WS_TABSTOP, 0},
            {edit, IDC_INSTRUCTIONS, L"", 55, 190, 250, 58, instructions, WS_BORDER},
            {label, none, L"提供：Morvane株式会社", 193, 265, 120, 8, SS_RIGHT, 0},
            {button, none, L"", 50, 180, 260, 73, BS_GROUPBOX, 0},
        });
}

TEST(Resources, OverwriteQuestionTemplate) {
    expectTemplate(IDD_OVERWRITE_QUESTION, {frameStyles | DS_CENTER, WS_MINIMIZEBOX, 215, 70, L"確認", L""},
                   {
                       {label, IDC_QUESTION_TEXT, L"*", 7, 7, 201, 35, 0, 0},
                       {button, IDC_OVERWRITE, L"*", 7, 43, 60, 20, WS_TABSTOP, BS_DEFPUSHBUTTON},
                       {button, IDC_APPEND, L"*", 77, 43, 60, 20, WS_TABSTOP, BS_DEFPUSHBUTTON},
                       {button, IDCANCEL, L"キャンセル", 148, 43, 60, 20, BS_DEFPUSHBUTTON | WS_TABSTOP, 0},
                   });
}

TEST(Resources, AccountWindowTemplate) {
    const DWORD text = ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_BORDER | WS_TABSTOP;
    expectTemplate(
        IDD_ACCOUNT_WINDOW, {frameStyles | WS_THICKFRAME, WS_MINIMIZEBOX, 360, 210, L"変換の明細", L""},
        {
            {edit, IDC_ACCOUNT_TEXT, L"", 7, 7, 346, 174, text, 0},
            {button, IDC_SAVE_ACCOUNT, L"テキストとして保存", 199, 187, 87, 16, WS_TABSTOP, BS_DEFPUSHBUTTON},
            {button, IDCANCEL, L"閉じる", 293, 187, 60, 16, BS_DEFPUSHBUTTON | WS_TABSTOP, 0},
        });
}

TEST(Resources, IconGroupsHoldSixImagesEach) {
    for (WORD id : {IDI_VELMORA, IDI_VELMORA_SMALL}) {
        const auto group = resource(RT_GROUP_ICON, id);
        ASSERT_GE(group.size(), 6u) << "icon group " << id;
        WORD count = 0;
        std::memcpy(&count, group.data() + 4, 2);
        EXPECT_EQ(count, 6) << "icon group " << id;
    }
}

TEST(Resources, VersionInformation) {
    const auto version = resource(RT_VERSION, 1);
    ASSERT_FALSE(version.empty());
    // VerQueryValueW wants a writable block with room to spare.
    std::vector<unsigned char> block(version.begin(), version.end());
    block.resize(version.size() * 3);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    const auto value = [&](const wchar_t* name) {
        wchar_t* text = nullptr;
        UINT size = 0;
        const std::wstring path = std::wstring(L"\\StringFileInfo\\041104b0\\") + name;
        if (!VerQueryValueW(block.data(), path.c_str(), reinterpret_cast<void**>(&text), &size) || text == nullptr) {
            return std::wstring();
        }
        return std::wstring(text);
    };
    EXPECT_EQ(value(L"CompanyName"), L"Morvane株式会社");
    EXPECT_EQ(value(L"ProductName"), L"Velmora");
    EXPECT_EQ(value(L"FileVersion"), L"1.0.0.0");
    EXPECT_EQ(value(L"ProductVersion"), L"1.0.0.0");
}

TEST(Resources, ManifestAsksForCommonControls6AsInvoker) {
    const auto manifest = resource(RT_MANIFEST, 1);
    const std::string text(manifest.begin(), manifest.end());
    EXPECT_NE(text.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(text.find("level=\"asInvoker\""), std::string::npos);
}

TEST(Resources, WebAddressesOnTheMakersSiteAndTheSignInPage) {
    HINSTANCE module = GetModuleHandleW(nullptr);
    const auto text = [&](UINT id) {
        const wchar_t* value = nullptr;
        const int length = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&value), 0);
        return std::wstring(value, static_cast<std::size_t>(length > 0 ? length : 0));
    };
    const std::wstring home = text(IDS_HOME_PAGE_ADDRESS);
    EXPECT_EQ(home.rfind(L"https://", 0), 0u);
    EXPECT_EQ(text(IDS_TERMS_OF_USE_ADDRESS), home.substr(0, home.size() - 1) + L"/smt/dl/wp7_add/index2.html");
    EXPECT_EQ(text(IDS_SIGN_IN_ADDRESS), L"https://login.live.com/");
}

}  // namespace
}  // namespace velmora::testing
