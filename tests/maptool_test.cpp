// kestra-map: the city generator, pictures, check's verdict and summary, render, and the program's
// messages, outputs and exit codes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "app/app.h"
#include "tests/support/temp_dir.h"
#include "tools/maptool/maptool.h"

namespace fs = std::filesystem;

namespace {
std::string readText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeText(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) { writeText(path, {bytes.begin(), bytes.end()}); }
void savePng(const std::string& path, const Picture& picture)
{
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(encodePng(picture, &bytes, &error)) << error;
    writeBytes(path, bytes);
}

struct ToolRun { int status; std::string out, err; };

// Runs body in a child process after prepare, with stderr on the null device; its exit status or the
// signal that ended it.
int inChild(const std::function<void()>& prepare, const std::function<int()>& body)
{
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        dup2(open("/dev/null", O_WRONLY), 2);
        prepare();
        _exit(body());
    }
    int status = -1;
    waitpid(child, &status, 0);
    return WIFSIGNALED(status) ? WTERMSIG(status) : WEXITSTATUS(status);
}

// Runs the program's command line in this process and captures what it prints; with prepare, in a
// child process that runs prepare() first, giving only its exit status or the signal that ended it.
ToolRun runTool(std::vector<std::string> arguments, const std::function<void()>& prepare = nullptr)
{
    arguments.insert(arguments.begin(), "kestra-map");
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    if (prepare)
        return {inChild(prepare, [&] { return runMapTool(static_cast<int>(arguments.size()), argv.data()); }), "", ""};
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    int status = runMapTool(static_cast<int>(arguments.size()), argv.data());
    std::string out = testing::internal::GetCapturedStdout();
    return {status, out, testing::internal::GetCapturedStderr()};
}

uint8_t* pixel(Picture& picture, int x, int y) { return &picture.rgba[(size_t(y) * picture.width + x) * 4]; }
}  // namespace

// The properties every generated city must have for the viewer to be worth opening on it.
TEST(CityGenerator, EverySeedGivesItsOwnConnectedDrivableTownEveryTime)
{
    static CityMap map, again, previous;
    for (uint64_t seed : {defaultCitySeed, uint64_t(0), ~uint64_t(0)}) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        generateCity(seed, &map);
        generateCity(seed, &again);
        EXPECT_TRUE(std::equal(std::begin(map.cells), std::end(map.cells), std::begin(again.cells)));
        EXPECT_FALSE(std::equal(std::begin(map.cells), std::end(map.cells), std::begin(previous.cells)));
        previous = map;
        EXPECT_EQ(fixRoadPieces(&again), 0) << "every road tile is 7 + its neighbour mask";
        MapSummary summary = summarizeMap(map);
        EXPECT_EQ(summary.roadPieces.size(), 1u) << "one connected street network";
        for (int kind = 0; kind < 8; ++kind)
            EXPECT_GT(summary.kindCounts[kind], 0) << legend[kind].name;
        EXPECT_EQ(summary.kindCounts[8], 0) << "no cell that draws nothing";
        EXPECT_TRUE(summary.startOpen) << "the camera starts free to move";
    }
}

