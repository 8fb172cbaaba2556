// Placeholder until this module lands.
#include "effects/spectrum_bars.h"
void drawSpectrumBars() {}
