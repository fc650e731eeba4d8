// Frame benchmark: times the viewer's drawFrame against the reference loop and a batched renderer of the same
// scene, checks their pixels, and times scene start-up, a window switch, the viewer's start-up and peak memory.
#define GL_GLEXT_PROTOTYPES  // the occlusion query of OpenGL 1.5, which Mesa's libGL exports
#include <GL/gl.h>
#include <GL/glext.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/app.h"
#include "camera/camera.h"
#include "map/map.h"
#include "platform/platform.h"
#include "render/render.h"
#include "text/text.h"

#ifndef KESTRA_BENCH_RUN_DIR
#define KESTRA_BENCH_RUN_DIR "run"
#endif

struct BenchOptions {
    std::string runDir = KESTRA_BENCH_RUN_DIR;
    int frames = 40;       // timed frames per case and renderer
    int warmup = 3;        // untimed frames before them
    int startupRuns = 5;   // fresh contexts timed for start-up, and switches timed
    int routeEvery = 1;    // every how many frames of the timed demo's route are drawn; 0 skips the route
    std::vector<std::pair<int, int>> sizes{{1280, 720}, {1920, 1080}};  // pixels
};

// One fixed camera placement; night cases switch daylight off and re-apply fog and light.
struct Placement {
    const char* name;
    float x, y, z;  // world units
    float yaw;      // degrees
    float pitch;    // degrees
    bool night;
};

struct FrameStats {
    double medianMs = 0.0;
    double p95Ms = 0.0;
};

using Clock = std::chrono::steady_clock;

static double elapsedMs(Clock::time_point since)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

// Opens a context and runs the scene start-up the viewer runs; returns initScene's time in ms, or -1.
static double openScene(int width, int height, BareContext* w)
{
    if (!openBareContext(width, height, w)) {
        std::fprintf(stderr, "bench: no OpenGL context at %dx%d\n", width, height);
        closeBareContext(w);
        return -1.0;
    }
    windowWidth = screenWidth = width;
    windowHeight = screenHeight = height;
    viewSettings = ViewSettings{};
    resizeScene(width, height);
    Clock::time_point start = Clock::now();
    bool ok = initScene();
    double ms = elapsedMs(start);
    if (!ok) {
        std::fprintf(stderr, "bench: initScene failed; is the run folder complete?\n");
        closeBareContext(w);
        return -1.0;
    }
    return ms;
}

static void closeScene(BareContext* w)
{
    deleteFont();
    closeBareContext(w);
}

// The middle value, or the mean of the middle two; 0 for none.
static double median(std::vector<double> v)
{
    if (v.empty())
        return 0.0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}

static FrameStats summarise(std::vector<double> ms)
{
    FrameStats s;
    if (ms.empty())
        return s;
    s.medianMs = median(ms);
    std::sort(ms.begin(), ms.end());
    size_t n = ms.size();
    size_t rank = static_cast<size_t>(std::ceil(0.95 * double(n)));  // nearest-rank percentile
    s.p95Ms = ms[std::max<size_t>(rank, 1) - 1];
    return s;
}

// ---- The batched reference renderer: the same tiles, one client vertex array per texture.

// Interleaved as GL_T2F_N3F_V3F.
struct BatchVertex {
    float s, t;
    float nx, ny, nz;
    float x, y, z;
};

constexpr int batchSlots = rooftopSlot + 1;  // tile textures, cliff top and roof
static std::vector<BatchVertex> batches[batchSlots];

static void addGround(int slot, float ox, float oy, float oz)
{
    const GLfloat* n = groundNormal;
    for (const Corner& v : groundCorners)
        batches[slot].push_back({v.s, v.t, n[0], n[1], n[2], v.x + ox, oy, v.z + oz});
}

static void addWalls(int slot, const TileKind& kind, float ox, float oy, float oz)
{
    for (int q = 0; q < 4; ++q) {
        const GLfloat* n = (*kind.normals)[q];
        for (const Corner& v : wallCorners[q])
            batches[slot].push_back({v.s, v.t, n[0], n[1], n[2], v.x + ox, v.y * kind.wallHeight + oy, v.z + oz});
    }
}

