// kestra-map: pictures and the legend, check's verdict and summary, render, and the program's
// messages and exit codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/maptool/maptool.h"

namespace fs = std::filesystem;

namespace {
struct TempDir {
    std::string name = (fs::temp_directory_path() / "kestra-map-test-XXXXXX").string();
    fs::path path = mkdtemp(name.data());
    ~TempDir() { fs::remove_all(path); }
    std::string operator/(const char* name) const { return (path / name).string(); }
    size_t entries() const { return size_t(std::distance(fs::directory_iterator(path), fs::directory_iterator())); }
};

std::string readText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct ToolRun { int status; std::string out, err; };

// Runs the program's command line in this process and captures what it prints.
ToolRun runTool(std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), "kestra-map");
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    int status = runMapTool(static_cast<int>(arguments.size()), argv.data());
    std::string out = testing::internal::GetCapturedStdout();
    return {status, out, testing::internal::GetCapturedStderr()};
}

Picture grassPicture(int width, int height)
{
    Picture picture{width, height, {}};
    for (int i = 0; i < width * height; ++i)
        picture.rgba.insert(picture.rgba.end(), {legend[0].red, legend[0].green, legend[0].blue, 0xff});
    return picture;
}

uint8_t* pixel(Picture& picture, int x, int y) { return &picture.rgba[(size_t(y) * picture.width + x) * 4]; }

void paint(Picture& picture, int x, int y, const LegendEntry& entry)
{
    uint8_t* p = pixel(picture, x, y);
    p[0] = entry.red, p[1] = entry.green, p[2] = entry.blue;
}
}  // namespace

TEST(Pictures, AHandPaintedPictureBecomesAMapAndPaintsBackTheSame)
{
    Picture picture = grassPicture(mapSize, mapSize);
    paint(picture, 30, 40, legend[3]);
    paint(picture, 0, 169, legend[8]);
    static CityMap map;
    std::string error;
    ASSERT_TRUE(pictureToMap(picture, &map, &error)) << error;
    EXPECT_EQ(map.cells[mapSize * 40 + 30], 3u);  // row = y, column = x
    EXPECT_EQ(map.cells[mapSize * 169 + 0], nothingType);
    EXPECT_EQ(mapToPicture(map).rgba, picture.rgba);

    // A pixel that is not opaque is refused by position.
    pixel(picture, 2, 3)[3] = 0x80;
    EXPECT_FALSE(pictureToMap(picture, &map, &error));
    EXPECT_NE(error.find("x 2, y 3 (row 3, column 2) is not opaque"), std::string::npos) << error;

    // Every kind has its own colour, or a painting could not be read back.
    for (const LegendEntry& a : legend)
        for (const LegendEntry* b = &a + 1; b != std::end(legend); ++b)
            EXPECT_FALSE(a.red == b->red && a.green == b->green && a.blue == b->blue) << a.name << ", " << b->name;
}

