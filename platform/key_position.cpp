// The driving keys by their place on the keyboard, the same for every backend.
#include "platform/platform.h"

static bool drivingKey(uint8_t key)
{
    return key == 'W' || key == 'A' || key == 'S' || key == 'D' || key == 'E' || key == 'Q' || key == VK_SPACE;
}

uint8_t keyByPosition(uint8_t layoutKey, bool placed, uint8_t positionKey)
{
    if (!placed)
        return layoutKey;
    if (positionKey)
        return positionKey;
    // A layout's W elsewhere (AZERTY's, at a US keyboard's Z) would drive as well as the W place does.
    return drivingKey(layoutKey) ? 0 : layoutKey;
}