// Puts every tile the reference draws for this camera into the batches, in eye-centred world coordinates
// (the same translation the reference loads per tile, so only the camera's rotations stay on the matrix).
static void buildBatches()
{
    for (std::vector<BatchVertex>& b : batches)
        b.clear();
    int r0 = static_cast<int>(camera.z / 12.0f);
    int c0 = static_cast<int>(camera.x / 12.0f);
    for (int r = r0 - viewRadius; r < r0 + viewRadius; ++r) {
        for (int c = c0 - viewRadius; c < c0 + viewRadius; ++c) {
            if (r < 0 || r >= mapSize || c < 0 || c >= mapSize)
                continue;
            TileType t = mapCell(r, c);
            const TileKind& kind = tileKind(t);
            if (kind.shape == TileShape::none)
                continue;
            float ox = (-static_cast<float>(c) * 12.0f + camera.x) - 6.0f;
            float oz = (-static_cast<float>(r) * 12.0f + camera.z) - 6.0f;
            float oy = camera.y;
            int slot = static_cast<int>(t);
            if (kind.shape == TileShape::ground) {
                addGround(slot, ox, oy, oz);
                continue;
            }
            addWalls(slot, kind, ox, oy, oz);
            if (cameraAboveRoofs)
                addGround(kind.topSlot, ox, oy + kind.wallHeight, oz);
        }
    }
}

// Same clear, sky, enables, light, projection and HUD as the reference; the city as one draw per texture.
static bool drawBatchedFrame()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glColor3f(0.8f, 0.8f, 0.5f);
    if (viewSettings.daylight)
        drawSky();
    glLoadIdentity();
    glRotatef(camera.pitch, 1.0f, 0.0f, 0.0f);
    glRotatef(camera.yawDegrees, 0.0f, 1.0f, 0.0f);
    // Under the camera's rotation the light keeps its world direction, as for every tile but the reference's first.
    applyLight();
    for (int slot = 0; slot < batchSlots; ++slot) {
        if (batches[slot].empty())
            continue;
        glBindTexture(GL_TEXTURE_2D, textureTable[slot]);
        glInterleavedArrays(GL_T2F_N3F_V3F, 0, batches[slot].data());
        glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(batches[slot].size()));
    }
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glLoadIdentity();
    drawStatDisplay(countFrames());
    return true;
}

// ---- Cases.

static void placeCamera(const Placement& p)
{
    camera = CameraState{};
    camera.x = p.x;
    camera.y = p.y;
    camera.z = p.z;
    camera.yaw = static_cast<float>(double(p.yaw) * pi / 180.0);
    camera.yawDegrees = static_cast<float>(static_cast<double>(camera.yaw) * 180.0 / pi);
    camera.pitch = p.pitch;
    cameraAboveRoofs = camera.y <= -7.0f;
    resizeScene(windowWidth, windowHeight);  // the start's field of view, whatever the route left
    if (p.night && viewSettings.daylight) {
        viewSettings.daylight = 0;
        applyFog();
        applyLight();
    }
}

// Every renderer expects the identity model-view matrix the HUD leaves behind; loaded here so that they
// start alike even while the HUD does not.
static void startFrame()
{
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

// The floor a frame cannot go below in this context: the clear alone, and the clear with one full-screen
// textured quad (a sky picture, depth-tested, unlit, unfogged), which is about what the visible sky costs.
static bool drawClear()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    return true;
}

static bool drawClearAndQuad()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_FOG);
    glColor3f(1.0f, 1.0f, 1.0f);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glBindTexture(GL_TEXTURE_2D, textureTable[skySlot0]);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex3f(-1, -1, 0.5f);
    glTexCoord2f(1, 0);
    glVertex3f(1, -1, 0.5f);
    glTexCoord2f(1, 1);
    glVertex3f(1, 1, 0.5f);
    glTexCoord2f(0, 1);
    glVertex3f(-1, 1, 0.5f);
    glEnd();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopAttrib();
    return true;
}

constexpr int rendererCount = 5;
enum { fastRenderer, referenceRenderer, batchedRenderer, clearFloor, quadFloor };
static bool (*const renderers[rendererCount])() = {drawFrame, drawFrameReference, drawBatchedFrame, drawClear,
                                                   drawClearAndQuad};

