// The timed demo: a fixed drive through the bundled city, fed into the real loop, and its frame-rate figures.
#include "app/app.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
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

// From the start north to the first crossing, east climbing above the roofs, north over the blocks
// at night without fog, then east again coming down onto the next crossing street. Every turn but
// the one in flight is made standing, so that the drive keeps to its streets.
const Leg route[] = {
    {167, {'W'}, true},
    {20, {VK_SPACE}},
    {86, {'D'}},  // a quarter turn right
    {6, {}},
    {135, {'W', VK_PRIOR}, true},
    {70, {'W'}, true},
    {110, {'W', 'A'}, true},  // a quarter turn left, flying
    {40, {'W'}, true},
    {1, {'W', VK_F3}, true},  // night
    {40, {'W'}, true},
    {1, {'W', VK_F4}, true},  // fog off
    {81, {'W'}, true},
    {20, {VK_SPACE}},
    {86, {'D'}},
    {6, {}},
    {140, {'W', VK_NEXT}, true},
    {1, {'W', VK_F3}, true},  // day
    {1, {'W', VK_F4}, true},  // fog on
    {30, {'W'}, true},
};
}  // namespace

int timedemoLength()
{
    int frames = 0;
    for (const Leg& leg : route)
        frames += leg.frames;
    return frames;
}

std::vector<double> timedemoFrameSeconds;
static std::chrono::steady_clock::time_point lastFrame;
static size_t demoFrames = 0;

void startTimedemo()
{
    const int length = timedemoLength();
    demoFrames = size_t(commandLine.timedemoFrames > 0 ? std::min(commandLine.timedemoFrames, length) : length);
    timedemoFrameSeconds.clear();
    timedemoFrameSeconds.reserve(demoFrames);
    lastFrame = std::chrono::steady_clock::now();
}

bool timedemoPresented()
{
    const auto now = std::chrono::steady_clock::now();
    timedemoFrameSeconds.push_back(std::chrono::duration<double>(now - lastFrame).count());
    lastFrame = now;
    if (timedemoFrameSeconds.size() >= demoFrames)
        return false;
    playTimedemoStep(static_cast<int>(timedemoFrameSeconds.size()) - 1);
    return true;
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
