// Placeholder scene state until initScene, resizeScene, fog and light land.
#include "render/render.h"

float maxAnisotropy = 0.0f;

bool initScene() { return true; }
void resizeScene(int, int) {}
void applyFog() {}
void applyLight() {}
