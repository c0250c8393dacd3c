#include "tests/windows/driver.h"

#include <shellapi.h>
#include <shlobj.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "app/app.h"
#include "app/resources/resource.h"

namespace velmora::testing {

bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) {
            return true;
        }
        if (GetTickCount64() > end) {
            return false;
        }
        Sleep(5);
    }
}

std::wstring windowText(HWND window) {
    // WM_GETTEXT is answered by the window's own thread, so a window of the
    // program's thread reports its current text.
    const auto length = static_cast<int>(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0));
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const auto copied = static_cast<int>(
        SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(length + 1), reinterpret_cast<LPARAM>(text.data())));
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

std::wstring controlText(HWND dialog, int id) {
    return windowText(GetDlgItem(dialog, id));
}

std::wstring className(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::vector<std::wstring> staticTexts(HWND dialog) {
    std::vector<std::wstring> texts;
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (_wcsicmp(className(child).c_str(), L"Static") == 0) {
            std::wstring text = windowText(child);
            if (!text.empty()) {
                texts.push_back(text);
            }
        }
    }
    return texts;
}

std::wstring menuText(HWND window, UINT command) {
    wchar_t text[128] = {};
    GetMenuStringW(GetMenu(window), command, text, 128, MF_BYCOMMAND);
    return text;
}

bool menuGrayed(HWND window, UINT command) {
    const UINT state = GetMenuState(GetMenu(window), command, MF_BYCOMMAND);
    return state != static_cast<UINT>(-1) && (state & MF_GRAYED) != 0;
}

std::vector<std::wstring> topLevelMenuTexts(HWND window) {
    std::vector<std::wstring> texts;
    HMENU menu = GetMenu(window);
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        wchar_t text[128] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
        texts.push_back(text);
    }
    return texts;
}

void pressButton(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void chooseMenuCommand(HWND window, UINT command) {
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(command, 0), 0);
}

void dropFiles(HWND window, const std::vector<std::wstring>& paths) {
    // DROPFILES, then the wide paths one after another, each with its NUL,
    // and one more NUL at the end.
    std::size_t characters = 1;
    for (const auto& path : paths) {
        characters += path.size() + 1;
    }
    const std::size_t bytes = sizeof(DROPFILES) + characters * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GHND, bytes);
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    auto* names = reinterpret_cast<wchar_t*>(reinterpret_cast<char*>(header) + sizeof(DROPFILES));
    for (const auto& path : paths) {
        std::memcpy(names, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
        names += path.size() + 1;
    }
    *names = L'\0';
    GlobalUnlock(memory);
    PostMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}

std::vector<std::wstring> listLines(HWND dialog, int id) {
    HWND list = GetDlgItem(dialog, id);
    std::vector<std::wstring> lines;
    const auto count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        const auto length = static_cast<int>(SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0));
        std::wstring line(static_cast<std::size_t>(length) + 1, L'\0');
        SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(line.data()));
        line.resize(static_cast<std::size_t>(length));
        lines.push_back(line);
    }
    return lines;
}

int listSelection(HWND dialog, int id) {
    return static_cast<int>(SendMessageW(GetDlgItem(dialog, id), LB_GETCURSEL, 0, 0));
}

void clickWithMouse(HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    const int x = (rect.left + rect.right) / 2;
    const int y = (rect.top + rect.bottom) / 2;
    const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN) - 1;
    const int height = GetSystemMetrics(SM_CYVIRTUALSCREEN) - 1;
    INPUT inputs[3] = {};
    for (auto& input : inputs) {
        input.type = INPUT_MOUSE;
        input.mi.dx = MulDiv(x, 65535, width > 0 ? width : 1);
        input.mi.dy = MulDiv(y, 65535, height > 0 ? height : 1);
    }
    inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
    inputs[2].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
    SendInput(3, inputs, sizeof(INPUT));
}

ProgramUnderTest::ProgramUnderTest() {
    thread_ = CreateThread(nullptr, 0, threadMain, this, 0, &threadId_);
}

