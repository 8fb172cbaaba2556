// The global OpenGL state the effects take for granted, set once at start-up,
// with the font lists and the glow textures.
#pragma once

bool setupRenderState();
