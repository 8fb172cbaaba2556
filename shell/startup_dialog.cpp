// Placeholder until the dialog lands: the defaults stand.
#include "shell/startup_dialog.h"

void runStartupDialog(WindowConfig&) {}
