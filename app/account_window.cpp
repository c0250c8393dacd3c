// The account window: what one run's CSV file leaves out, in the very words
// the console converter's --check prints, read-only, with a way to save it as
// a text file. It is modal and owned by the main window, which keeps every
// run's account while it is open.
#include "app/app.h"

#include <commdlg.h>

#include <algorithm>
#include <array>

#include "app/resources/resource.h"

namespace velmora::app {
namespace {

// The saved text is in code page 932, as the CSV file is, whatever the ANSI
// code page of the system that runs the program.
constexpr UINT japaneseCodePage = 932;

// The account's text with "\n" turned into "\r\n", as Windows controls and
// text files end their lines.
std::wstring withCrLf(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size() + text.size() / 16);
    for (wchar_t c : text) {
        if (c == L'\n') out += L'\r';
        out += c;
    }
    return out;
}

// Writes `bytes` as the whole of `path`: first into a fresh file beside it,
// which then takes the place of `path`, so that a write that fails midway
// leaves neither a partial file nor a damaged earlier one. False on failure,
// with the fresh file removed.
bool replaceFile(const std::filesystem::path& path, std::string_view bytes) {
    std::filesystem::path folder = path.parent_path();
    if (folder.empty()) folder = L".";
    std::array<wchar_t, MAX_PATH> fresh{};
    if (GetTempFileNameW(folder.c_str(), L"vel", 0, fresh.data()) == 0) return false;
    HANDLE file = CreateFileW(fresh.data(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    bool written = file != INVALID_HANDLE_VALUE;
    if (written) {
        for (std::size_t at = 0; written && at < bytes.size();) {
            const auto piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - at, 1u << 20));
            DWORD done = 0;
            written = WriteFile(file, bytes.data() + at, piece, &done, nullptr) && done == piece;
            at += done;
        }
        written = CloseHandle(file) && written;
    }
    if (written && MoveFileExW(fresh.data(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    DeleteFileW(fresh.data());
    return false;
}

// A control's distance from the right and bottom edges of the client area,
// and its size, when the window opened: the edit control grows with the
// window, the buttons keep to its bottom right corner.
struct Anchor {
    int id;
    bool grows;
    RECT rect{};
};

class AccountWindow {
public:
    AccountWindow(HINSTANCE instance, const RunAccount& account) : instance_(instance), account_(account) {}

    void run(HWND owner) {
        DialogBoxParamW(instance_, MAKEINTRESOURCEW(IDD_ACCOUNT_WINDOW), owner, dialogProcedure<AccountWindow>,
                        reinterpret_cast<LPARAM>(this));
    }

    // The messages after WM_INITDIALOG, from dialogProcedure.
    INT_PTR handle(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
        case WM_COMMAND:
            return onCommand(LOWORD(wParam));
        case WM_SIZE:
            onSize();
            return TRUE;
        case WM_GETMINMAXINFO:
            onGetMinMaxInfo(*reinterpret_cast<MINMAXINFO*>(lParam));
            return TRUE;
        default:
            return FALSE;
        }
    }

    INT_PTR onInitDialog(HWND window) {
        window_ = window;
        RECT frame{};
        GetWindowRect(window_, &frame);
        minimumSize_ = {frame.right - frame.left, frame.bottom - frame.top};
        RECT client{};
        GetClientRect(window_, &client);
        for (Anchor& anchor : anchors_) {
            GetWindowRect(GetDlgItem(window_, anchor.id), &anchor.rect);
            MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&anchor.rect), 2);
            anchor.rect.right = client.right - anchor.rect.right;
            anchor.rect.bottom = client.bottom - anchor.rect.bottom;
        }

        HWND text = GetDlgItem(window_, IDC_ACCOUNT_TEXT);
        // A multi-line edit control takes at most 30,000 characters unless
        // told otherwise; the shown part of an account may be longer.
        SendMessageW(text, EM_SETLIMITTEXT, 0, 0);
        SetWindowTextW(text, accountForDisplay(instance_, account_.report.text, accountLinesShown).c_str());
        // The keyboard starts in the text, at its first line, nothing selected.
        SetFocus(text);
        SendMessageW(text, EM_SETSEL, 0, 0);
        return FALSE;
    }

private:
    INT_PTR onCommand(int command) {
        switch (command) {
        case IDC_SAVE_ACCOUNT:
            save();
            return TRUE;
        case IDCANCEL:  // 閉じる, Esc or the close box
            EndDialog(window_, IDCANCEL);
            return TRUE;
        default:
            return FALSE;
        }
    }

    void onSize() {
        RECT client{};
        GetClientRect(window_, &client);
        for (const Anchor& anchor : anchors_) {
            const RECT& r = anchor.rect;
            const int right = client.right - r.right;
            const int bottom = client.bottom - r.bottom;
            HWND control = GetDlgItem(window_, anchor.id);
            if (anchor.grows) {
                MoveWindow(control, r.left, r.top, std::max(0L, right - r.left), std::max(0L, bottom - r.top), TRUE);
            } else {
                RECT now{};
                GetWindowRect(control, &now);
                const int width = now.right - now.left;
                const int height = now.bottom - now.top;
                MoveWindow(control, right - width, bottom - height, width, height, TRUE);
            }
        }
    }

    void onGetMinMaxInfo(MINMAXINFO& limits) const {
        // Never smaller than it opened, so that the text keeps its 80
        // columns and 20 lines and the buttons stay in view.
        if (minimumSize_.x > 0) limits.ptMinTrackSize = minimumSize_;
    }

    void save() {
        const std::wstring filter = [&] {
            std::wstring text = loadText(instance_, IDS_ACCOUNT_FILTER);
            std::replace(text.begin(), text.end(), L'|', L'\0');
            return text + L'\0';
        }();
        const std::wstring title = loadText(instance_, IDS_SAVE_TITLE);
        const std::wstring extension = loadText(instance_, IDS_ACCOUNT_EXTENSION);
        // The CSV file's name with ".txt", in the CSV file's folder.
        const std::wstring folder = account_.destination.parent_path().wstring();
        std::array<wchar_t, MAX_PATH> file{};
        const std::wstring proposal = account_.destination.filename().replace_extension(L".txt").wstring();
        if (proposal.size() < file.size()) std::copy(proposal.begin(), proposal.end(), file.begin());

        OPENFILENAMEW chooser{};
        chooser.lStructSize = sizeof(chooser);
        chooser.hwndOwner = window_;
        chooser.hInstance = instance_;
        chooser.lpstrFilter = filter.c_str();
        chooser.lpstrFile = file.data();
        chooser.nMaxFile = static_cast<DWORD>(file.size());
        chooser.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
        chooser.lpstrTitle = title.c_str();
        chooser.lpstrDefExt = extension.c_str();
        chooser.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
        if (!GetSaveFileNameW(&chooser)) return;

        const std::optional<std::string> bytes = accountForFile(account_.report.text);
        if (!bytes || !replaceFile(file.data(), *bytes)) {
            MessageBoxW(window_, loadText(instance_, IDS_ACCOUNT_UNSAVED).c_str(), nullptr, MB_OK);
        }
    }

    HINSTANCE instance_;
    const RunAccount& account_;
    HWND window_ = nullptr;
    POINT minimumSize_{};
    std::array<Anchor, 3> anchors_{Anchor{IDC_ACCOUNT_TEXT, true}, Anchor{IDC_SAVE_ACCOUNT, false},
                                   Anchor{IDCANCEL, false}};
};

}  // namespace

std::wstring accountForDisplay(HINSTANCE instance, std::string_view utf8, std::size_t maxLines) {
    const std::wstring text = widen(utf8);
    const std::size_t lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), L'\n'));
    if (lines <= maxLines) return withCrLf(text);
    // The end of the last line shown, its "\n" included.
    std::size_t end = 0;
    for (std::size_t line = 0; line < maxLines; ++line) end = text.find(L'\n', end) + 1;
    return withCrLf(text.substr(0, end)) + L"\r\n" +
           loadFormatted(instance, IDS_ACCOUNT_CUT, {lines, maxLines, lines - maxLines});
}

std::optional<std::string> accountForFile(std::string_view utf8) {
    const std::wstring text = withCrLf(widen(utf8));
    if (text.empty()) return std::string();
    const int length = static_cast<int>(text.size());
    const int needed = WideCharToMultiByte(japaneseCodePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(needed), '\0');
    WideCharToMultiByte(japaneseCodePage, 0, text.data(), length, bytes.data(), needed, nullptr, nullptr);
    return bytes;
}

void showAccountWindow(HWND owner, HINSTANCE instance, const RunAccount& account) {
    AccountWindow(instance, account).run(owner);
}

}  // namespace velmora::app