// Milliseconds of CPU time a clock has used so far (this thread, or every thread of the process).
static double cpuMs(clockid_t clock)
{
    timespec t{};
    clock_gettime(clock, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

struct Timing {
    std::vector<double> wallMs, threadMs, processMs;  // per frame
};

// Times the renderers frame by frame in turn, so that a change in the machine's load hits all alike.
static void timeFrames(int frames, int warmup, Timing* timings)
{
    for (int i = 0; i < warmup + frames; ++i) {
        for (int which = 0; which < rendererCount; ++which) {
            startFrame();
            const double thread0 = cpuMs(CLOCK_THREAD_CPUTIME_ID), process0 = cpuMs(CLOCK_PROCESS_CPUTIME_ID);
            Clock::time_point start = Clock::now();
            renderers[which]();
            glFinish();
            double frameMs = elapsedMs(start);
            if (i >= warmup) {
                timings[which].wallMs.push_back(frameMs);
                timings[which].threadMs.push_back(cpuMs(CLOCK_THREAD_CPUTIME_ID) - thread0);
                timings[which].processMs.push_back(cpuMs(CLOCK_PROCESS_CPUTIME_ID) - process0);
            }
        }
    }
}

struct PixelDifference {
    long pixels = 0;  // pixels with any channel different
    int largest = 0;  // largest difference in one channel
};

// Counts the fragments that pass every test and are written while it lives: the fragments a frame shades
// and keeps, at least one per pixel the frame draws, more where later fragments overwrite earlier ones.
// It does not change what is drawn, so a timed frame can be counted too.
class WrittenFragments {
public:
    WrittenFragments()
    {
        glGenQueries(1, &query);
        glBeginQuery(GL_SAMPLES_PASSED, query);
    }
    WrittenFragments(const WrittenFragments&) = delete;
    WrittenFragments& operator=(const WrittenFragments&) = delete;
    ~WrittenFragments() { glDeleteQueries(1, &query); }
    // Ends the count (after the frame is drawn) and gives it.
    long count()
    {
        glEndQuery(GL_SAMPLES_PASSED);
        GLuint n = 0;
        glGetQueryObjectuiv(query, GL_QUERY_RESULT, &n);
        return long(n);
    }

private:
    GLuint query = 0;
};

static std::vector<unsigned char> readFrame(bool (*draw)(), int width, int height, long* written)
{
    std::vector<unsigned char> pixels(size_t(width) * height * 4);
    startFrame();
    WrittenFragments fragments;
    draw();
    *written = fragments.count();
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

// Exact differences of drawFrame and of the batched arrays against the reference, with the HUD's clock held,
// and the fragments drawFrame and the reference write.
static void differences(int width, int height, PixelDifference* fast, PixelDifference* batched, long written[2])
{
    uint32_t (*const tickSource)() = frameTickSource;
    frameTickSource = [] { return frameCounter.lastTick; };
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    const std::vector<unsigned char> reference = readFrame(drawFrameReference, width, height, &written[1]);
    for (PixelDifference* d : {fast, batched}) {
        long batchedWritten = 0;
        const std::vector<unsigned char> other = readFrame(d == fast ? drawFrame : drawBatchedFrame, width, height,
                                                           d == fast ? &written[0] : &batchedWritten);
        for (size_t i = 0; i < reference.size(); i += 4) {
            int most = 0;
            for (int k = 0; k < 4; ++k)
                most = std::max(most, std::abs(int(reference[i + k]) - int(other[i + k])));
            d->pixels += most > 0;
            d->largest = std::max(d->largest, most);
        }
    }
    frameTickSource = tickSource;
}

// Where drivers are: streets seen along and across, crossings at diagonal yaws, flight and a view from
// above. Cells are (row, column) of the bundled city; the centre of a cell is 12 * cell + 6.
static const Placement placements[] = {
    {"start", 30.0f, -1.5f, 2016.0f, 180.0f, 0.0f, false},
    {"street-along", 1098.0f, -1.5f, 1074.0f, 90.0f, 0.0f, false},  // row 89 between the crossings
    {"street-across", 1098.0f, -1.5f, 1074.0f, 0.0f, 0.0f, false},
    {"crossing-yaw45", 1050.0f, -1.5f, 1074.0f, 45.0f, 0.0f, false},  // rows 89 and column 87 cross
    {"crossing-yaw120", 1050.0f, -1.5f, 1074.0f, 120.0f, 0.0f, false},
    {"crossing-yaw200", 1050.0f, -1.5f, 1074.0f, 200.0f, 0.0f, false},
    {"street-pitched-down", 1098.0f, -1.5f, 1074.0f, 90.0f, 40.0f, false},
    {"flight-20", 1050.0f, -20.0f, 1074.0f, 45.0f, 0.0f, false},
    {"aerial-oblique", 1146.0f, -60.0f, 1158.0f, 200.0f, 35.0f, false},
    {"night-street", 1146.0f, -1.5f, 1014.0f, 0.0f, 0.0f, true},  // column 95; last: it leaves daylight off
};

// False, with a message, when a placement puts the eye inside a block, where no driver can be.
static bool checkPlacements()
{
    for (const Placement& p : placements) {
        const TileType t = mapCell(int(p.z / 12.0f), int(p.x / 12.0f));
        if (-p.y < tileKind(t).wallHeight) {
            std::fprintf(stderr, "bench: placement %s stands inside a block (tile type %u)\n", p.name, t);
            return false;
        }
    }
    return true;
}

struct SizeResults {
    std::vector<double> speedUps;  // reference median / drawFrame median, per placement
    long differing = 0;             // pixels drawFrame draws differently from the reference, over all checks
};

static bool runPlacements(int width, int height, const BenchOptions& options, SizeResults* results)
{
    for (const Placement& p : placements) {
        placeCamera(p);
        buildBatches();
        Timing timings[rendererCount];
        timeFrames(options.frames, options.warmup, timings);
        FrameStats wall[rendererCount], thread[rendererCount], process[rendererCount];
        for (int k = 0; k < rendererCount; ++k) {
            wall[k] = summarise(timings[k].wallMs);
            thread[k] = summarise(timings[k].threadMs);
            process[k] = summarise(timings[k].processMs);
        }
        startFrame();
        drawFrameReference();
        const int referenceTiles = tilesDrawn;
        startFrame();
        drawFrame();
        const int fastTiles = tilesDrawn;
        PixelDifference fast, batched;
        long written[2] = {};
        differences(width, height, &fast, &batched, written);
        const double fastMs = wall[fastRenderer].medianMs;
        const double speedUp = fastMs > 0 ? wall[referenceRenderer].medianMs / fastMs : 0.0;
        results->speedUps.push_back(speedUp);
        results->differing += fast.pixels;
        std::printf("%4dx%-4d %-19s %4d/%4d | %7.2f %7.2f | %7.2f %7.2f | %7.2f | %5.2f %5.2f | %5.2f %5.2f | "
                    "%5.2f | %5.2f %5.2f | %6.2f %6.2f | %4.2f %4.2f | %ld/%d %ld/%d\n",
                    width, height, p.name, fastTiles, referenceTiles, fastMs, wall[fastRenderer].p95Ms,
                    wall[referenceRenderer].medianMs, wall[referenceRenderer].p95Ms, wall[batchedRenderer].medianMs,
                    wall[clearFloor].medianMs, wall[quadFloor].medianMs, speedUp,
                    fastMs > 0 ? wall[batchedRenderer].medianMs / fastMs : 0.0,
                    wall[quadFloor].medianMs > 0 ? fastMs / wall[quadFloor].medianMs : 0.0,
                    thread[fastRenderer].medianMs, thread[referenceRenderer].medianMs, process[fastRenderer].medianMs,
                    process[referenceRenderer].medianMs, double(written[0]) / (width * height),
                    double(written[1]) / (width * height), fast.pixels, fast.largest, batched.pixels, batched.largest);
        std::fflush(stdout);
    }
    return true;
}

// Milliseconds of the slowest hundredth of the frames, as a mean (the timed demo's 1% low, as a time).
static double slowestPercentMs(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end(), std::greater<>());
    const size_t count = std::max<size_t>(1, ms.size() / 100);
    double sum = 0.0;
    for (size_t i = 0; i < count && i < ms.size(); ++i)
        sum += ms[i];
    return ms.empty() ? 0.0 : sum / double(std::min(count, ms.size()));
}

static std::vector<std::string> routeSummaries;  // one line per size, printed again at the end

// The route's frames of one kind, per renderer: milliseconds, and fragments written per pixel.
struct RoutePart {
    std::vector<double> ms[2], writtenPerPixel[2];
};

// The timed demo's route as the viewer drives it (keys, camera step, switches), every frame drawn by
// drawFrame and by the reference in turn and compared pixel for pixel.
static void runRoute(int width, int height, const BenchOptions& options)
{
    camera = CameraState{};
    keyState.fill(0);
    mouseButtons = MouseButtons{};
    viewSettings = ViewSettings{};
    resizeScene(width, height);
    applyLight();
    cameraAboveRoofs = camera.y <= -7.0f;
    uint32_t (*const tickSource)() = frameTickSource;
    frameTickSource = [] { return frameCounter.lastTick; };  // the same HUD in both frames
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    std::vector<double> ms[2];
    std::vector<unsigned char> pixels[2];
    long differing = 0, checked = 0;
    RoutePart parts[2];  // the frames with the eye below the roofs, then above them
    const int frames = timedemoLength();
    for (int step = 0; step < frames; ++step) {
        if (step > 0) {
            playTimedemoStep(step - 1);
            updateCamera();
            applySwitches();
            moveCamera();
        }
        if (step % options.routeEvery)
            continue;
        RoutePart& part = parts[cameraAboveRoofs];
        for (int which : {fastRenderer, referenceRenderer}) {
            startFrame();
            WrittenFragments fragments;
            Clock::time_point start = Clock::now();
            renderers[which]();
            glFinish();
            ms[which].push_back(elapsedMs(start));
            part.ms[which].push_back(ms[which].back());
            part.writtenPerPixel[which].push_back(double(fragments.count()) / (width * height));
            pixels[which].resize(size_t(width) * height * 4);
            glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels[which].data());
        }
        for (size_t i = 0; i < pixels[0].size(); i += 4)
            differing += std::memcmp(&pixels[0][i], &pixels[1][i], 4) != 0;
        ++checked;
    }
    frameTickSource = tickSource;
    const double fastMedian = summarise(ms[fastRenderer]).medianMs, referenceMedian = summarise(ms[referenceRenderer]).medianMs;
    const double fastLow = slowestPercentMs(ms[fastRenderer]), referenceLow = slowestPercentMs(ms[referenceRenderer]);
    std::printf("route %dx%d, %ld of %d frames: drawFrame median %.2f, slowest 1%% %.2f | reference median %.2f, "
                "slowest 1%% %.2f (ms)\n",
                width, height, checked, frames, fastMedian, fastLow, referenceMedian, referenceLow);
    for (const RoutePart& part : parts) {
        const double fast = median(part.ms[fastRenderer]), reference = median(part.ms[referenceRenderer]);
        std::printf("  %s, %zu frames: median drawFrame %.2f, reference %.2f (ms), speed-up %.2f; fragments written "
                    "per pixel, median: drawFrame %.2f, reference %.2f\n",
                    &part == parts ? "eye below the roofs" : "eye above the roofs", part.ms[fastRenderer].size(), fast,
                    reference, fast > 0 ? reference / fast : 0.0, median(part.writtenPerPixel[fastRenderer]),
                    median(part.writtenPerPixel[referenceRenderer]));
    }
    char line[160];
    std::snprintf(line, sizeof line,
                  "summary: route speed-up over reference: median %.2f, slowest 1%% %.2f at %dx%d; differing pixels: %ld",
                  fastMedian > 0 ? referenceMedian / fastMedian : 0.0, fastLow > 0 ? referenceLow / fastLow : 0.0, width,
                  height, differing);
    std::printf("%s\n", line);
    std::fflush(stdout);
    routeSummaries.push_back(line);
}

static bool runSize(int width, int height, const BenchOptions& options, SizeResults* results)
{
    BareContext w;
    if (openScene(width, height, &w) < 0.0)
        return false;
    const bool ok = checkPlacements() && runPlacements(width, height, options, results);
    if (ok && options.routeEvery > 0)
        runRoute(width, height, options);
    closeScene(&w);
    return ok;
}

// The real viewer from exec to its exit after the first presented frame, on a private Xvfb screen.
// Returns the median in ms, or -1 when Xvfb or the viewer cannot be run.
static double viewerStartupMs(int runs)
{
    int fds[2];
    if (pipe(fds) != 0)
        return -1.0;
    const pid_t server = fork();
    if (server == 0) {
        dup2(fds[1], 3);
        const int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, 1);
        dup2(devNull, 2);
        execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", "1920x1080x24", "-nolisten", "tcp", nullptr);
        _exit(127);
    }
    close(fds[1]);
    char number[16] = {};
    const ssize_t got = server > 0 ? read(fds[0], number, sizeof number - 1) : -1;
    close(fds[0]);
    std::vector<double> ms;
    if (got > 0) {
        // Built with snprintf: GCC 12 misreports "literal" + std::string as an overlapping copy at -O3.
        char display[24];
        std::snprintf(display, sizeof display, ":%d", std::atoi(number));
        for (int i = 0; i < runs; ++i) {
            Clock::time_point start = Clock::now();
            const pid_t viewer = fork();
            if (viewer == 0) {
                setenv("DISPLAY", display, 1);
                setenv("KESTRA_FIRST_FRAME_ONLY", "1", 1);
                unsetenv("SDL_VIDEODRIVER");
                const int devNull = open("/dev/null", O_WRONLY);
                dup2(devNull, 1);
                execl(KESTRA_VIEWER, KESTRA_VIEWER, nullptr);
                _exit(127);
            }
            int status = 0;
            if (viewer < 0 || waitpid(viewer, &status, 0) != viewer || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
                break;
            ms.push_back(elapsedMs(start));
        }
    }
    if (server > 0) {
        kill(server, SIGTERM);
        waitpid(server, nullptr, 0);
    }
    return ms.size() == size_t(runs) ? summarise(ms).medianMs : -1.0;
}

// Start-up: initScene in fresh contexts. Switch: teardown of a running scene through a new one of the other size.
static bool runStartupAndSwitch(const BenchOptions& options)
{
    std::vector<double> startup, switching;
    const std::pair<int, int> sizes[2] = {options.sizes.back(), options.sizes.front()};
    for (int i = 0; i < options.startupRuns; ++i) {
        BareContext w;
        double ms = openScene(sizes[0].first, sizes[0].second, &w);
        if (ms < 0.0)
            return false;
        startup.push_back(ms);
        closeScene(&w);
    }
    BareContext w;
    if (openScene(sizes[0].first, sizes[0].second, &w) < 0.0)
        return false;
    for (int i = 0; i < options.startupRuns; ++i) {
        const std::pair<int, int>& next = sizes[(i + 1) % 2];
        Clock::time_point start = Clock::now();
        closeScene(&w);
        if (openScene(next.first, next.second, &w) < 0.0)
            return false;
        switching.push_back(elapsedMs(start));
    }
    closeScene(&w);
    FrameStats up = summarise(startup);
    FrameStats sw = summarise(switching);
    std::printf("start-up: initScene (font, 31 textures, tile lists, map) at %dx%d, median of %d fresh contexts: "
                "%.1f ms\n",
                sizes[0].first, sizes[0].second, options.startupRuns, up.medianMs);
    std::printf("window switch: deleteFont + release context, surface and window + new window and context at the "
                "other size + resizeScene + initScene, median of %d: %.1f ms\n",
                options.startupRuns, sw.medianMs);
    return true;
}

static bool parseSizes(const char* text, std::vector<std::pair<int, int>>* sizes)
{
    sizes->clear();
    std::string all(text);
    size_t at = 0;
    while (at <= all.size()) {
        size_t comma = all.find(',', at);
        std::string item = all.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
        int w = 0, h = 0;
        char tail = 0;
        if (std::sscanf(item.c_str(), "%dx%d%c", &w, &h, &tail) != 2 || w < 16 || h < 16 || w > 8192 || h > 8192)
            return false;
        sizes->push_back({w, h});
        if (comma == std::string::npos)
            break;
        at = comma + 1;
    }
    return !sizes->empty();
}

static bool parseCount(const char* text, int low, int* out)
{
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (!*text || *end || v < low || v > 100000)
        return false;
    *out = static_cast<int>(v);
    return true;
}

static const char* const usage =
    "usage: frame [--frames N] [--warmup N] [--startup-runs N] [--route-every N] [--sizes WxH[,WxH...]] [RUN_DIR]\n"
    "  environment: KESTRA_BENCH_FRAMES, KESTRA_BENCH_WARMUP, KESTRA_BENCH_STARTUP_RUNS, KESTRA_BENCH_ROUTE_EVERY,\n"
    "  KESTRA_BENCH_SIZES\n";

static bool parseOptions(int argc, char** argv, BenchOptions* options)
{
    if (const char* v = std::getenv("KESTRA_BENCH_FRAMES"); v && !parseCount(v, 1, &options->frames))
        return false;
    if (const char* v = std::getenv("KESTRA_BENCH_WARMUP"); v && !parseCount(v, 0, &options->warmup))
        return false;
    if (const char* v = std::getenv("KESTRA_BENCH_STARTUP_RUNS"); v && !parseCount(v, 1, &options->startupRuns))
        return false;
    if (const char* v = std::getenv("KESTRA_BENCH_ROUTE_EVERY"); v && !parseCount(v, 0, &options->routeEvery))
        return false;
    if (const char* v = std::getenv("KESTRA_BENCH_SIZES"); v && !parseSizes(v, &options->sizes))
        return false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--frames" && hasValue) {
            if (!parseCount(argv[++i], 1, &options->frames))
                return false;
        } else if (arg == "--warmup" && hasValue) {
            if (!parseCount(argv[++i], 0, &options->warmup))
                return false;
        } else if (arg == "--startup-runs" && hasValue) {
            if (!parseCount(argv[++i], 1, &options->startupRuns))
                return false;
        } else if (arg == "--route-every" && hasValue) {
            if (!parseCount(argv[++i], 0, &options->routeEvery))
                return false;
        } else if (arg == "--sizes" && hasValue) {
            if (!parseSizes(argv[++i], &options->sizes))
                return false;
        } else if (!arg.empty() && arg[0] != '-') {
            options->runDir = arg;
        } else {
            return false;
        }
    }
    return true;
}

