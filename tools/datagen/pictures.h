// The pictures of the data set. Each maker returns the finished raster,
// stored the way the show reads it (mirrored where its mapping mirrors).
#pragma once

#include "raster.h"

// Sprites laid down with a multiplicative blend: white leaves the frame as it is.
Raster makeOrbSprite();      // textures/org.png: a small violet orb
Raster makeBlockSprite();    // textures/block.png: a glass tile
Raster makeGreetingSprite(); // textures/envifoo.png: a stained-glass rosette

Raster makeOpeningBackground(); // textures/back7.png: dusk over hills
Raster makeChromeSphereMap();   // textures/env3.png: sky, horizon, ground, highlights

// textures/font.png: 16 x 16 cells of 32 pixels, white with coverage alpha;
// printable ASCII from cell 0 (cell = code - 32) in a bold monospaced face,
// the same characters from cell 128 in a serif italic. The sheet is stored
// mirrored top to bottom, so the text drawing shows the glyphs upright.
// Null raster (width 0) when a font is missing.
Raster makeFontSheet();
constexpr int fontCellSize = 32;

// Title cards, 512 x 256, stored mirrored left to right. Like the font sheet
// and the logo, a null raster when a font is missing.
Raster makeTitleCard(const char* word, const char* caption, Colour accent);

// The logo over the spike scene, 512 x 512, stored mirrored left to right:
// white on transparent (added in red), and its mask, white with the logo's
// shape dark (multiplied under it).
Raster makeLogo();
Raster makeLogoMask();

// The start-up dialog's picture: 500 x 177, a grainy, nearly colourless
// facade of a block of flats with air-conditioning units.
Raster makeFacadePicture();
