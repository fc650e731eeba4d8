// The timed demo: a fixed drive through the bundled city, fed into the real loop, and its frame-rate figures.
#include "app/app.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <numeric>

#include "platform/platform.h"

namespace {
// Keys held (and the right button for the fast acceleration) for a number of frames.
struct Leg {
    int frames;
    uint8_t keys[3];
    bool boost = false;
};

const Leg route[] = {
    {167, {'W'}, true},          // north along the first street
    {20, {VK_SPACE}},            // stop at the crossing
    {86, {'D'}},                 // turn right, standing
    {6, {}},
    {145, {'W', VK_PRIOR}, true},  // east, climbing above the roofs
    {60, {'W'}, true},
    {110, {'W', 'A'}, true},     // turn left in the air, north over the blocks
    {40, {'W'}, true},
    {1, {'W', VK_F3}, true},     // night
    {40, {'W'}, true},
    {1, {'W', VK_F4}, true},     // fog off
    {81, {'W'}, true},
    {20, {VK_SPACE}},
    {146, {VK_NEXT}},            // down onto the next street
    {86, {'D'}},                 // turn right, standing
    {6, {}},
    {100, {'W'}, true},          // east along it
    {1, {'W', VK_F3}, true},     // day
    {1, {'W', VK_F4}, true},     // fog on
    {40, {'W'}, true},
};
}  // namespace

int timedemoLength()
{
    int frames = 0;
    for (const Leg& leg : route)
        frames += leg.frames;
    return frames;
}

int timedemoFrames()
{
    const char* asked = std::getenv("KESTRA_TIMEDEMO_FRAMES");
    return asked ? std::clamp(std::atoi(asked), 1, timedemoLength()) : timedemoLength();
}

void playTimedemoStep(int step)
{
    const uint8_t escape = keyState[VK_ESCAPE];
    keyState.fill(0);
    keyState[VK_ESCAPE] = escape;
    mouseButtons = MouseButtons{};
    for (const Leg& leg : route) {
        if (step < leg.frames) {
            for (uint8_t key : leg.keys)
                keyState[key] = key != 0;
            mouseButtons.right = leg.boost;
            return;
        }
        step -= leg.frames;
    }
}

std::string timedemoReport(const std::vector<double>& frameSeconds)
{
    std::vector<double> slowest = frameSeconds;
    std::sort(slowest.begin(), slowest.end(), std::greater<>());
    const size_t frames = slowest.size();
    const size_t lowCount = std::max<size_t>(1, frames / 100);
    const double seconds = std::accumulate(slowest.begin(), slowest.end(), 0.0);
    const double lowSeconds = std::accumulate(slowest.begin(), slowest.begin() + std::min(lowCount, frames), 0.0);
    char line[160];
    std::snprintf(line, sizeof line, "%zu frames, %.2f seconds, %.1f fps average, %.1f fps 1%% low", frames, seconds,
                  seconds > 0 ? frames / seconds : 0.0, lowSeconds > 0 ? lowCount / lowSeconds : 0.0);
    return line;
}
