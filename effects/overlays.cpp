// Placeholder until this module lands.
#include "effects/overlays.h"
void beginOverlayFrame() {}
void endOverlayFrame() {}
void drawLetterbox() {}
void drawFadeFromBlack(float) {}
void drawBlackout(float, float) {}
void drawInvertFlash(float) {}
void drawFullscreenPicture(int) {}
void drawOverlayPicture(int, int, float, float, int) {}
void drawTitleCards() {}
