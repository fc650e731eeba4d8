// The command line: options, the folder the viewer runs in, and the exit codes of a start that never opens a window.
#include "app/app.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <system_error>

#include "camera/camera.h"
#include "map/map.h"
#include "platform/platform.h"

namespace fs = std::filesystem;

CommandLine commandLine;

const char* const usageText =
    "Usage: kestra [OPTIONS] [MAP]\n"
    "A first-person viewer of a small city. MAP is a city file to drive through instead of city.map.\n"
    "\n"
    "  --window          start in a 1280-wide window instead of full screen\n"
    "  --size WxH        start in a WxH-pixel window, 320x180 up to the screen; F1 comes back to it\n"
    "  --steady          move at the same speed at any frame rate: 60 camera steps a second\n"
    "  --mouse-speed F   turn F times as far for the same mouse motion (1: 1/1000 radian a pixel)\n"
    "  --data DIR        the folder holding Data/, data/ and city.map\n"
    "  --timedemo        drive a fixed route with vertical sync off, print the frame rate and exit\n"
    "  --screenshot FILE save the first frame shown as a PNG file and exit\n"
    "  -h, --help        show this help and exit\n"
    "  -V, --version     show the version and exit\n"
    "  --                end of the options: what follows is the MAP, even when it starts with '-'\n"
    "\n"
    "Keys (W, A, S, D, E, Q and Space by their place on the keyboard, where a US layout has them):\n"
    "  W / S             accelerate / brake and reverse\n"
    "  W + right button  faster, with a widening field of view\n"
    "  Space             brake\n"
    "  A / D             steer left / right (the other way while reversing)\n"
    "  mouse             turn\n"
    "  E, Page Up        fly up\n"
    "  Q, Page Down      fly down\n"
    "  Home / End        tilt the view down / back to level\n"
    "  Insert            statistics and help lines on or off\n"
    "  F1                full screen or window\n"
    "  F2                vertical sync\n"
    "  F3                day or night\n"
    "  F4                fog\n"
    "  F12, Print Screen save the frame shown as a PNG file in the pictures folder\n"
    "  Escape            quit\n"
    "\n"
    "Without --data the data is looked up in the current folder, then in the program's own folder,\n"
    "then in the installed data folder (../share/kestra beside the program's folder), then in run/\n"
    "beside the program in a build tree.\n"
    "With --timedemo, KESTRA_TIMEDEMO_FRAMES=N (1 or more) stops the drive after N frames.\n"
    "F12 and Print Screen save in the Kestra folder of the pictures folder ($XDG_PICTURES_DIR, else\n"
    "~/Pictures) and print the file's name.\n"
    "\n"
    "Gamepad (plugged in before or during the run; its buttons add to the keys):\n"
    "  right / left trigger        accelerate / brake and reverse, as W / S\n"
    "  left stick, left-right      steer, as A / D\n"
    "  right stick, left-right     turn, as the mouse: fully pushed, 40 pixels every camera step\n"
    "  right / left shoulder       fly up / down, as E / Q\n"
    "  D-pad down / up             tilt the view down / back, as Home / End\n"
    "  Y, B, X                     day or night, fog, statistics: as F3, F4, Insert\n"
    "  Start, twice in a second    quit; a single press does nothing\n"
    "\n"
    "Exit status: 0 after Escape or closing the window, 1 when the viewer cannot start, 2 on wrong usage.\n";

// Reads "WxH" from minimum size up; whether it fits the screen is known only once the display is reached.
static bool readSize(const std::string& text, CommandLine* line)
{
    const size_t x = text.find('x');
    uint64_t width = 0, height = 0;
    if (x == std::string::npos || !parseWholeNumber(text.substr(0, x).c_str(), smallestWindowWidth, INT_MAX, &width) ||
        !parseWholeNumber(text.substr(x + 1).c_str(), smallestWindowHeight, INT_MAX, &height))
        return false;
    line->width = static_cast<int>(width);
    line->height = static_cast<int>(height);
    return true;
}

static bool readMouseSpeed(const std::string& text, CommandLine* line)
{
    char* end = nullptr;
    errno = 0;
    const float speed = std::strtof(text.c_str(), &end);
    if (*end || errno || !std::isfinite(speed) || speed <= 0 || std::isspace(static_cast<unsigned char>(text[0])))
        return false;
    line->mouseSpeed = speed;
    return true;
}