TEST(Program, GeneratedMapsRoundTripAndCheckAndRenderSayWhatTheViewerWouldDoOrWarnOfWhatItWouldNot)
{
    TempDir dir;
    ASSERT_EQ(runTool({"generate", "--seed", "99", "-o", "city.map"}).status, 0);
    ASSERT_EQ(runTool({"export", "city.map", "-o", "city.png"}).status, 0);
    ToolRun run = runTool({"import", "city.png", "-o", "back.map"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readText("back.map"), readText("city.map"));
    // Pixel (x, y) shows row y, column x: the start tile (row 168, column 2) is a road, grey #808080.
    Picture picture;
    ASSERT_TRUE(readPng("city.png", &picture, &run.err)) << run.err;
    EXPECT_EQ(std::vector<uint8_t>(pixel(picture, 2, 168), pixel(picture, 2, 168) + 3), std::vector<uint8_t>(3, 0x80));
    ToolRun good = runTool({"check", "--strict", "city.map"});
    EXPECT_TRUE(good.status == 0 && good.err.empty()) << good.err;
    for (const char* line : {"OK, the viewer loads this map.", "do not match their neighbours: 0",
                             "Start tile (row 168, column 2): road piece", "road tiles, connected"})
        EXPECT_NE(good.out.find(line), std::string::npos) << good.out;

    // A lone east-west piece, a building on the start tile and roads in two pieces: warnings that say where,
    // fatal only with --strict. Only the exact name is read: the viewer's lookup ignores case.
    static CityMap map;
    map.cells[mapSize * 10 + 10] = roadBase + 5;
    map.cells[mapSize * 50 + 50] = map.cells[mapSize * 51 + 50] = roadBase;
    map.cells[mapSize * 168 + 2] = 4;
    writeBytes("ODD.MAP", encodeCityMap(map));
    EXPECT_EQ(runTool({"check", "odd.map"}).status, 1);
    ToolRun odd = runTool({"check", "ODD.MAP"});
    EXPECT_EQ(odd.status, 0);
    EXPECT_EQ(runTool({"check", "ODD.MAP", "--strict"}).status, 1);
    EXPECT_NE(odd.out.find("row 10, column 10: piece 12 (EW), its neighbours make it 7 (no side)"), std::string::npos)
        << odd.out;
    EXPECT_EQ(odd.err, "kestra-map: ODD.MAP: warning: the start tile (row 168, column 2) is low building 4; the "
                       "camera cannot move from it\nkestra-map: ODD.MAP: warning: the roads are in 2 pieces that do "
                       "not join:\n  2 road tiles, one at row 50, column 50\n  1 road tile, one at row 10, column "
                       "10\n");

    // The preview: the dot sits on the start tile; the heading points from it straight toward row 0.
    ASSERT_EQ(runTool({"render", "city.map", "-o", "render.png", "--scale", "6"}).status, 0);
    ASSERT_TRUE(readPng("render.png", &picture, &run.err)) << run.err;
    ASSERT_EQ((std::pair{picture.width, picture.height}), (std::pair{mapSize * 6, mapSize * 6}));
    int marker = 0, heading = 0, misplaced = 0;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            bool inMarker = std::equal(startMarkerColour, startMarkerColour + 3, pixel(picture, x, y));
            bool inHeading = std::equal(headingColour, headingColour + 3, pixel(picture, x, y));
            marker += inMarker, heading += inHeading;
            misplaced += (inMarker && (y / 6 != 168 || x / 6 != 2)) || (inHeading && (y / 6 > 168 || x / 6 != 2));
        }
    EXPECT_TRUE(marker > 0 && heading > 2 * 6 && misplaced == 0) << marker << ", " << heading << ", " << misplaced;
}

