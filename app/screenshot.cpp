// Screenshots: PNG files of presented frames, in the pictures folder or where --screenshot says.
#include "app/app.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/platform.h"
#include "render/render.h"

namespace fs = std::filesystem;

bool screenshotWanted = false;

// Names tried before a clash is taken for a failure.
static constexpr int screenshotAttempts = 100;

std::string screenshotName(const std::tm& when, int attempt)
{
    char stamp[64];
    std::strftime(stamp, sizeof stamp, "kestra-%Y-%m-%d-%H-%M-%S", &when);
    // Appended piece by piece: "-" + to_string trips GCC 12's -Wrestrict false positive.
    std::string name = stamp;
    if (attempt > 1)
        name.append("-").append(std::to_string(attempt));
    return name.append(".png");
}

std::string saveScreenshot(const FramePixels& frame, const std::string& folder, std::time_t when,
                           std::string* problem)
{
    if (folder.empty()) {
        *problem = "no pictures folder (neither XDG_PICTURES_DIR nor HOME is set)";
        return {};
    }
    const fs::path kestra = pathOf(folder) / "Kestra";
    std::error_code error;
    fs::create_directories(kestra, error);
    if (error) {
        *problem = textOf(kestra) + ": " + error.message();
        return {};
    }
    std::vector<uint8_t> png;
    if (!encodePng(frame.width, frame.height, frame.rgb.data(), &png, problem))
        return {};
    const std::tm local = *std::localtime(&when);
    for (int attempt = 1; attempt <= screenshotAttempts; ++attempt) {
        const std::string path = textOf(kestra / pathOf(screenshotName(local, attempt)));
        if (writeWholeFile(path, png, true, problem))
            return path;
        // Only a name already taken is worth another try.
        if (!fs::exists(fs::symlink_status(pathOf(path), error)))
            break;
    }
    return {};
}

bool takeScreenshot(const FramePixels& frame, const std::string& file)
{
    std::string problem;
    bool saved = false;
    if (file.empty()) {
        const std::string path = saveScreenshot(frame, picturesFolder(), std::time(nullptr), &problem);
        saved = !path.empty();
        if (saved)
            writeOut(path + "\n");
    } else {
        std::vector<uint8_t> png;
        saved = encodePng(frame.width, frame.height, frame.rgb.data(), &png, &problem) &&
                writeWholeFile(file, png, false, &problem);
    }
    if (!saved)
        std::fprintf(stderr, "kestra: screenshot not saved: %s\n", problem.c_str());
    return saved;
}