namespace {
// An option that takes a value, as "--name VALUE" or "--name=VALUE".
struct ValueOption {
    const char* name;
    std::string what;  // for messages: "--data needs a folder"
    bool (*read)(const std::string& value, CommandLine* line);
};
}  // namespace

static const ValueOption valueOptions[] = {
    {"--data", "a folder", [](const std::string& folder, CommandLine* line) { return (line->dataFolder = folder), true; }},
    {"--screenshot", "a file",
     [](const std::string& file, CommandLine* line) { return (line->screenshotFile = file), true; }},
    {"--size", "a window size WxH from " + std::to_string(smallestWindowWidth) + "x" +
                   std::to_string(smallestWindowHeight), readSize},
    {"--mouse-speed", "a number above 0", readMouseSpeed},
};

static const ValueOption* valueOption(const std::string& argument)
{
    for (const ValueOption& option : valueOptions) {
        const std::string name = option.name;
        if (argument == name || argument.starts_with(name + "="))
            return &option;
    }
    return nullptr;
}

CommandLine parseCommandLine(const std::vector<std::string>& arguments, const char* timedemoFrames,
                             const char* renderer)
{
    CommandLine line;
    auto fail = [&line](const std::string& why) {
        line.action = CommandLine::usageError;
        line.error = why;
        return line;
    };
    bool optionsEnded = false, mapGiven = false;
    bool given[std::size(valueOptions)] = {};
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument.empty())
            return fail("an empty argument");
        if (optionsEnded || argument[0] != '-') {
            if (mapGiven)
                return fail("more than one MAP ('" + line.mapFile + "', '" + argument + "')");
            line.mapFile = argument;
            mapGiven = true;
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "-h" || argument == "--help" || argument == "-V" || argument == "--version") {
            // The first of them is acted on, once every argument has proved right.
            if (line.action == CommandLine::run)
                line.action = argument == "-h" || argument == "--help" ? CommandLine::help : CommandLine::version;
        } else if (argument == "--window" || argument == "--timedemo" || argument == "--steady") {
            bool& flag = argument == "--window" ? line.window : argument == "--timedemo" ? line.timedemo : line.steady;
            if (flag)
                return fail(argument + " given twice");
            flag = true;
        } else if (const ValueOption* option = valueOption(argument)) {
            const std::string name = option->name;
            if (given[option - valueOptions])
                return fail(name + " given twice");
            given[option - valueOptions] = true;
            if (argument == name && i + 1 == arguments.size())
                return fail(name + " needs " + option->what);
            const std::string value = argument == name ? arguments[++i] : argument.substr(name.size() + 1);
            if (value.empty())
                return fail(name + " needs " + option->what);
            if (!option->read(value, &line))
                return fail(name + " takes " + option->what + ", not '" + value + "'");
        } else {
            return fail("unknown option '" + argument + "'");
        }
    }
    if (line.timedemo && !line.screenshotFile.empty())
        return fail("--screenshot and --timedemo cannot go together");
    uint64_t frames = 0;
    if (line.timedemo && timedemoFrames && !parseWholeNumber(timedemoFrames, 1, INT_MAX, &frames))
        return fail("KESTRA_TIMEDEMO_FRAMES takes a whole number of frames from 1 to " + std::to_string(INT_MAX) +
                    ", not '" + timedemoFrames + "'");
    line.timedemoFrames = static_cast<int>(frames);
    if (line.steady && line.timedemo)
        return fail("--steady and --timedemo cannot go together");
    if (line.action == CommandLine::run && renderer && *renderer) {
        if (std::string(renderer) != "reference")
            return fail("KESTRA_RENDERER must be 'reference' or unset, not '" + std::string(renderer) + "'");
        line.reference = true;
    }
    return line;
}

int usageError(const std::string& mistake)
{
    std::fprintf(stderr, "kestra: %s\nTry 'kestra --help'.\n", mistake.c_str());
    return 2;
}

// The textures are what a start cannot do without; the first of them stands for the set. 0 when the
// folder holds it, else why not (errno).
static int dataError(const std::string& folder)
{
    FILE* grass = openDataFile((folder + "/Data/Grass.bmp").c_str());
    if (!grass)
        return errno ? errno : ENOENT;
    std::fclose(grass);
    return 0;
}

static bool missing(int error)
{
    return error == ENOENT || error == ENOTDIR;
}

