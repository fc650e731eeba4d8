// The camera: its record, the per-frame motion model and the collision test against the map.
#pragma once

#include "map/map.h"

constexpr double pi = 3.141592653589793;
constexpr double twoPi = 2.0 * pi;

struct CameraState {
    float x = 30.0f;            // world units along the columns, 0..maxX
    float y = -1.5f;            // world units, minus the eye height, at most maxY
    float z = 2016.0f;          // world units along the rows, 0..maxZ
    float yaw = 3.1415927f;     // radians, 0..2 pi; travel direction (-sin yaw, +cos yaw) in (x, z)
    float yawDegrees = 180.0f;  // degrees, yaw converted after every yaw update
    float pitch = 0.0f;         // degrees of downward tilt, 0..90
    float speed = 0.0f;         // world units per frame along the heading, negative backwards
    float turnRate = 0.0f;      // radians per frame added to yaw
    int fieldOfView = 60;       // degrees, vertical, 60..90
    float maxX = 2039.0f;       // world units
    float maxY = -1.5f;         // world units
    float maxZ = 2039.0f;       // world units
};

// A map cell by row and column, 0..169 each.
struct TilePosition {
    int row = 0;
    int column = 0;
};

extern CameraState camera;
extern bool cameraAboveRoofs;    // eye at least 7 units up; roofs and cliff tops are drawn
extern TilePosition probeTile;   // tile of the last collision probe
extern float mouseSpeed;         // times the mouse turn's 1/1000 radian a pixel; 1 unless --mouse-speed

// What the cursor does to one frame: re-centre it when it is off the screen centre, and turn.
struct MouseTurn {
    bool recentre = false;   // cursor is off centre; put it back at (centreX, centreY)
    int centreX = 0;         // screen pixels
    int centreY = 0;         // screen pixels
    float yawChange = 0.0f;  // radians added to yaw, mouseSpeed/1000 per pixel right of centre
};

// First half of the frame's camera step: speed, turn rate, field of view, flying and tilt from the keys.
void updateCamera();
// Second half, after the mouse's applyMouseYaw: the right stick's turn, heading, move, bounds, roof flag,
// then the collision test.
void moveCamera();
// Turns yaw by the cursor's horizontal offset from the screen centre and re-centres the cursor; where
// the pointer cannot be moved, turns it by the pointer's horizontal motion instead.
void applyMouseYaw(float& yaw);
// The yaw change in radians for the pointer moved this many pixels to the right: 1/1000 radian a pixel.
float motionTurn(float pixelsRight);
// The mouse's share of it: motionTurn times mouseSpeed.
float mouseYaw(int pixelsRight);
// The re-centring and turn for a cursor at (cursorX, cursorY) on a screen of the given size, in pixels.
MouseTurn mouseTurn(int cursorX, int cursorY, int screenPixelsWide, int screenPixelsHigh);
// Probes ahead of (behind, when reversing) the moved camera; on a blocking tile takes back the move
// made with yaw d, its cos and sin and speed v, and stops. Always sets probeTile.
void collideWithMap(double d, double c, double s, double v);
// Loads the projection for a field of view in degrees at a fixed 16:9 aspect.
void setFieldOfView(int degrees);
// True when a tile of this type stops a camera at height y.
bool tileBlocks(TileType type, float y);