TEST(Program, GeneratedMapsRoundTripAndCheckGivesTheViewersVerdictAndSummary)
{
    TempDir dir;
    ASSERT_EQ(runTool({"generate", "--seed", "99", "-o", dir / "city.map"}).status, 0);
    ASSERT_EQ(runTool({"export", dir / "city.map", "-o", dir / "city.png"}).status, 0);
    ToolRun run = runTool({"import", dir / "city.png", "-o", dir / "back.map"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readText(dir / "back.map"), readText(dir / "city.map"));
    ToolRun good = runTool({"check", dir / "city.map"});
    EXPECT_EQ(good.status, 0);
    for (const char* line : {"OK, the viewer loads this map.", "do not match their neighbours: 0",
                             "Start tile (row 168, column 2): road piece", "Road network: connected"})
        EXPECT_NE(good.out.find(line), std::string::npos) << good.out;

    // Broken files get the viewer's own verdict.
    std::string bytes = readText(dir / "city.map"), version = bytes, size = bytes;
    version[11] = 3;
    size[19] = static_cast<char>(171);
    for (auto [name, text] : {std::pair<const char*, std::string>{"short.map", bytes.substr(0, mapHeaderBytes + 400)},
                              {"version.map", version}, {"size.map", size}, {"missing.map", ""}}) {
        if (!text.empty())
            std::ofstream(dir / name, std::ios::binary) << text;
        static CityMap scratch;
        const char* verdict = readCityMap((dir / name).c_str(), &scratch);
        ASSERT_NE(verdict, nullptr) << name;
        ToolRun bad = runTool({"check", dir / name});
        EXPECT_EQ(bad.status, 1) << name;
        EXPECT_EQ(bad.err, std::string("MAP LOAD ERROR: ") + verdict + "\n") << name;
    }

    // A lone east-west piece, a building on the start tile and two separate roads.
    static CityMap map;
    map.cells[mapSize * 10 + 10] = roadBase + 5;
    map.cells[mapSize * 50 + 50] = roadBase;
    map.cells[mapSize * 168 + 2] = 4;
    ASSERT_TRUE(writeCityMap((dir / "odd.map").c_str(), map));
    ToolRun odd = runTool({"check", dir / "odd.map"});
    EXPECT_EQ(odd.status, 0);
    for (const char* line : {"do not match their neighbours: 1",
                             "row 10, column 10: piece 12 (EW), its neighbours make it 7 (no side)",
                             "blocked: the camera cannot move from it",
                             "not connected, 2 separate parts; the largest holds 1 of 2 road tiles"})
        EXPECT_NE(odd.out.find(line), std::string::npos) << odd.out;
}

TEST(Program, RenderDrawsTheScaledMapWithTheStartMarkerAndHeading)
{
    TempDir dir;
    static CityMap map;
    ASSERT_TRUE(writeCityMap((dir / "city.map").c_str(), map));
    ToolRun run = runTool({"render", dir / "city.map", "-o", dir / "city.png", "--scale", "6"});
    ASSERT_EQ(run.status, 0) << run.err;
    Picture picture;
    std::string error;
    ASSERT_TRUE(readPng((dir / "city.png").c_str(), &picture, &error)) << error;
    ASSERT_EQ((std::pair{picture.width, picture.height}), (std::pair{mapSize * 6, mapSize * 6}));
    // The dot sits on the start tile (row 168, column 2); the heading points from it straight toward row 0.
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

TEST(Program, ImportRefusesBadPicturesAndWritesNothing)
{
    TempDir dir;
    std::string error;
    Picture picture = grassPicture(mapSize, mapSize);
    paint(picture, 120, 9, {"stray", 0, 0xfe, 0x01, 0x02});
    ASSERT_TRUE(writePng((dir / "stray.png").c_str(), picture, &error));
    ASSERT_TRUE(writePng((dir / "wide.png").c_str(), grassPicture(200, 170), &error));
    std::string whole = readText(dir / "wide.png");
    std::ofstream(dir / "cut.png", std::ios::binary) << whole.substr(0, whole.size() / 2);
    std::ofstream(dir / "junk.png") << "not a picture";
    std::ofstream(dir / "keep.map") << "keep me";  // an existing output stays as it was

    size_t before = dir.entries();
    for (auto [name, message] : {std::pair{"stray.png", "x 120, y 9 (row 9, column 120) has colour #FE0102"},
                                 {"wide.png", "200x170"}, {"cut.png", ""}, {"junk.png", "not a PNG file"},
                                 {"absent.png", "No such file"}}) {
        ToolRun run = runTool({"import", dir / name, "-o", dir / "keep.map"});
        EXPECT_EQ(run.status, 1) << name;
        EXPECT_NE(run.err.find(std::string(name) + ": "), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
        EXPECT_TRUE(readText(dir / "keep.map") == "keep me" && dir.entries() == before) << name;
    }
}

TEST(Program, FixRoadsRewritesOnlyAValidMap)
{
    TempDir dir;
    static CityMap map;
    for (int column = 2; column <= 6; ++column)
        map.cells[mapSize * 50 + column] = roadBase;
    ASSERT_TRUE(writeCityMap((dir / "city.map").c_str(), map));
    ToolRun run = runTool({"fix-roads", dir / "city.map"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("5 road pieces corrected"), std::string::npos) << run.out;
    ASSERT_EQ(readCityMap((dir / "city.map").c_str(), &map), nullptr);

    fs::resize_file(dir / "city.map", 1000);
    std::string before = readText(dir / "city.map");
    ToolRun bad = runTool({"fix-roads", dir / "city.map"});
    EXPECT_TRUE(bad.status == 1 && bad.err.find("Map file is incomplete.") != std::string::npos) << bad.err;
    EXPECT_EQ(readText(dir / "city.map"), before);
}

TEST(Program, HelpAndUsageErrors)
{
    TempDir dir;
    EXPECT_EQ(runTool({"--help"}).status, 0);
    fs::path oldDir = fs::current_path();
    fs::current_path(dir.path);  // whatever a wrong command line would write lands here
    for (std::vector<std::string> wrong : std::vector<std::vector<std::string>>{
             {}, {"paint", "x.png"}, {"check"}, {"check", "a.map", "b.map"}, {"generate", "--seed", "abc"},
             {"generate", "--seed", "-1"}, {"check", "a.map", "--scale", "2"}, {"export", "a.map"},
             {"import", "a.png", "-o"}, {"render", "a.map", "-o", "x.png", "--scale", "0"}, {"render", "a.map"}}) {
        ToolRun run = runTool(wrong);
        EXPECT_TRUE(run.status == 2 && run.out.empty() && run.err.rfind("kestra-map: ", 0) == 0)
            << testing::PrintToString(wrong) << ": " << run.status << " " << run.out << run.err;
    }
    EXPECT_EQ(dir.entries(), 0u);
    fs::current_path(oldDir);
}
