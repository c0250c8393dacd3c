// The main window: the two path fields with their choosers, drag and drop,
// the proposed destination, the Convert button with its busy state, the
// overwrite question, the message list with each run's account line and the
// web links. The conversion itself is the same run that the console front end
// drives; this dialog only supplies the run's three user-interface operations
// and keeps the account each run leaves.
#include "app/app.h"

#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <optional>
#include <vector>

#include "app/resources/resource.h"
#include "conversion/conversion.h"

namespace velmora::app {
namespace {

// The choosers' path buffers hold 259 characters and the terminator.
constexpr int pathBufferSize = MAX_PATH;

const std::array<UINT, 3> menuCommands{IDM_EXIT, IDM_HOME_PAGE, IDM_TERMS_OF_USE};

// The web pages that the main window's menu and Windows Live button open.
constexpr WebLink webLinks[] = {
    {IDM_HOME_PAGE, IDS_HOME_PAGE_ADDRESS},
    {IDM_TERMS_OF_USE, IDS_TERMS_OF_USE_ADDRESS},
    {IDC_WINDOWS_LIVE, IDS_SIGN_IN_ADDRESS},
};

// A chooser's filter from its string-table form, where "|" stands for the
// NUL separators that cannot be stored in a string resource.
std::wstring chooserFilter(HINSTANCE instance, UINT id) {
    std::wstring filter = loadText(instance, id);
    for (wchar_t& c : filter)
        if (c == L'|') c = L'\0';
    filter.push_back(L'\0');
    return filter;
}

INT_PTR CALLBACK overwriteQuestionProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        auto instance = reinterpret_cast<HINSTANCE>(lParam);
        SetDlgItemTextW(dialog, IDC_QUESTION_TEXT, loadText(instance, IDS_OVERWRITE_QUESTION).c_str());
        SetDlgItemTextW(dialog, IDC_OVERWRITE, loadText(instance, IDS_OVERWRITE).c_str());
        SetDlgItemTextW(dialog, IDC_APPEND, loadText(instance, IDS_APPEND).c_str());
        // The keyboard starts on the default button, Cancel, so that Enter
        // never overwrites or appends by accident.
        SetFocus(GetDlgItem(dialog, IDCANCEL));
        return FALSE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_OVERWRITE:
        case IDC_APPEND:
        case IDCANCEL:
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

class MainWindow final : public UserInterface {
public:
    explicit MainWindow(Session& session) : session_(session) {}

    INT_PTR run() {
        return DialogBoxParamW(session_.instance, MAKEINTRESOURCEW(IDD_MAIN_WINDOW), nullptr,
                               dialogProcedure<MainWindow>, reinterpret_cast<LPARAM>(this));
    }

    // UserInterface: the three operations the conversion run reports through.
    void showError(std::string_view text) override { MessageBoxW(window_, widen(text).c_str(), nullptr, MB_OK); }

    void appendMessage(std::string_view text) override { appendLine(widen(text)); }

    OverwriteChoice askOverwriteOrAppend() override {
        const INT_PTR answer = DialogBoxParamW(session_.instance, MAKEINTRESOURCEW(IDD_OVERWRITE_QUESTION), window_,
                                               overwriteQuestionProcedure, reinterpret_cast<LPARAM>(session_.instance));
        switch (answer) {
        case IDC_OVERWRITE:
            return OverwriteChoice::overwrite;
        case IDC_APPEND:
            return OverwriteChoice::append;
        default:
            return OverwriteChoice::cancel;
        }
    }

    INT_PTR handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
        case WM_COMMAND:
            return onCommand(LOWORD(wParam), HIWORD(wParam));
        case WM_DROPFILES:
            onDropFiles(reinterpret_cast<HDROP>(wParam));
            return TRUE;
        case WM_DESTROY:
            releaseSmallIcon(window);
            return FALSE;
        default:
            return FALSE;
        }
    }

