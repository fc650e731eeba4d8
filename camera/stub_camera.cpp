// Placeholder camera until the motion model lands.
#include "camera/camera.h"

CameraState camera;
bool cameraAboveRoofs = false;
TilePosition probeTile{168, 2};

void updateCamera() {}
void advanceCamera() {}
void setFieldOfView(int) {}
bool tileBlocks(TileType, float) { return false; }
