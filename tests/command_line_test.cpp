// The command line: options and their errors, and the folder the viewer takes its data from.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "app/app.h"

namespace fs = std::filesystem;

TEST(CommandLine, OptionsAndMapAreReadAndEveryMisuseIsAnError)
{
    using C = CommandLine;
    const struct {
        std::vector<std::string> arguments;
        C::Action action;
        bool window = false, timedemo = false;
        std::string data = "", map = "";
        const char* renderer = nullptr;  // KESTRA_RENDERER
        bool reference = false;
        std::string screenshot = "";
        bool steady = false;
        int width = 0, height = 0;
        float mouseSpeed = 1;
    } cases[] = {
        {{"--screenshot", "a.png", "--window"}, C::run, true, false, "", "", nullptr, false, "a.png"},
        {{"--screenshot=-a.png"}, C::run, false, false, "", "", nullptr, false, "-a.png"},
        {{"--window", "my.map", "--timedemo", "--data", "dir"}, C::run, true, true, "dir", "my.map"},
        {{"--data=dir", "--", "-odd.map"}, C::run, false, false, "dir", "-odd.map"},
        {{"--timedemo"}, C::run, false, true, "", "", "reference", true},
        {{}, C::run, false, false, "", "", "", false},
        {{}, C::usageError, false, false, "", "", "bogus"},
        {{"--help"}, C::help, false, false, "", "", "bogus"},
        {{"--window", "-h", "-V"}, C::help, true},
        {{"-V", "--help"}, C::version},
        {{"--steady", "--size", "320x180", "--mouse-speed=.25"}, C::run, 0, 0, "", "", {}, 0, "", true, 320, 180, .25f},
        {{"--size=1920x1080", "--mouse-speed", "3"}, C::run, 0, 0, "", "", {}, 0, "", 0, 1920, 1080, 3},
    };
    for (const std::vector<std::string>& wrong : std::initializer_list<std::vector<std::string>>{
             {"--screenshot", "a.png", "--timedemo"}, {"--screenshot=a", "--screenshot=b"}, {"--screenshot"},
             {"--window", "--help", "--bogus"}, {"--version", "a.map", "b.map"}, {"--bogus"}, {"a.map", "b.map"},
             {"--window", "--window"}, {"--data", "a", "--data=b"}, {"--data"}, {"--data="}, {""},
             {"--steady", "--timedemo"}, {"--steady", "--steady"}, {"--size", "319x180"}, {"--size", "320x179"},
             {"--size"}, {"--size", "800x"}, {"--size", "+800x600"}, {"--size", "800"}, {"--size", "8x6x1"},
             {"--size=400x300", "--size=400x300"}, {"--mouse-speed", "0"}, {"--mouse-speed", "-1"},
             {"--mouse-speed", "1x"}, {"--mouse-speed="}, {"--mouse-speed", "inf"}, {"--mouse-speed", "nan"},
             {"--mouse-speed", " 1"}, {"--mouse-speed", "1e99"}}) {
        const CommandLine line = parseCommandLine(wrong);
        EXPECT_EQ(std::pair(line.action, line.error.empty()), std::pair(C::usageError, false)) << wrong.size() << line.error;
    }
    for (const auto& c : cases) {
        const CommandLine line = parseCommandLine(c.arguments, nullptr, c.renderer);
        SCOPED_TRACE(testing::Message() << c.arguments.size() << " arguments: " << line.error);
        EXPECT_EQ(line.action, c.action);
        EXPECT_EQ(line.error.empty(), c.action != C::usageError);
        if (c.action != C::usageError) {
            EXPECT_EQ(std::tie(line.window, line.timedemo, line.dataFolder, line.mapFile, line.reference, line.screenshotFile,
                               line.steady, line.width, line.height, line.mouseSpeed),
                      std::tie(c.window, c.timedemo, c.data, c.map, c.reference, c.screenshot, c.steady, c.width, c.height,
                               c.mouseSpeed));
        }
    }
}

TEST(CommandLine, DataComesFromTheNamedFolderOrTheFirstOfCurrentProgramInstalledAndBuildFolders)
{
    char pattern[] = "/tmp/kestra-lookup-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path root = pattern, home = fs::current_path();
    const fs::path here = root / "here", bin = root / "prefix/bin", share = root / "prefix/share/kestra";
    const fs::path run = bin / "run", empty = root / "empty", accented = root / "Stra\u00dfe \u00e9t\u00e9";
    const struct {
        std::vector<fs::path> holding;  // folders given a texture
        fs::path named;                 // --data
        fs::path want;                  // empty: none
        size_t searched;
    } cases[] = {
        {{here, bin, share, run}, {}, here, 1},
        {{bin, share, run}, {}, bin, 2},
        {{share, run}, {}, share, 3},
        {{run}, {}, run, 4},
        {{}, {}, {}, 4},
        {{here, empty}, empty, empty, 1},  // spelt DATA/grass.bmp below: any case will do
        {{here}, empty, {}, 1},
        {{accented}, accented, accented, 1},
    };
    for (const auto& c : cases) {
        fs::remove_all(root);
        for (const fs::path& folder : {here, bin, share, empty, accented})
            fs::create_directories(folder);
        for (const fs::path& folder : c.holding) {
            fs::create_directories(folder / "DATA");
            std::ofstream(folder / "DATA/grass.bmp") << "BM";
        }
        fs::current_path(here);
        std::vector<SearchedFolder> searched;
        EXPECT_EQ(findDataFolder(c.named.string(), bin.string() + "/", &searched), c.want.string());
        EXPECT_EQ(searched.size(), c.searched);
    }
    fs::current_path(home);
    fs::remove_all(root);
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

TEST(CommandLine, NoDataSaysWhichFoldersLackItAndWhichHoldItUnreadable)
{
    char pattern[] = "/tmp/kestra-nodata-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path folder = pattern, odd = folder / "odd", closed = folder / "closed";
    fs::create_directories(odd / "Data/Grass.bmp");
    std::vector<SearchedFolder> searched;
    EXPECT_EQ(findDataFolder(odd.string(), "", &searched), "");
    ASSERT_EQ(searched.size(), 1u);
    EXPECT_EQ(searched[0].error, EINVAL) << "a folder where the texture should be";
    // The data in a folder only its owner may enter, looked for by another user.
    fs::create_directories(closed / "Data");
    std::ofstream(closed / "Data/Grass.bmp") << "BM";
    fs::permissions(closed, fs::perms::owner_all);
    fs::permissions(folder, fs::perms::all);
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
    fs::remove_all(folder);

    EXPECT_EQ(noDataMessage({{"/a", ENOENT}, {"/b", ENOTDIR}}),
              "The viewer's textures (Data/) were not found in:\n  /a\n  /b\n"
              "Name the folder that holds them with --data DIR.");
    EXPECT_EQ(noDataMessage({{"/a", ENOENT}, {"/b", EINVAL}, {"/c", EACCES}}),
              "The viewer's textures (Data/) could not be used from:\n  /a: not there\n"
              "  /b: Data/Grass.bmp is not a regular file\n  /c: Data/Grass.bmp: Permission denied\n"
              "Name the folder that holds them with --data DIR.");
}