    INT_PTR onInitDialog(HWND window) {
        window_ = window;
        SetWindowPos(window_, nullptr, session_.startScreenRect.left, session_.startScreenRect.top, 0, 0, SWP_NOSIZE);
        setSmallIcon(window_, session_.instance);
        SetDlgItemTextW(window_, IDC_INSTRUCTIONS, loadText(session_.instance, IDS_INSTRUCTIONS).c_str());
        DragAcceptFiles(window_, TRUE);
        return TRUE;
    }

private:
    INT_PTR onCommand(int command, int notification) {
        if (openWebLink(session_, webLinks, command)) return TRUE;
        switch (command) {
        case IDOK:  // Enter, which opens the account of a selected account line
            if (GetFocus() == GetDlgItem(window_, IDC_MESSAGES)) showSelectedAccount();
            return TRUE;
        case IDC_MESSAGES:
            if (notification != LBN_DBLCLK) return FALSE;
            showSelectedAccount();
            return TRUE;
        case IDCANCEL:  // the close box or Esc
        case IDM_EXIT:
        case IDC_EXIT:
            if (confirmExit(window_, session_.instance)) EndDialog(window_, command);
            return TRUE;
        case IDC_CHOOSE_SOURCE:
            chooseSource();
            return TRUE;
        case IDC_CHOOSE_DESTINATION:
            chooseDestination();
            return TRUE;
        case IDC_CONVERT:
            convert();
            return TRUE;
        default:
            return FALSE;
        }
    }

    // Runs the open or save chooser with the texts of its resources; the
    // chosen path, or nothing when the user cancelled.
    std::optional<std::wstring> chooseFile(bool save, UINT filterId, UINT titleId, UINT extensionId, DWORD flags) {
        const std::wstring filter = chooserFilter(session_.instance, filterId);
        const std::wstring title = loadText(session_.instance, titleId);
        const std::wstring extension = loadText(session_.instance, extensionId);
        std::array<wchar_t, pathBufferSize> file{};
        std::array<wchar_t, pathBufferSize> fileTitle{};
        OPENFILENAMEW chooser{};
        chooser.lStructSize = sizeof(chooser);
        chooser.hwndOwner = window_;
        chooser.hInstance = session_.instance;
        chooser.lpstrFilter = filter.c_str();
        chooser.lpstrFile = file.data();
        chooser.nMaxFile = pathBufferSize;
        chooser.lpstrFileTitle = fileTitle.data();
        chooser.nMaxFileTitle = pathBufferSize;
        chooser.lpstrTitle = title.c_str();
        chooser.lpstrDefExt = extension.c_str();
        chooser.Flags = flags;
        const BOOL chosen = save ? GetSaveFileNameW(&chooser) : GetOpenFileNameW(&chooser);
        if (!chosen) return std::nullopt;
        return std::wstring(file.data());
    }

    void chooseSource() {
        const auto path = chooseFile(false, IDS_OPEN_FILTER, IDS_OPEN_TITLE, IDS_OPEN_EXTENSION,
                                     OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY);
        if (path) setSourceAndProposal(*path);
    }

    void chooseDestination() {
        // No overwrite prompt here: the conversion run asks whether to
        // overwrite or append.
        const auto path = chooseFile(true, IDS_SAVE_FILTER, IDS_SAVE_TITLE, IDS_SAVE_EXTENSION, OFN_HIDEREADONLY);
        if (path) SetDlgItemTextW(window_, IDC_DESTINATION_PATH, path->c_str());
    }

    void onDropFiles(HDROP drop) {
        // Only the first dropped file counts; its extension is checked by the
        // run. The path is taken whole, however long, and a proposal that
        // ends up too long is refused by the run with its own message.
        const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
        if (length > 0) {
            std::wstring path(length + 1, L'\0');
            const UINT copied = DragQueryFileW(drop, 0, path.data(), length + 1);
            path.resize(copied);
            setSourceAndProposal(path);
        }
        DragFinish(drop);
    }

    void setSourceAndProposal(const std::wstring& source) {
        SetDlgItemTextW(window_, IDC_SOURCE_PATH, source.c_str());
        SetDlgItemTextW(window_, IDC_DESTINATION_PATH, proposeDestination(source).c_str());
    }

