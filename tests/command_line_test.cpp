// The command line: options and their errors, and the folder the viewer takes its data from.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>

#include "app/app.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

// What a parsed command line asks for, its defaults left out; a usage error only says it is one, with a reason.
static std::string summary(const CommandLine& c)
{
    if (c.action == CommandLine::usageError)
        return c.error.empty() ? "usage error without a reason" : "usage error";
    const char* actions[] = {"run", "help", "version"};
    std::ostringstream out;
    out << actions[c.action] << (c.window ? " window" : "") << (c.timedemo ? " timedemo" : "")
        << (c.reference ? " reference" : "") << (c.steady ? " steady" : "");
    for (auto [name, value] : {std::pair{" data=", c.dataFolder}, {" map=", c.mapFile}, {" shot=", c.screenshotFile}})
        out << (value.empty() ? "" : name + value);
    if (c.width || c.height || c.mouseSpeed != 1)
        out << " " << c.width << "x" << c.height << " speed " << c.mouseSpeed;
    return out.str() + (c.error.empty() ? "" : " and an error");
}

TEST(CommandLine, OptionsAndMapAreReadAndEveryMisuseIsAnError)
{
    // Arguments, KESTRA_RENDERER and what they ask for.
    const std::tuple<std::vector<std::string>, const char*, const char*> cases[] = {
        {{"--screenshot", "a.png", "--window"}, nullptr, "run window shot=a.png"},
        {{"--screenshot=-a.png"}, nullptr, "run shot=-a.png"},
        {{"--window", "my.map", "--timedemo", "--data", "dir"}, nullptr, "run window timedemo data=dir map=my.map"},
        {{"--data=dir", "--", "-odd.map"}, nullptr, "run data=dir map=-odd.map"},
        {{"--timedemo"}, "reference", "run timedemo reference"}, {{}, "", "run"}, {{}, "bogus", "usage error"},
        {{"--help"}, "bogus", "help"}, {{"--window", "-h", "-V"}, nullptr, "help window"},
        {{"-V", "--help"}, nullptr, "version"},
        {{"--steady", "--size", "320x180", "--mouse-speed=.25"}, nullptr, "run steady 320x180 speed 0.25"},
        {{"--size=1920x1080", "--mouse-speed", "3"}, nullptr, "run 1920x1080 speed 3"},
    };
    for (const auto& [arguments, renderer, want] : cases)
        EXPECT_EQ(summary(parseCommandLine(arguments, nullptr, renderer)), want) << testing::PrintToString(arguments);
    for (const std::vector<std::string>& wrong : std::initializer_list<std::vector<std::string>>{
             {"--screenshot", "a.png", "--timedemo"}, {"--screenshot=a", "--screenshot=b"}, {"--screenshot"},
             {"--window", "--help", "--bogus"}, {"--version", "a.map", "b.map"}, {"--bogus"}, {"a.map", "b.map"},
             {"--window", "--window"}, {"--data", "a", "--data=b"}, {"--data"}, {"--data="}, {""},
             {"--steady", "--timedemo"}, {"--steady", "--steady"}, {"--size", "319x180"}, {"--size", "320x179"},
             {"--size"}, {"--size", "800x"}, {"--size", "+800x600"}, {"--size", "800"}, {"--size", "8x6x1"},
             {"--size=400x300", "--size=400x300"}, {"--mouse-speed", "0"}, {"--mouse-speed", "-1"},
             {"--mouse-speed", "1x"}, {"--mouse-speed="}, {"--mouse-speed", "inf"}, {"--mouse-speed", "nan"},
             {"--mouse-speed", " 1"}, {"--mouse-speed", "1e99"}})
        EXPECT_EQ(summary(parseCommandLine(wrong)), "usage error") << testing::PrintToString(wrong);
}