// Every stray pixel is counted, the first ten listed; a FIFO is refused unread; a picture of the wrong size
// is refused from its header, before any pixel is decoded.
TEST(Program, ImportRefusesBadPicturesAndWritesNothing)
{
    TempDir dir;
    static CityMap grass;
    Picture picture = mapToPicture(grass);
    std::copy_n("\xfe\x01\x02", 3, pixel(picture, 120, 9));
    for (int x = 0; x < 15; ++x)  // an antialiased edge
        std::copy_n("\x7f\x7f\x7f", 3, pixel(picture, 20 + x, 30));
    savePng("stray.png", picture);
    savePng("wide.png", Picture{200, 170, std::vector<uint8_t>(200 * 170 * 4, 0xff), {}});
    // Half a picture, and one whose header claims 16384 x 16384 pixels over the few of a small one.
    writeText("cut.png", readText("stray.png").substr(0, readText("stray.png").size() / 2));
    std::string huge = readText("wide.png");
    huge.replace(16, 8, std::string("\0\0\x40\0\0\0\x40\0", 8));
    const uint32_t crc = uint32_t(crc32(0, reinterpret_cast<const Bytef*>(huge.data()) + 12, 17));
    huge.replace(29, 4, {char(crc >> 24), char(crc >> 16), char(crc >> 8), char(crc)});
    writeText("huge.png", huge);
    mkfifo("fifo.png", 0644);
    writeText("keep.map", "keep me");  // an existing output stays as it was

    const size_t before = dir.entries();
    for (auto [name, message] : {
             std::pair{"stray.png", "16 pixels are not legend colours (exact and opaque)\n  x 120, y 9 (row 9, column "
                                    "120): #FE0102, nearest legend colour #A00000 (tall building 1)\n  x 20, y 30 (row "
                                    "30, column 20): #7F7F7F, nearest legend colour #808080 (road)\n"},
             {"stray.png", "\n  ... and 6 more\n"}, {"cut.png", ""}, {"fifo.png", "not a regular file"},
             {"huge.png", "the picture is 16384x16384 pixels; a city picture must be 170x170"}}) {
        ToolRun run = runTool({"import", name, "-o", "keep.map"});
        EXPECT_EQ(run.status, 1) << name;
        EXPECT_NE(run.err.find(std::string(name) + ": "), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
        EXPECT_TRUE(readText("keep.map") == "keep me" && dir.entries() == before) << name;
    }
}

// Outputs and exit statuses. Each run starts from a map "city.map" (mode 0640, a road piece fix-roads
// corrects), a read-only copy "ro.map", a copy cut short "short.map", links "city.link" to the map and
// "null.map" to a null device, a hard link "city.hard" to the map, a folder and a FIFO. Runs with a
// preparation go in a child process, whose status is the exit status or the signal.
TEST(Program, OutputsAreReplacedInOneStepOrRefusedUntouched)
{
    using Prepare = std::function<void()>;
    const Prepare none;
    const Prepare smallFiles = [] { rlimit limit{4096, 4096}; setrlimit(RLIMIT_FSIZE, &limit); };
    const Prepare unprivileged = [] {
        fs::permissions(".", fs::perms::all);
        (void)!(geteuid() == 0 && setuid(65534) == 0);
    };
    // Command, preparation, status, what stderr says, whether city.map changes.
    const std::tuple<std::vector<std::string>, Prepare, int, const char*, bool> cases[] = {
        {{"generate", "-o", "city.map"}, none, 0, "", true},
        {{"fix-roads", "city.link"}, none, 0, "", true},
        {{"check", "nothere.map"}, none, 1, "kestra-map: nothere.map: no such file", false},
        {{"check", "null.map"}, none, 1, "kestra-map: null.map: not a regular file", false},
        {{"check", "folder"}, none, 1, "kestra-map: folder: a folder, not a city map", false},
        {{"fix-roads", "short.map"}, none, 1, "short.map: Map file is incomplete.", false},
        {{"generate", "-o", "fifo"}, none, 1, "fifo is a FIFO, not a regular file; nothing was written", false},
        {{"generate", "-o", "null.map"}, none, 1, ") is a character device", false},
        {{"export", "city.map", "-o", "folder/"}, none, 1, "folder/ is a folder, not a file", false},
        {{"export", "city.map", "-o", "city.hard"}, none, 2, "the output city.hard is the input file city.map", false},
        {{"generate", "-o", "city.map"}, smallFiles, SIGXFSZ, "", false},
        {{"fix-roads", "ro.map"}, unprivileged, 1, "", false},
    };
    const fs::perms mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    for (const auto& [command, prepare, status, message, changed] : cases) {
        SCOPED_TRACE(testing::PrintToString(command));
        TempDir dir;
        static CityMap map;
        map.cells[5] = roadBase + 3;
        writeBytes("city.map", encodeCityMap(map));
        fs::copy_file("city.map", "ro.map");
        writeText("short.map", readText("city.map").substr(0, 1000));
        fs::permissions("ro.map", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        fs::permissions("city.map", mode);
        fs::create_symlink("city.map", "city.link");
        // As root, a writer that replaced devices would replace the machine's /dev/null: give it its own.
        const fs::path null = mknod("null", S_IFCHR | 0666, makedev(1, 3)) == 0 ? fs::absolute("null") : "/dev/null";
        fs::create_symlink(null, "null.map");
        fs::create_hard_link("city.map", "city.hard");
        fs::create_directory("folder");
        mkfifo("fifo", 0644);
        const std::string map0 = readText("city.map");
        const size_t entries = dir.entries();

        ToolRun run = runTool(command, prepare);
        EXPECT_EQ(run.status, status);
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
        EXPECT_EQ(dir.entries(), entries) << "no temporary file is left";
        EXPECT_TRUE(fs::is_symlink("city.link") && fs::is_symlink("null.map") && fs::is_fifo("fifo") &&
                    fs::is_directory("folder") && fs::is_character_file(null));
        EXPECT_EQ(fs::status("city.map").permissions(), mode);
        EXPECT_EQ(readText("city.map") != map0, changed);
        EXPECT_TRUE(readText("ro.map") == map0 && readText("short.map") == map0.substr(0, 1000));
    }
}

TEST(Program, HelpUsageErrorsAndStandardOutputWhichIsCheckedAReaderlessPipeEndsQuietlyAndTheLongestNamesAreWritten)
{
    TempDir dir;  // whatever a wrong command line would write lands here
    for (auto [option, out] : {std::pair{"--help", "Usage: "}, {"-h", "Usage: "}, {"--version", "kestra-map 1."},
                               {"-V", "kestra-map 1."}}) {
        ToolRun run = runTool({option});
        EXPECT_TRUE(run.status == 0 && run.out.rfind(out, 0) == 0) << option << ": " << run.out;
    }
    for (std::vector<std::string> wrong : std::vector<std::vector<std::string>>{
             {}, {"paint", "x.png"}, {"--version", "--bogus"}, {"-h", "check"}, {"check", "-h", "--bogus"}, {"check", "a.map", "b.map"}, {"check", "a.map", "--scale", "2"},
             {"export", "a.map"}, {"import", "a.png", "-o"}, {"render", "a.map", "-o", "x.png", "--scale", "0"},
             {"render", "a.map", "-o", "x.png", "--scale", " 4"}, {"generate", "--seed", "+1"},
             {"generate", "-o", "a.map", "--output", "b.map"}, {"check", "--strict", "a.map", "--strict"}}) {
        ToolRun run = runTool(wrong);
        EXPECT_TRUE(run.status == 2 && run.out.empty() && run.err.rfind("kestra-map: ", 0) == 0)
            << testing::PrintToString(wrong) << ": " << run.status << " " << run.out << run.err;
    }
    EXPECT_EQ(dir.entries(), 0u);

    // Both programs' standard output full, closed, or a pipe nobody reads; and an output name as long as a
    // folder allows, which leaves no room for a temporary name made by adding to it.
    const std::string longest(NAME_MAX, 'n');
    EXPECT_EQ(runTool({"generate", "-o", longest}).status, 0);
    EXPECT_TRUE(fs::is_regular_file(longest));
    const std::pair<std::function<void()>, int> outputs[] = {
        {[] { dup2(open("/dev/full", O_WRONLY), 1); }, 1},
        {[] {
             int ends[2];
             (void)!pipe(ends);
             close(ends[0]);
             dup2(ends[1], 1);
         }, 0},
        {[] { close(1); }, 0},
    };
    for (const auto& [prepare, status] : outputs) {
        EXPECT_EQ(runTool({"--help"}, prepare).status, status);
        EXPECT_EQ(runTool({"check", longest}, prepare).status, status);
        char program[] = "kestra", help[] = "--help";
        char* argv[] = {program, help, nullptr};
        EXPECT_EQ(inChild(prepare, [&] { return startViewer(2, argv); }), status) << "the viewer";
    }
    EXPECT_EQ(dir.entries(), 1u);
}