std::string noDataMessage(const std::vector<SearchedFolder>& searched)
{
    bool allMissing = true;
    for (const SearchedFolder& place : searched)
        allMissing = allMissing && missing(place.error);
    std::string text = allMissing ? "The viewer's textures (Data/) were not found in:\n"
                                  : "The viewer's textures (Data/) could not be used from:\n";
    for (const SearchedFolder& place : searched) {
        text += "  " + place.folder;
        if (!allMissing)
            text += missing(place.error)       ? ": not there"
                    : place.error == EINVAL ? ": Data/Grass.bmp is not a regular file"
                                            : std::string(": Data/Grass.bmp: ") + std::strerror(place.error);
        text += "\n";
    }
    return text + "Name the folder that holds them with --data DIR.";
}

std::string findDataFolder(const std::string& dataFolder, const std::string& executableFolder,
                           std::vector<SearchedFolder>* searched)
{
    std::error_code error;
    std::vector<fs::path> candidates;
    if (!dataFolder.empty()) {
        candidates.push_back(fs::absolute(pathOf(dataFolder), error));
    } else {
        candidates.push_back(fs::current_path(error));
        if (!executableFolder.empty()) {
            // Beside the program (an unpacked archive), installed, then a build tree.
            candidates.push_back(pathOf(executableFolder));
            candidates.push_back(pathOf(executableFolder) / "../share/kestra");
            candidates.push_back(pathOf(executableFolder) / "run");
        }
    }
    for (const fs::path& candidate : candidates) {
        if (candidate.empty())
            continue;
        std::string folder = textOf(candidate.lexically_normal());
        if (folder.size() > 1 && (folder.back() == '/' || folder.back() == char(fs::path::preferred_separator)))
            folder.pop_back();
        const int error = dataError(folder);
        searched->push_back({folder, error});
        if (error == 0)
            return folder;
    }
    return {};
}

static int runViewer(int argc, char** argv)
{
    commandLine = parseCommandLine(programArguments(argc, argv), std::getenv("KESTRA_TIMEDEMO_FRAMES"),
                                   std::getenv("KESTRA_RENDERER"));
    switch (commandLine.action) {
    case CommandLine::help:
        writeOut(usageText);
        return 0;
    case CommandLine::version:
        writeOut(std::string("kestra ") + KESTRA_VERSION + "\n");
        return 0;
    case CommandLine::usageError:
        return usageError(commandLine.error);
    case CommandLine::run:
        break;
    }

    // Nobody watches a timed demo: a message goes to stderr and never waits for a click.
    showMessageBoxes(!commandLine.timedemo);
    std::error_code error;
    // Named from where the user stands, before the viewer moves into its data folder.
    if (!commandLine.mapFile.empty()) {
        cityMapPath = textOf(fs::absolute(pathOf(commandLine.mapFile), error).lexically_normal());
        cityMapName = commandLine.mapFile;
    }
    if (!commandLine.screenshotFile.empty())
        commandLine.screenshotFile = textOf(fs::absolute(pathOf(commandLine.screenshotFile), error).lexically_normal());
    std::vector<SearchedFolder> searched;
    std::string folder = findDataFolder(commandLine.dataFolder, executableFolder(), &searched);
    if (!folder.empty() && (fs::current_path(pathOf(folder), error), error))
        searched.back().error = error.value();
    if (folder.empty() || error) {
        messageBox(noDataMessage(searched).c_str(), "ERROR", MessageIcon::exclamation);
        return 1;
    }
    // The MAP argument is the user's own choice, and a timed demo measures nothing without its city:
    // either must load, or the run ends here, before any window opens. The data folder's city.map of
    // an ordinary run is only reported, and the city stays all grass.
    if (!commandLine.mapFile.empty() || commandLine.timedemo) {
        const std::string problem = explainCityMap(cityMapPath.c_str(), cityMapName, &cityMap);
        if (!problem.empty()) {
            messageBox(problem.c_str(), "MAP LOAD ERROR", MessageIcon::information);
            return 1;
        }
    }

    viewSettings.fullscreen = commandLine.window || commandLine.width ? 0 : 1;
    mouseSpeed = commandLine.mouseSpeed;
    if (commandLine.timedemo)
        viewSettings.vsync = 0;
    return programMain();
}

int startViewer(int argc, char** argv)
{
    prepareStandardStreams();
    return finishStandardOutput("kestra", runViewer(argc, argv));
}
