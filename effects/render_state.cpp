// Placeholder until this module lands.
#include "effects/render_state.h"
bool setupRenderState() { return true; }
