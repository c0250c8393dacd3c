// Services shared by the start screen and the main window: string resources,
// text conversion for display, the small icon, the exit question and the web
// links.
#include "app/app.h"

#include <algorithm>

#include "app/resources/resource.h"

namespace velmora::app {

std::wstring loadText(HINSTANCE instance, UINT id) {
    // With a zero buffer size LoadStringW hands out a pointer to the resource
    // itself, so texts of any length come back whole.
    const wchar_t* text = nullptr;
    const int length = LoadStringW(instance, id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || text == nullptr) return std::wstring();
    return std::wstring(text, static_cast<std::size_t>(length));
}

std::wstring loadFormatted(HINSTANCE instance, UINT id, std::initializer_list<std::size_t> numbers) {
    const std::wstring pattern = loadText(instance, id);
    std::wstring text;
    auto number = numbers.begin();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern.compare(i, 2, L"%d") == 0 && number != numbers.end()) {
            text += std::to_wstring(*number++);
            ++i;
        } else {
            text += pattern[i];
        }
    }
    return text;
}

std::wstring widen(std::string_view utf8) {
    if (utf8.empty()) return std::wstring();
    const int sourceLength = static_cast<int>(utf8.size());
    const int needed = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), sourceLength, nullptr, 0);
    if (needed <= 0) return std::wstring();
    std::wstring wide(static_cast<std::size_t>(needed), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), sourceLength, wide.data(), needed);
    return wide;
}

std::wstring controlText(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    const int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(control, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

void setSmallIcon(HWND window, HINSTANCE instance) {
    HANDLE icon = LoadImageW(instance, MAKEINTRESOURCEW(IDI_VELMORA_SMALL), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE);
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

void releaseSmallIcon(HWND window) {
    auto icon = reinterpret_cast<HICON>(SendMessageW(window, WM_SETICON, ICON_SMALL, 0));
    if (icon != nullptr) DestroyIcon(icon);
}

bool confirmExit(HWND owner, HINSTANCE instance) {
    const std::wstring question = loadText(instance, IDS_EXIT_QUESTION);
    const std::wstring caption = loadText(instance, IDS_EXIT_CAPTION);
    return MessageBoxW(owner, question.c_str(), caption.c_str(), MB_OKCANCEL) == IDOK;
}

bool openWebLink(const Session& session, std::span<const WebLink> links, int command) {
    const auto link = std::find_if(links.begin(), links.end(), [&](const WebLink& l) { return l.command == command; });
    if (link == links.end()) return false;
    const std::wstring verb = loadText(session.instance, IDS_SHELL_VERB);
    const std::wstring address = loadText(session.instance, link->addressId);
    // Whether a browser could be started is not reported: the user sees it.
    session.shellExecute(nullptr, verb.c_str(), address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return true;
}

}  // namespace velmora::app
