// The start-up dialog: the picture with "FullScreen", "OK" and "Exit", shown
// before any window exists.
//
// Needs the dialog manager (platform/gtk_dialog.h) and the dialog's template,
// compiled into the program from resources/. "OK" writes the choice into
// WindowConfig, "Exit" ends the program with exit code 0, and Escape or a
// close request change nothing. If the dialog cannot be shown at all, the
// defaults stand.
#include "shell/startup_dialog.h"

#include <cstdlib>

#include "platform/gtk_dialog.h"

// The controls' command numbers, as the template gives them.
constexpr int IDC_FULLSCREEN = 1007;
constexpr int IDC_EXIT = 1015;

static struct { WindowConfig* config; } startup;

// Full screen stays as the defaults have it only while the toggle is on.
static void writeChoice(PlatformDialog* dialog, WindowConfig& config) {
    if (platformIsDlgButtonChecked(dialog, IDC_FULLSCREEN) == BST_UNCHECKED)
        config.fullscreen = 0;
    config.bitsPerPixel = 32;
    config.width = 800;
    config.height = 600;
}

static intptr_t startupDialogProc(PlatformDialog* dialog, uint32_t message, uintptr_t wParam,
                                  intptr_t) {
    switch (message) {
    case WM_INITDIALOG:
        platformCheckDlgButton(dialog, IDC_FULLSCREEN, BST_UNCHECKED);
        return 0; // no control gets the keyboard focus
    case WM_COMMAND:
        switch (wParam & 0xFFFF) {
        case IDOK:
            writeChoice(dialog, *startup.config);
            platformEndDialog(dialog, static_cast<intptr_t>(wParam));
            return 1;
        case IDC_EXIT:
            std::exit(0);
        default:
            return 0; // IDCANCEL included: Escape and close requests do nothing
        }
    default:
        return 0;
    }
}

void runStartupDialog(WindowConfig& config) {
    startup.config = &config;
    platformDialogBox("startup_dialog", startupDialogProc, 0);
}
