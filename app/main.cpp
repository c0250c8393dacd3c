// Velmora's entry point: the start screen, and through it the main window.
#include "app/app.h"

#include <commctrl.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // The manifest asks for version 6 of the common controls; registering
    // their classes gives the dialogs the system's visual style.
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    velmora::app::Session session;
    session.instance = instance;
    velmora::app::runStartScreen(session);
    return 0;
}
