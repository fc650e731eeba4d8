// The command line: options, the folder the viewer runs in, and the exit codes of a start that never opens a window.
#include "app/app.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "map/map.h"
#include "platform/platform.h"

namespace fs = std::filesystem;

// Paths are UTF-8 text throughout the program; std::filesystem takes narrow strings in the system's
// code page on Windows, so they cross as UTF-8 explicitly.
static fs::path pathOf(const std::string& text)
{
    return fs::path(std::u8string(text.begin(), text.end()));
}

static std::string textOf(const fs::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

CommandLine commandLine;

const char* const usageText =
    "Usage: kestra [OPTIONS] [MAP]\n"
    "A first-person viewer of a small city. MAP is a city file to drive through instead of city.map.\n"
    "\n"
    "  --window     start in a 1280-wide window instead of full screen\n"
    "  --data DIR   the folder holding Data/, data/ and city.map\n"
    "  --timedemo   drive a fixed route with vertical sync off, print the frame rate and exit\n"
    "  --help       show this help and exit\n"
    "  --version    show the version and exit\n"
    "\n"
    "Without --data the data is looked up in the current folder, then in the program's own folder,\n"
    "then in the installed data folder (../share/kestra beside the program's folder), then in run/\n"
    "beside the program in a build tree.\n"
    "Exit status: 0 after Escape or closing the window, 1 when the viewer cannot start, 2 on wrong usage.\n";

CommandLine parseCommandLine(const std::vector<std::string>& arguments)
{
    CommandLine line;
    auto fail = [&line](const std::string& why) {
        line.action = CommandLine::usageError;
        line.error = why;
        return line;
    };
    bool optionsEnded = false, dataGiven = false, mapGiven = false;
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
        } else if (argument == "--help" || argument == "--version") {
            line.action = argument == "--help" ? CommandLine::help : CommandLine::version;
            return line;
        } else if (argument == "--window" || argument == "--timedemo") {
            bool& flag = argument == "--window" ? line.window : line.timedemo;
            if (flag)
                return fail(argument + " given twice");
            flag = true;
        } else if (argument == "--data" || argument.starts_with("--data=")) {
            if (dataGiven)
                return fail("--data given twice");
            if (argument == "--data" && i + 1 == arguments.size())
                return fail("--data needs a folder");
            line.dataFolder = argument == "--data" ? arguments[++i] : argument.substr(7);
            if (line.dataFolder.empty())
                return fail("--data needs a folder");
            dataGiven = true;
        } else {
            return fail("unknown option '" + argument + "'");
        }
    }
    return line;
}

// The textures are what a start cannot do without; the first of them stands for the set.
static bool holdsData(const fs::path& folder)
{
    FILE* grass = openDataFile(textOf(folder / "Data/Grass.bmp").c_str());
    if (grass)
        std::fclose(grass);
    return grass != nullptr;
}

std::string findDataFolder(const std::string& dataFolder, const std::string& executableFolder,
                           std::vector<std::string>* searched)
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
        searched->push_back(folder);
        if (holdsData(folder))
            return folder;
    }
    return {};
}

int startViewer(int argc, char** argv)
{
    commandLine = parseCommandLine(programArguments(argc, argv));
    switch (commandLine.action) {
    case CommandLine::help:
        std::fputs(usageText, stdout);
        return 0;
    case CommandLine::version:
        std::printf("kestra %s\n", KESTRA_VERSION);
        return 0;
    case CommandLine::usageError:
        std::fprintf(stderr, "kestra: %s\n%s", commandLine.error.c_str(), usageText);
        return 2;
    case CommandLine::run:
        break;
    }

    std::error_code error;
    // Named from where the user stands, before the viewer moves into its data folder.
    if (!commandLine.mapFile.empty())
        cityMapPath = textOf(fs::absolute(pathOf(commandLine.mapFile), error));
    std::vector<std::string> searched;
    std::string folder = findDataFolder(commandLine.dataFolder, executableFolder(), &searched);
    if (!folder.empty())
        fs::current_path(pathOf(folder), error);
    if (folder.empty() || error) {
        std::string text = "The viewer's data (Data/, data/ and city.map) was not found in:\n";
        for (const std::string& place : searched)
            text += "  " + place + "\n";
        text += "Name the folder that holds it with --data DIR.";
        messageBox(text.c_str(), "ERROR", MessageIcon::exclamation);
        return 1;
    }

    viewSettings.fullscreen = commandLine.window ? 0 : 1;
    if (commandLine.timedemo)
        viewSettings.vsync = 0;
    return programMain();
}
