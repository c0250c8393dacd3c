// The start screen: the terms-of-use link, the way on to the main window and
// the exit question. The program lives as long as this dialog's modal loop.
#include "app/app.h"

#include "app/resources/resource.h"

namespace velmora::app {
namespace {

// The web pages that the start screen's menu and terms button open.
constexpr WebLink webLinks[] = {
    {IDM_HOME_PAGE, IDS_HOME_PAGE_ADDRESS},
    {IDC_READ_TERMS, IDS_TERMS_OF_USE_ADDRESS},
};

INT_PTR onCommand(HWND window, Session& session, int command) {
    if (openWebLink(session, webLinks, command)) return TRUE;
    switch (command) {
    case IDCANCEL:  // the close box or Esc
    case IDM_EXIT:
        if (confirmExit(window, session.instance)) EndDialog(window, command);
        return TRUE;
    case IDC_ACCEPT_TERMS:
        // Ending the dialog hides it at once; its modal loop finishes only
        // after the main window, run from here, has been closed.
        GetWindowRect(window, &session.startScreenRect);
        EndDialog(window, IDC_ACCEPT_TERMS);
        return runMainWindow(session);
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK startScreenProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        auto* session = reinterpret_cast<Session*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        setSmallIcon(window, session->instance);
        return TRUE;
    }
    case WM_COMMAND: {
        auto* session = reinterpret_cast<Session*>(GetWindowLongPtrW(window, DWLP_USER));
        if (session == nullptr) return FALSE;
        return onCommand(window, *session, LOWORD(wParam));
    }
    case WM_DESTROY:
        releaseSmallIcon(window);
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

INT_PTR runStartScreen(Session& session) {
    return DialogBoxParamW(session.instance, MAKEINTRESOURCEW(IDD_START_SCREEN), nullptr, startScreenProcedure,
                           reinterpret_cast<LPARAM>(&session));
}

}  // namespace velmora::app
