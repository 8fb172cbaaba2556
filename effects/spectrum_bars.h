// The music's spectrum as 32 translucent red bars mirrored about one line.
#pragma once

void drawSpectrumBars();
