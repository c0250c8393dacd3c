// Clicks through a running Velmora.exe the way a user does and captures its
// windows for the documentation:
//   velmora_screenshot_driver SOURCE.vcf OUTPUT_FOLDER
// It waits for the start screen and saves start-screen.bmp, clicks
// "利用規約に同意の上利用する", picks SOURCE.vcf with the source chooser,
// clicks the Convert button, waits for the result lines and saves
// main-window.bmp, double-clicks the account line, saves account-window.bmp
// and closes it, then ends the program through its exit question.
// Exit status 0 when every step succeeded.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/resources/resource.h"

namespace {

constexpr DWORD timeoutMs = 20000;

bool waitUntil(const std::function<bool()>& condition) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (!condition()) {
        if (GetTickCount64() > end) {
            return false;
        }
        Sleep(20);
    }
    return true;
}

// A visible dialog with this title holding control `controlId`, in any
// process.
HWND findDialog(const wchar_t* title, int controlId) {
    HWND found = nullptr;
    for (HWND window = FindWindowW(L"#32770", title); window != nullptr;
         window = FindWindowExW(nullptr, window, L"#32770", title)) {
        if (IsWindowVisible(window) && (controlId == 0 || GetDlgItem(window, controlId) != nullptr)) {
            found = window;
            break;
        }
    }
    return found;
}

HWND waitForDialog(const wchar_t* title, int controlId) {
    HWND found = nullptr;
    waitUntil([&] { return (found = findDialog(title, controlId)) != nullptr; });
    return found;
}

// Real left clicks at a point of the screen, sent as one batch so that two
// of them make a double-click.
void clickAt(POINT point, int clicks) {
    const int width = GetSystemMetrics(SM_CXSCREEN) - 1;
    const int height = GetSystemMetrics(SM_CYSCREEN) - 1;
    std::vector<INPUT> inputs(static_cast<std::size_t>(1 + 2 * clicks));
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        inputs[i].type = INPUT_MOUSE;
        inputs[i].mi.dx = MulDiv(point.x, 65535, width);
        inputs[i].mi.dy = MulDiv(point.y, 65535, height);
        const DWORD action = i == 0 ? MOUSEEVENTF_MOVE : i % 2 == 1 ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
        inputs[i].mi.dwFlags = action | MOUSEEVENTF_ABSOLUTE;
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// A real left click at the centre of a control.
void click(HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    clickAt({(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2}, 1);
}

// Moves the pointer out of the way so that no button is shown hot.
void parkPointer() {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = 65535;
    input.mi.dy = 65535;
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof(INPUT));
}

// Saves what the screen shows of the window as a 24-bit bitmap file.
bool capture(HWND window, const std::wstring& file) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    Sleep(500);
    RECT rect{};
    GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    const int stride = (width * 3 + 3) & ~3;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    const bool copied = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY) != FALSE;
    GdiFlush();

    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42;  // "BM"
    header.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    header.bfSize = header.bfOffBits + static_cast<DWORD>(stride * height);
    std::ofstream out(file.c_str(), std::ios::binary);
    out.write(reinterpret_cast<const char*>(&header), sizeof(header));
    out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof(BITMAPINFOHEADER));
    out.write(static_cast<const char*>(bits), static_cast<std::streamsize>(stride) * height);

    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return copied && out.good();
}

bool fail(const char* step) {
    std::fprintf(stderr, "screenshot driver: %s\n", step);
    return false;
}

// Waits for the dialog `title` that holds `control` and takes its picture
// into `file` with the pointer out of the way; null, said why, when either
// fails. `name` names the dialog in the messages.
HWND waitAndCapture(const wchar_t* title, int control, const std::wstring& file, const std::string& name) {
    HWND dialog = waitForDialog(title, control);
    if (dialog == nullptr) {
        fail(("the " + name + " did not appear").c_str());
        return nullptr;
    }
    parkPointer();
    if (!capture(dialog, file)) {
        fail(("could not capture the " + name).c_str());
        return nullptr;
    }
    return dialog;
}

bool clickThrough(const std::wstring& source, const std::wstring& folder) {
    const wchar_t* title = L"Velmoraver 1.00";
    HWND start = waitAndCapture(title, IDC_ACCEPT_TERMS, folder + L"\\start-screen.bmp", "start screen");
    if (start == nullptr) {
        return false;
    }

    click(GetDlgItem(start, IDC_ACCEPT_TERMS));
    HWND main = waitForDialog(title, IDC_SOURCE_PATH);
    if (main == nullptr) {
        return fail("the main window did not appear");
    }

    click(GetDlgItem(main, IDC_CHOOSE_SOURCE));
    HWND chooser = waitForDialog(L"ファイルを開く", 0);
    if (chooser == nullptr) {
        return fail("the source chooser did not appear");
    }
    HWND fileName = GetDlgItem(chooser, 0x47c /* cmb13 */);
    if (fileName == nullptr) {
        fileName = GetDlgItem(chooser, 0x480 /* edt1 */);
    }
    SendMessageW(fileName, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(source.c_str()));
    click(GetDlgItem(chooser, IDOK));
    // WM_GETTEXTLENGTH, unlike GetWindowTextLength, reads a control of
    // another process.
    if (!waitUntil([&] { return SendMessageW(GetDlgItem(main, IDC_DESTINATION_PATH), WM_GETTEXTLENGTH, 0, 0) > 0; })) {
        return fail("choosing the source did not fill the fields");
    }

    click(GetDlgItem(main, IDC_CONVERT));
    HWND list = GetDlgItem(main, IDC_MESSAGES);
    if (!waitUntil([&] {
            if (HWND question = findDialog(L"確認", IDC_OVERWRITE); question != nullptr) {
                click(GetDlgItem(question, IDC_OVERWRITE));
            }
            // The result lines and the account line below them.
            return SendMessageW(list, LB_GETCOUNT, 0, 0) >= 4 && IsWindowEnabled(GetDlgItem(main, IDC_CONVERT));
        })) {
        return fail("the conversion did not report its result");
    }
    parkPointer();
    if (!capture(main, folder + L"\\main-window.bmp")) {
        return fail("could not capture the main window");
    }

    // The account line is the last one.
    const auto last = SendMessageW(list, LB_GETCOUNT, 0, 0) - 1;
    RECT line{};
    SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(last), reinterpret_cast<LPARAM>(&line));
    POINT centre{(line.left + line.right) / 2, (line.top + line.bottom) / 2};
    ClientToScreen(list, &centre);
    clickAt(centre, 2);
    HWND account = waitAndCapture(L"変換の明細", IDC_ACCOUNT_TEXT, folder + L"\\account-window.bmp", "account window");
    if (account == nullptr) {
        return false;
    }
    click(GetDlgItem(account, IDCANCEL));
    if (!waitUntil([&] { return findDialog(L"変換の明細", 0) == nullptr; })) {
        return fail("the account window did not close");
    }

    click(GetDlgItem(main, IDC_EXIT));
    HWND question = waitForDialog(L"確認", 0);
    if (question == nullptr) {
        return fail("the exit question did not appear");
    }
    click(GetDlgItem(question, IDOK));
    if (!waitUntil([&] { return findDialog(title, 0) == nullptr; })) {
        return fail("the program did not end");
    }
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: velmora_screenshot_driver SOURCE.vcf OUTPUT_FOLDER\n");
        return 2;
    }
    return clickThrough(argv[1], argv[2]) ? 0 : 1;
}