    void convert() {
        // Both fields are read whole, however long: the run refuses a path
        // over its length limit with the message for that path.
        const std::filesystem::path source = controlText(window_, IDC_SOURCE_PATH);
        const std::filesystem::path destination = controlText(window_, IDC_DESTINATION_PATH);

        // Unchecked, the contacts are written in the classic layout.
        const Layout layout =
            IsDlgButtonChecked(window_, IDC_FULL_LAYOUT) == BST_CHECKED ? Layout::full : Layout::classic;

        setBusy(true);
        try {
            RunOutcome outcome = runConversion({source, destination, layout, Accounting::kept}, *this);
            // Below the run's own lines, and only when something was left out.
            if (outcome.account && outcome.account->notWritten + outcome.account->lostSomething > 0)
                addAccountLine(RunAccount{std::move(*outcome.account), destination});
        } catch (...) {
            // The run reports its own failures; whatever else went wrong must
            // not leave the window disabled.
        }
        drainQueuedMessages();
        setBusy(false);
    }

    // Adds a line at the end of the message list and selects it; `account` is
    // 0, or the number of the account in accounts_ that the line opens. The
    // list scrolls sideways as far as its widest line reaches.
    void appendLine(const std::wstring& text, LPARAM account = 0) {
        HWND list = GetDlgItem(window_, IDC_MESSAGES);
        const LRESULT line = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        if (line < 0) return;
        SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(line), account);
        SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(line), 0);
        HDC dc = GetDC(list);
        HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0)));
        SIZE extent{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        SelectObject(dc, previous);
        ReleaseDC(list, dc);
        // A few pixels beyond the text, for the margin the list draws it with.
        widestLine_ = std::max(widestLine_, static_cast<int>(extent.cx) + 4);
        SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widestLine_), 0);
    }

    // The line that opens a run's account, with its two counts.
    void addAccountLine(RunAccount account) {
        const std::wstring text = loadFormatted(session_.instance, IDS_ACCOUNT_LINE,
                                                {account.report.notWritten, account.report.lostSomething});
        accounts_.push_back(std::move(account));
        appendLine(text, static_cast<LPARAM>(accounts_.size()));
    }

    // Opens the account of the selected line; any other line opens nothing.
    void showSelectedAccount() {
        HWND list = GetDlgItem(window_, IDC_MESSAGES);
        const LRESULT line = SendMessageW(list, LB_GETCURSEL, 0, 0);
        if (line < 0) return;
        const LRESULT account = SendMessageW(list, LB_GETITEMDATA, static_cast<WPARAM>(line), 0);
        if (account <= 0 || static_cast<std::size_t>(account) > accounts_.size()) return;
        showAccountWindow(window_, session_.instance, accounts_[static_cast<std::size_t>(account) - 1]);
    }

    // Input that arrived while the run blocked the window is processed now,
    // while every control is still disabled, so that a click on Convert made
    // during a run does not start another one.
    void drainQueuedMessages() {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(message.wParam));
                break;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }

    void setBusy(bool busy) {
        if (busy) focusBeforeRun_ = GetFocus();
        EnumChildWindows(
            window_,
            [](HWND child, LPARAM enable) -> BOOL {
                EnableWindow(child, static_cast<BOOL>(enable));
                return TRUE;
            },
            busy ? FALSE : TRUE);
        HMENU menu = GetMenu(window_);
        for (UINT command : menuCommands) EnableMenuItem(menu, command, MF_BYCOMMAND | (busy ? MF_GRAYED : MF_ENABLED));
        DrawMenuBar(window_);
        UpdateWindow(window_);
        if (!busy) {
            // Disabling the focused control took the keyboard focus away; give
            // it back so that the keyboard works again after the run.
            if (focusBeforeRun_ != nullptr && IsChild(window_, focusBeforeRun_)) SetFocus(focusBeforeRun_);
            focusBeforeRun_ = nullptr;
        }
    }

    Session& session_;
    HWND window_ = nullptr;
    HWND focusBeforeRun_ = nullptr;
    // The accounts of this window's runs, in the order of their lines.
    std::vector<RunAccount> accounts_;
    int widestLine_ = 0;  // in pixels
};

}  // namespace

INT_PTR runMainWindow(Session& session) {
    MainWindow window(session);
    return window.run();
}

}  // namespace velmora::app