TEST(CommandLine, DataComesFromTheNamedFolderOrTheFirstOfCurrentProgramInstalledAndBuildFoldersElseNamesWhyNot)
{
    TempDir dir;
    const fs::path root = dir.path;
    const fs::path here = root / "here", bin = root / "prefix/bin", share = root / "prefix/share/kestra";
    const fs::path run = bin / "run", empty = root / "empty", accented = root / "Stra\u00dfe \u00e9t\u00e9";
    // Folders given a texture, --data, the folder found (empty: none) and how many were searched.
    const std::tuple<std::vector<fs::path>, fs::path, fs::path, size_t> cases[] = {
        {{here, bin, share, run}, {}, here, 1},
        {{bin, share, run}, {}, bin, 2},
        {{share, run}, {}, share, 3},
        {{run}, {}, run, 4},
        {{}, {}, {}, 4},
        {{here, empty}, empty, empty, 1},  // spelt DATA/grass.bmp below: any case will do
        {{here}, empty, {}, 1},
        {{accented}, accented, accented, 1},
    };
    for (const auto& [holding, named, want, count] : cases) {
        fs::remove_all(root);
        for (const fs::path& folder : {here, bin, share, empty, accented})
            fs::create_directories(folder);
        for (const fs::path& folder : holding) {
            fs::create_directories(folder / "DATA");
            std::ofstream(folder / "DATA/grass.bmp") << "BM";
        }
        fs::current_path(here);
        std::vector<SearchedFolder> searched;
        EXPECT_EQ(findDataFolder(named.string(), bin.string() + "/", &searched), want.string());
        EXPECT_EQ(searched.size(), count);
    }

    // No data: which folders lack it and which hold it unreadable.
    const fs::path odd = root / "odd", closed = root / "closed";
    fs::create_directories(odd / "Data/Grass.bmp");
    std::vector<SearchedFolder> searched;
    EXPECT_EQ(findDataFolder(odd.string(), "", &searched), "");
    ASSERT_EQ(searched.size(), 1u);
    EXPECT_EQ(searched[0].error, EINVAL) << "a folder where the texture should be";
    // The data in a folder only its owner may enter, looked for by another user.
    fs::create_directories(closed / "Data");
    std::ofstream(closed / "Data/Grass.bmp") << "BM";
    fs::permissions(closed, fs::perms::owner_all);
    fs::permissions(root, fs::perms::all);
    std::fflush(nullptr);
    if (const pid_t child = geteuid() == 0 ? fork() : -1; child == 0) {
        std::vector<SearchedFolder> seen;
        _exit(setuid(65534) == 0 && findDataFolder(closed.string(), "", &seen).empty() && seen[0].error == EACCES
                  ? 0 : 1);
    } else if (child > 0) {
        int status = -1;
        waitpid(child, &status, 0);
        EXPECT_EQ(status, 0) << "a folder another user may not enter";
    }

    EXPECT_EQ(noDataMessage({{"/a", ENOENT}, {"/b", ENOTDIR}}),
              "The viewer's textures (Data/) were not found in:\n  /a\n  /b\n"
              "Name the folder that holds them with --data DIR.");
    EXPECT_EQ(noDataMessage({{"/a", ENOENT}, {"/b", EINVAL}, {"/c", EACCES}}),
              "The viewer's textures (Data/) could not be used from:\n  /a: not there\n"
              "  /b: Data/Grass.bmp is not a regular file\n  /c: Data/Grass.bmp: Permission denied\n"
              "Name the folder that holds them with --data DIR.");
}

TEST(CommandLine, TimedemoFramesAreAWholeNumberFromOneToIntMaxElseAUsageErrorNamingTheVariable)
{
    for (const char* wrong : {"0", "-1", "abc", "", "0x10", "1e3", "2147483648", "18446744073709551616", " 5", "+5"}) {
        const CommandLine line = parseCommandLine({"--timedemo"}, wrong);
        EXPECT_EQ(line.action, CommandLine::usageError) << wrong;
        EXPECT_NE(line.error.find("KESTRA_TIMEDEMO_FRAMES"), std::string::npos) << wrong;
    }
    for (auto [text, frames] : {std::pair("1", 1), {"2147483647", INT_MAX}, {"050", 50}})
        EXPECT_EQ(parseCommandLine({"--timedemo"}, text).timedemoFrames, frames) << text;
    EXPECT_EQ(parseCommandLine({"--window"}, "abc").action, CommandLine::run) << "read only for the timed demo";
}
