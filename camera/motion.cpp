// The camera record and its per-frame motion model: keys and mouse to speed, heading and position.
#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>

#include "app/app.h"
#include "camera/camera.h"
#include "platform/platform.h"

CameraState camera;
bool cameraAboveRoofs = false;
// The tile under the start position, so the first frame's fly-down test reads a real cell.
TilePosition probeTile{static_cast<int>(CameraState{}.z / tileSize), static_cast<int>(CameraState{}.x / tileSize)};

// All rates are per frame; every comparison uses the single-precision constant.
static constexpr float turnDecay = 0.004f;
static constexpr float speedDecay = 0.004f;
static constexpr float turnStep = 0.001f;
static constexpr float standingTurnLimit = 0.02f;
static constexpr float movingTurnLimit = 0.015f;
static constexpr float cruiseSpeed = 0.2f;
static constexpr float cruiseStep = 0.005f;
static constexpr float boostSpeed = 0.4f;
static constexpr float boostStep = 0.01f;
static constexpr float reverseSpeed = -0.1f;
static constexpr float reverseStep = 0.005f;
static constexpr float brakeStep = 0.02f;
static constexpr float climbStep = 0.1f;
static constexpr float roofEyeY = -7.0f;
static constexpr int baseFieldOfView = 60;
static constexpr int widestFieldOfView = 90;

// Held on the keyboard or by the gamepad: releasing one leaves the other's hold in place.
static bool held(uint8_t key)
{
    return keyState[key] != 0 || gamepadInput.keys[key] != 0;
}

// Moves value toward 0 by step, never past it.
static void decayTowardZero(float& value, float step)
{
    if (value < 0.0f) {
        value += step;
        if (value > 0.0f)
            value = 0.0f;
    } else if (value > 0.0f) {
        value -= step;
        if (value < 0.0f)
            value = 0.0f;
    }
}

static void relaxFieldOfView()
{
    if (camera.fieldOfView > baseFieldOfView) {
        camera.fieldOfView -= 1;
        setFieldOfView(camera.fieldOfView);
    }
}

void updateCamera()
{
    const bool steering = held('A') || held('D');
    const bool throttle = held('W') || held('S');
    if (!steering)
        decayTowardZero(camera.turnRate, turnDecay);
    if (!throttle)
        decayTowardZero(camera.speed, speedDecay);

    // Reversing swaps the steering, as a car's wheel does when backing.
    if (held('A')) {
        if (camera.speed >= 0.0f)
            camera.turnRate -= turnStep;
        else
            camera.turnRate += turnStep;
    }
    if (held('D')) {
        if (camera.speed >= 0.0f)
            camera.turnRate += turnStep;
        else
            camera.turnRate -= turnStep;
    }

    const float limit = camera.speed == 0.0f ? standingTurnLimit : movingTurnLimit;
    if (camera.turnRate < -limit)
        camera.turnRate = -limit;
    else if (camera.turnRate > limit)
        camera.turnRate = limit;

    if (held('W') && mouseButtons.right) {
        if (camera.speed < boostSpeed)
            camera.speed += boostStep;
        if (camera.fieldOfView <= widestFieldOfView - 1) {
            camera.fieldOfView += 1;
            setFieldOfView(camera.fieldOfView);
        }
    } else {
        if (held('W')) {
            if (camera.speed < cruiseSpeed)
                camera.speed += cruiseStep;
            else
                camera.speed -= cruiseStep;
        }
        relaxFieldOfView();
    }

    if (held('S') && camera.speed > reverseSpeed)
        camera.speed -= reverseStep;

    if (held(VK_SPACE) && camera.speed > reverseSpeed) {
        const float braked = camera.speed - brakeStep;
        camera.speed = braked < 0.0f ? 0.0f : braked;
    }

    // Page Up and Page Down fly as E and Q do.
    if (held('E') || held(VK_PRIOR))
        camera.y -= climbStep;

    // Flying down is checked against the last collision probe's tile, not a fresh probe.
    if (held('Q') || held(VK_NEXT)) {
        const float candidate = camera.y + climbStep;
        if (!tileBlocks(mapCell(probeTile.row, probeTile.column), candidate))
            camera.y = candidate;
    }

    if (held(VK_HOME) && camera.pitch < 90.0f)
        camera.pitch += 1.0f;
    if (held(VK_END) && camera.pitch > 0.0f)
        camera.pitch -= 1.0f;
}

float motionTurn(float pixelsRight)
{
    return pixelsRight / 1000.0f;
}

float mouseSpeed = 1.0f;

float mouseYaw(int pixelsRight)
{
    return motionTurn(static_cast<float>(pixelsRight)) * mouseSpeed;
}

MouseTurn mouseTurn(int cursorX, int cursorY, int screenPixelsWide, int screenPixelsHigh)
{
    MouseTurn turn;
    turn.centreX = screenPixelsWide >> 1;
    turn.centreY = screenPixelsHigh >> 1;
    if (cursorX == turn.centreX && cursorY == turn.centreY)
        return turn;
    turn.recentre = true;
    turn.yawChange = mouseYaw(cursorX - turn.centreX);
    return turn;
}

void applyMouseYaw(float& yaw)
{
    // Taken every frame, so that motion made while the cursor was being warped is never applied later.
    const int moved = takeMouseMotion();
    if (!cursorWarps()) {
        yaw += mouseYaw(moved);
        return;
    }
    const int wide = getScreenWidth();
    const int high = getScreenHeight();
    int cursorX = 0;
    int cursorY = 0;
    // A cursor that cannot be read gives no offset to act on.
    if (!getCursorPos(&cursorX, &cursorY))
        return;
    const MouseTurn turn = mouseTurn(cursorX, cursorY, wide, high);
    if (!turn.recentre)
        return;
    setCursorPos(turn.centreX, turn.centreY);
    yaw += turn.yawChange;
}

void moveCamera()
{
    // The right stick turns as the mouse does, but as a rate: by its amount at every step.
    camera.yaw += motionTurn(gamepadInput.turnPixels);
    camera.yaw += camera.turnRate;
    double d = camera.yaw;
    if (d >= twoPi)
        camera.yaw = static_cast<float>(d - twoPi);
    else if (camera.yaw < 0.0f)
        camera.yaw = static_cast<float>(d + twoPi);
    d = camera.yaw;

    camera.yawDegrees = static_cast<float>(static_cast<double>(camera.yaw * 180.0f) / pi);

    const double c = std::cos(d);
    const double s = std::sin(d);
    const double v = camera.speed;
    camera.z = static_cast<float>(camera.z + c * v);
    camera.x = static_cast<float>(camera.x - s * v);

    if (camera.x > camera.maxX)
        camera.x = camera.maxX;
    if (camera.y > camera.maxY)
        camera.y = camera.maxY;
    if (camera.z > camera.maxZ)
        camera.z = camera.maxZ;
    if (camera.x < 0.0f)
        camera.x = 0.0f;
    if (camera.z < 0.0f)
        camera.z = 0.0f;

    cameraAboveRoofs = camera.y <= roofEyeY;

    collideWithMap(d, c, s, v);
}

void setFieldOfView(int degrees)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(static_cast<double>(degrees), static_cast<double>(16.0f / 9.0f), static_cast<double>(0.1f),
                   18 * viewRadius);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}
