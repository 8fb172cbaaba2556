// Modal dialogs from templates compiled into the program: a thin stand-in, on
// GTK 3, for the Windows dialog manager the show was made with.
//
// A template is a GtkBuilder file in the program's resources whose controls sit
// in a GtkFixed at positions and sizes in dialog units; each control's id is
// its command number. The dialog procedure gets the Windows messages the shell's
// table uses: WM_INITDIALOG once before the dialog shows, WM_COMMAND with the
// control's number when a button is clicked, and WM_COMMAND with IDCANCEL for
// Escape and for a close request. Nothing here knows about the show.
#pragma once

#include <cstdint>

struct PlatformDialog;

// Messages.
constexpr uint32_t WM_INITDIALOG = 0x0110;
constexpr uint32_t WM_COMMAND = 0x0111;

// Commands every dialog knows.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// Check states of a toggle button.
constexpr uint32_t BST_UNCHECKED = 0;
constexpr uint32_t BST_CHECKED = 1;

using PlatformDialogProc = intptr_t (*)(PlatformDialog* dialog, uint32_t message, uintptr_t wParam,
                                        intptr_t lParam);

// Shows the dialog made from the template named name (its style sheet, if the
// resources hold one, comes with it) and runs it until the procedure ends it.
// WM_INITDIALOG carries initParam; when the procedure returns 0 for it no
// control gets the keyboard focus. Returns the result given to
// platformEndDialog, or -1, after one line on standard error, when no dialog
// can be shown (no display, or the template cannot be read). The dialog is
// gone from the screen when this returns.
intptr_t platformDialogBox(const char* name, PlatformDialogProc procedure, intptr_t initParam);

// Ends the dialog; platformDialogBox returns result once the current message
// is handled.
void platformEndDialog(PlatformDialog* dialog, intptr_t result);

// The check state of a toggle button, by command number. Setting it sends no
// command.
void platformCheckDlgButton(PlatformDialog* dialog, int control, uint32_t state);
uint32_t platformIsDlgButtonChecked(PlatformDialog* dialog, int control);
