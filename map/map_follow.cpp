// Following the city file: a cheap look at its size and time once a second, a full read only on a change.
#include "map/map.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/platform.h"

std::string cityMapName = "city.map";

namespace {
// What one look at the file saw; a missing file is a state of its own.
struct FileStamp {
    bool exists = false;
    uintmax_t size = 0;                           // bytes
    std::filesystem::file_time_type modified{};  // last write
    bool operator==(const FileStamp&) const = default;
};
}  // namespace

static constexpr uint32_t lookInterval = 1000;  // milliseconds between two looks
static bool looked = false;
static uint32_t lastLook = 0;  // milliseconds
static FileStamp lastStamp;
static std::string lastProblem;  // said once; empty after a good read

static FileStamp stampOf(const std::string& path)
{
    std::error_code error;
    FileStamp stamp;
    stamp.size = std::filesystem::file_size(pathOf(path), error);
    if (error)
        return {};
    stamp.modified = std::filesystem::last_write_time(pathOf(path), error);
    stamp.exists = !error;
    return stamp;
}

bool followCityMap(uint32_t nowMs)
{
    if (looked && nowMs - lastLook < lookInterval)
        return false;
    const FileStamp stamp = stampOf(cityMapPath);
    // The first look takes the file as the window loaded it.
    const bool changed = looked && !(stamp == lastStamp);
    looked = true;
    lastLook = nowMs;
    lastStamp = stamp;
    if (!changed)
        return false;
    // Read whole into a scratch grid, so that a failing file leaves the city as it was.
    static CityMap read;
    const std::string problem = explainCityMap(cityMapPath.c_str(), cityMapName, &read);
    if (problem.empty()) {
        cityMap = read;
        lastProblem.clear();
        return true;
    }
    if (problem != lastProblem)
        std::fprintf(stderr, "kestra: %s\n", problem.c_str());
    lastProblem = problem;
    return false;
}
