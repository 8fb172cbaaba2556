// The start-up dialog: the picture and the "FullScreen", "OK" and "Exit"
// buttons, shown before any window exists. "OK" writes the choice into
// WindowConfig; "Exit" ends the program with exit code 0. If the dialog cannot
// be shown the defaults stand.
#pragma once

#include "shell/window_config.h"

void runStartupDialog(WindowConfig& config);