int main(int argc, char** argv)
{
    BenchOptions options;
    if (!parseOptions(argc, argv, &options)) {
        std::fputs(usage, stderr);
        return 2;
    }
    // Headless by default; without a display a failing file cannot block the run on a message box.
    if (!std::getenv("SDL_VIDEODRIVER")) {
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
    }
    if (chdir(options.runDir.c_str()) != 0) {
        std::fprintf(stderr, "bench: cannot enter run folder %s\n", options.runDir.c_str());
        return 1;
    }
    Clock::time_point begin = Clock::now();

    BareContext probe;
    if (!openBareContext(64, 64, &probe)) {
        std::fprintf(stderr, "bench: no OpenGL context\n");
        return 1;
    }
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    std::printf("kestra frame benchmark\nrun folder: %s\nrenderer: %s\n", options.runDir.c_str(),
                renderer ? renderer : "?");
    closeBareContext(&probe);
    std::printf("per case: %d timed frames of each renderer, in turn, after %d warm-up; each frame drawn then "
                "glFinish; times in ms per frame\n",
                options.frames, options.warmup);
    std::printf("columns: tiles drawn by drawFrame/reference | drawFrame median p95 | reference median p95 | "
                "batched median | floor medians: clear, clear and a full-screen textured quad | drawFrame's speed-up "
                "over reference, over batched | drawFrame / quad floor | main-thread CPU drawFrame reference | "
                "process CPU drawFrame reference | fragments written per pixel drawFrame reference | differing "
                "pixels/largest channel difference against the reference: drawFrame, batched\n");
    SizeResults results;
    for (const std::pair<int, int>& size : options.sizes) {
        results = SizeResults{};
        if (!runSize(size.first, size.second, options, &results))
            return 1;
    }
    if (!runStartupAndSwitch(options))
        return 1;
    const double viewerMs = viewerStartupMs(options.startupRuns);
    if (viewerMs >= 0.0)
        std::printf("viewer start-up: exec to exit after the first presented frame (KESTRA_FIRST_FRAME_ONLY) on a "
                    "private Xvfb 1920x1080 screen, median of %d: %.1f ms\n",
                    options.startupRuns, viewerMs);
    else
        std::printf("viewer start-up: not measured (Xvfb or the viewer could not be run)\n");
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident memory (ru_maxrss): %.1f MiB\n", double(usage.ru_maxrss) / 1024.0);
    std::printf("total benchmark time: %.1f s\n", elapsedMs(begin) / 1000.0);
    std::vector<double> speedUps = results.speedUps;
    std::sort(speedUps.begin(), speedUps.end());
    std::printf("placements: drawFrame speed-up over reference: median %.2f (min %.2f) at %dx%d; differing pixels: %ld\n",
                summarise(speedUps).medianMs, speedUps.front(), options.sizes.back().first,
                options.sizes.back().second, results.differing);
    for (const std::string& line : routeSummaries)
        std::printf("%s\n", line.c_str());
    return 0;
}
