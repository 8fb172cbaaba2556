// Placeholder until this module lands.
#include "effects/sprite_fields.h"
Vec3 spriteField[spriteCount];
const char greetingLine[] = "";
void seedSpriteField() {}
void drawBillboard(Vec3, float) {}
void drawOpeningField(float) {}
void drawGreetingField(float) {}
