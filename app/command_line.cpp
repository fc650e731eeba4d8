// The command line: options, the folder the viewer runs in, and the exit codes of a start that never opens a window.
#include "app/app.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "map/map.h"
#include "platform/platform.h"

namespace fs = std::filesystem;

CommandLine commandLine;

const char* const usageText =
    "Usage: kestra [OPTIONS] [MAP]\n"
    "A first-person viewer of a small city. MAP is a city file to drive through instead of city.map.\n"
    "\n"
    "  --window         start in a 1280-wide window instead of full screen\n"
    "  --data DIR       the folder holding Data/, data/ and city.map\n"
    "  --timedemo       drive a fixed route with vertical sync off, print the frame rate and exit\n"
    "  --screenshot FILE  save the first frame shown as a PNG file and exit\n"
    "  -h, --help       show this help and exit\n"
    "  -V, --version    show the version and exit\n"
    "  --               end of the options: what follows is the MAP, even when it starts with '-'\n"
    "\n"
    "Without --data the data is looked up in the current folder, then in the program's own folder,\n"
    "then in the installed data folder (../share/kestra beside the program's folder), then in run/\n"
    "beside the program in a build tree.\n"
    "With --timedemo, KESTRA_TIMEDEMO_FRAMES=N (1 or more) stops the drive after N frames.\n"
    "F12 or Print Screen saves the frame shown as a PNG file in the Kestra folder of the pictures folder\n"
    "($XDG_PICTURES_DIR, else ~/Pictures) and prints its name.\n"
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

namespace {
// An option with one value, given as "--name VALUE" or "--name=VALUE".
struct ValueOption {
    const char* name;
    std::string CommandLine::*value;
    const char* needs;  // what the value is, for the error
};
}  // namespace
static const ValueOption valueOptions[] = {{"--data", &CommandLine::dataFolder, "a folder"},
                                           {"--screenshot", &CommandLine::screenshotFile, "a file"}};

static const ValueOption* findValueOption(const std::string& argument)
{
    for (const ValueOption& option : valueOptions)
        if (argument == option.name || argument.starts_with(std::string(option.name) + "="))
            return &option;
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
        } else if (argument == "--window" || argument == "--timedemo") {
            bool& flag = argument == "--window" ? line.window : line.timedemo;
            if (flag)
                return fail(argument + " given twice");
            flag = true;
        } else if (const ValueOption* option = findValueOption(argument)) {
            const std::string name = option->name;
            std::string& value = line.*option->value;
            if (!value.empty())
                return fail(name + " given twice");
            if (argument == name && i + 1 == arguments.size())
                return fail(name + " needs " + option->needs);
            value = argument == name ? arguments[++i] : argument.substr(name.size() + 1);
            if (value.empty())
                return fail(name + " needs " + option->needs);
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
    if (line.action == CommandLine::run && renderer && *renderer) {
        if (std::string(renderer) != "reference")
            return fail("KESTRA_RENDERER must be 'reference' or unset, not '" + std::string(renderer) + "'");
        line.reference = true;
    }
    return line;
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
        std::fprintf(stderr, "kestra: %s\nTry 'kestra --help'.\n", commandLine.error.c_str());
        return 2;
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

    viewSettings.fullscreen = commandLine.window ? 0 : 1;
    if (commandLine.timedemo)
        viewSettings.vsync = 0;
    return programMain();
}

int startViewer(int argc, char** argv)
{
    prepareStandardStreams();
    return finishStandardOutput("kestra", runViewer(argc, argv));
}