ProgramUnderTest::~ProgramUnderTest() {
    if (thread_ == nullptr) {
        return;
    }
    if (!finished(0)) {
        exitProgram();
    }
    if (!finished(5000)) {
        // A test failed with a window stuck open; end the thread so that the
        // next test starts clean.
        TerminateThread(thread_, 1);
    }
    CloseHandle(thread_);
}

DWORD WINAPI ProgramUnderTest::threadMain(void* self) {
    auto* program = static_cast<ProgramUnderTest*>(self);
    app::Session session;
    session.instance = GetModuleHandleW(nullptr);
    program->result_ = app::runStartScreen(session);
    return 0;
}

std::vector<HWND> ProgramUnderTest::visibleWindows() const {
    std::vector<HWND> windows;
    EnumThreadWindows(
        threadId_,
        [](HWND window, LPARAM found) -> BOOL {
            if (IsWindowVisible(window)) {
                reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    return windows;
}

HWND ProgramUnderTest::findDialog(const std::wstring& title, int controlId) const {
    for (HWND window : visibleWindows()) {
        if (className(window) == L"#32770" && windowText(window) == title &&
            (controlId == 0 || GetDlgItem(window, controlId) != nullptr)) {
            return window;
        }
    }
    return nullptr;
}

HWND ProgramUnderTest::waitForDialog(const std::wstring& title, int controlId, DWORD timeoutMs) {
    HWND found = nullptr;
    waitUntil([&] { return (found = findDialog(title, controlId)) != nullptr; }, timeoutMs);
    return found;
}

HWND ProgramUnderTest::waitForStartScreen() {
    return waitForDialog(L"Velmoraver 1.00", IDC_ACCEPT_TERMS);
}

HWND ProgramUnderTest::openMainWindow() {
    HWND start = waitForStartScreen();
    if (start == nullptr) {
        return nullptr;
    }
    pressButton(start, IDC_ACCEPT_TERMS);
    return waitForDialog(L"Velmoraver 1.00", IDC_SOURCE_PATH);
}

bool ProgramUnderTest::exitProgram() {
    const ULONGLONG end = GetTickCount64() + defaultTimeoutMs;
    while (!finished(0) && GetTickCount64() < end) {
        if (HWND question = findDialog(L"確認", 0); question != nullptr) {
            // The exit question has OK and Cancel; the overwrite question
            // is cancelled.
            if (GetDlgItem(question, IDC_OVERWRITE) != nullptr) {
                pressButton(question, IDCANCEL);
            } else {
                PostMessageW(question, WM_COMMAND, IDOK, 0);
            }
        } else if (HWND main = findDialog(L"Velmoraver 1.00", IDC_SOURCE_PATH); main != nullptr) {
            chooseMenuCommand(main, IDM_EXIT);
        } else if (HWND start = findDialog(L"Velmoraver 1.00", IDC_ACCEPT_TERMS); start != nullptr) {
            chooseMenuCommand(start, IDM_EXIT);
        } else {
            // Some other window (a message box or a file chooser): close it.
            for (HWND window : visibleWindows()) {
                PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
            }
        }
        finished(200);
    }
    return finished(0);
}

bool ProgramUnderTest::finished(DWORD timeoutMs) {
    return thread_ == nullptr || WaitForSingleObject(thread_, timeoutMs) == WAIT_OBJECT_0;
}

TemporaryFolder::TemporaryFolder() {
    static std::atomic<int> counter{0};
    wchar_t base[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, base);
    std::wstringstream name;
    name << L"velmora-test-" << GetCurrentProcessId() << L"-" << counter++;
    path_ = std::filesystem::path(base) / name.str();
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
}

TemporaryFolder::~TemporaryFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path TemporaryFolder::write(const std::wstring& name, const std::string& bytes) const {
    const auto file = path_ / name;
    std::ofstream out(file, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return file;
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace velmora::testing
