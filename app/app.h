// The Windows program's two screens and the small services they share.
#pragma once

#include "platform/windows_api.h"

#include <shellapi.h>

#include <cstddef>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "conversion/report.h"

namespace velmora::app {

// The shell's ShellExecuteW, or a stand-in with the same signature.
using ShellExecuteFunction = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);

// What the start screen hands to the main window: the module whose resources
// both screens load, the start screen's window rectangle at the moment the
// user went on, whose top-left corner the main window takes, and the way web
// pages are opened (the dialog tests put a recorder there, so that pressing a
// link starts no browser).
struct Session {
    HINSTANCE instance = nullptr;
    RECT startScreenRect{};
    ShellExecuteFunction shellExecute = ShellExecuteW;
};

// Runs the start screen as a modal dialog; the main window runs nested inside
// it. Returns when the program is to end.
INT_PTR runStartScreen(Session& session);

// Runs the main window as a modal dialog at the start screen's position.
INT_PTR runMainWindow(Session& session);

// A string-table entry of the module.
std::wstring loadText(HINSTANCE instance, UINT id);

// A string-table entry whose "%d" placeholders are filled in with `numbers`,
// in order.
std::wstring loadFormatted(HINSTANCE instance, UINT id, std::initializer_list<std::size_t> numbers);

// UTF-8 text (as the conversion run reports it) as UTF-16 for display.
std::wstring widen(std::string_view utf8);

// The text of a dialog control, whole.
std::wstring controlText(HWND dialog, int id);

// Sets the window's small icon from icon group 112; the icon is released by
// releaseSmallIcon when the window is destroyed.
void setSmallIcon(HWND window, HINSTANCE instance);
void releaseSmallIcon(HWND window);

// Asks whether to end the program; true when the user answered OK.
bool confirmExit(HWND owner, HINSTANCE instance);

// A command that opens a web page, from a menu item or a button, and the
// string-table entry of the page's address.
struct WebLink {
    int command;
    UINT addressId;
};

// Opens the page of the link in `links` whose command this is in the default
// browser; false when the command is none of them.
bool openWebLink(const Session& session, std::span<const WebLink> links, int command);

// One run's account of what its CSV file leaves out, kept by the main window
// for as long as it is open.
struct RunAccount {
    AccountReport report;
    std::filesystem::path destination;  // the run's CSV file
};

// The most lines of an account that the account window shows; a longer
// account is shown up to here, with a note of how much is left out.
constexpr std::size_t accountLinesShown = 10000;

// Shows the account window for `account`, modal and owned by `owner`.
void showAccountWindow(HWND owner, HINSTANCE instance, const RunAccount& account);

// The account's UTF-8 text as the account window shows it: CR LF line ends,
// and after `maxLines` lines the note that says how many are left out.
std::wstring accountForDisplay(HINSTANCE instance, std::string_view utf8, std::size_t maxLines);

// The account's UTF-8 text as a saved text file holds it: code page 932 with
// CR LF line ends (a character that code page lacks becomes "?"); nothing
// when the conversion fails.
std::optional<std::string> accountForFile(std::string_view utf8);

// The dialog procedure of a dialog object of class `Dialog`: the object
// comes with WM_INITDIALOG, which it hears through its onInitDialog(window),
// is kept in the dialog's user data and hears every later message through
// its handle();
// no exception unwinds into the system's dialog code.
template <class Dialog>
INT_PTR CALLBACK dialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrW(window, DWLP_USER, lParam);
    auto* self = reinterpret_cast<Dialog*>(GetWindowLongPtrW(window, DWLP_USER));
    if (self == nullptr) return FALSE;
    try {
        return message == WM_INITDIALOG ? self->onInitDialog(window) : self->handle(window, message, wParam, lParam);
    } catch (...) {
        return TRUE;
    }
}

}  // namespace velmora::app
