// Everything that lies flat on the screen: letterbox bars, fades, blackouts,
// the inversion flash, pictures from the texture set and the title cards, in
// the shared 800 x 600 overlay frame (y downwards).
#pragma once

void beginOverlayFrame();
void endOverlayFrame();
void drawLetterbox();
void drawFadeFromBlack(float amount);
void drawBlackout(float start, float end);
void drawInvertFlash(float amount);
void drawFullscreenPicture(int slot);
void drawOverlayPicture(int width, int height, float x, float y, int slot);
void drawTitleCards();
