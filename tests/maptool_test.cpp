// kestra-map: pictures and the legend, check's verdict and summary, render, and the program's
// messages and exit codes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "camera/camera.h"
#include "tools/maptool/maptool.h"

namespace fs = std::filesystem;

namespace {
struct TempDir {
    fs::path path;
    TempDir()
    {
        std::string name = (fs::temp_directory_path() / "kestra-map-test-XXXXXX").string();
        path = mkdtemp(name.data());
    }
    ~TempDir() { fs::remove_all(path); }
    std::string file(const char* name) const { return (path / name).string(); }
    size_t entries() const { return size_t(std::distance(fs::directory_iterator(path), fs::directory_iterator())); }
};

std::string readText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the installed program with the given arguments (already quoted as needed).
ToolRun runTool(const TempDir& dir, const std::string& arguments)
{
    std::string out = dir.file("stdout.txt"), err = dir.file("stderr.txt");
    std::string command = std::string("'") + KESTRA_BINARY_DIR + "/kestra-map' " + arguments + " >'" + out +
                          "' 2>'" + err + "'";
    int raw = std::system(command.c_str());
    ToolRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = readText(out);
    run.err = readText(err);
    fs::remove(out);
    fs::remove(err);
    return run;
}

std::string quoted(const std::string& path)
{
    return "'" + path + "'";
}

CityMap& blankMap()
{
    static CityMap map;
    map = CityMap{};
    return map;
}

Picture grassPicture(int width, int height)
{
    Picture picture;
    picture.width = width;
    picture.height = height;
    for (int i = 0; i < width * height; ++i)
        picture.rgba.insert(picture.rgba.end(), {legend[0].red, legend[0].green, legend[0].blue, 0xff});
    return picture;
}

void paint(Picture* picture, int x, int y, const LegendEntry& entry)
{
    uint8_t* p = &picture->rgba[(size_t(y) * picture->width + x) * 4];
    p[0] = entry.red;
    p[1] = entry.green;
    p[2] = entry.blue;
}

const uint8_t* pixel(const Picture& picture, int x, int y)
{
    return &picture.rgba[(size_t(y) * picture.width + x) * 4];
}

bool pixelIs(const Picture& picture, int x, int y, const uint8_t* rgb)
{
    return std::equal(rgb, rgb + 3, pixel(picture, x, y));
}

void writeTruncatedMap(const std::string& path, const CityMap& map, size_t bytes)
{
    ASSERT_TRUE(writeCityMap(path.c_str(), map));
    fs::resize_file(path, bytes);
}
}  // namespace

// ---- Pictures and the legend.

TEST(Legend, EveryKindHasItsOwnColour)
{
    for (size_t i = 0; i < std::size(legend); ++i)
        for (size_t j = i + 1; j < std::size(legend); ++j)
            EXPECT_FALSE(legend[i].red == legend[j].red && legend[i].green == legend[j].green &&
                         legend[i].blue == legend[j].blue)
                << legend[i].name << " and " << legend[j].name;
}

TEST(Pictures, GeneratedCityExportsAndImportsToTheSameBytes)
{
    TempDir dir;
    static CityMap city;
    generateCity(defaultCitySeed, &city);
    ASSERT_TRUE(writeCityMap(dir.file("city.map").c_str(), city));
    std::string error;
    ASSERT_TRUE(writePng(dir.file("city.png").c_str(), mapToPicture(city), &error)) << error;

    Picture picture;
    ASSERT_TRUE(readPng(dir.file("city.png").c_str(), &picture, &error)) << error;
    static CityMap back;
    ASSERT_TRUE(pictureToMap(picture, &back, &error)) << error;
    fixRoadPieces(&back);
    ASSERT_TRUE(writeCityMap(dir.file("back.map").c_str(), back));
    EXPECT_EQ(readText(dir.file("back.map")), readText(dir.file("city.map")));
}

TEST(Pictures, AHandPaintedPictureBecomesAMapAndPaintsBackTheSame)
{
    Picture picture = grassPicture(mapSize, mapSize);
    const LegendEntry& road = legend[7];
    for (int i = 10; i <= 20; ++i) {
        paint(&picture, i, 15, road);  // a street along row 15 ...
        paint(&picture, 15, i, road);  // ... crossed by one along column 15
    }
    paint(&picture, 30, 40, legend[3]);
    paint(&picture, 31, 40, legend[4]);
    paint(&picture, 169, 169, legend[6]);
    paint(&picture, 0, 169, legend[8]);

    static CityMap map;
    std::string error;
    ASSERT_TRUE(pictureToMap(picture, &map, &error)) << error;
    fixRoadPieces(&map);
    EXPECT_EQ(map.cells[mapSize * 15 + 15], roadBase + (roadN | roadS | roadE | roadW));
    EXPECT_EQ(map.cells[mapSize * 15 + 10], roadBase + roadE);
    EXPECT_EQ(map.cells[mapSize * 20 + 15], roadBase + roadN);
    EXPECT_EQ(map.cells[mapSize * 40 + 30], 3u);  // row = y, column = x
    EXPECT_EQ(map.cells[mapSize * 40 + 31], 4u);
    EXPECT_EQ(map.cells[mapSize * 169 + 169], 6u);
    EXPECT_EQ(map.cells[mapSize * 169 + 0], nothingType);
    EXPECT_EQ(map.cells[0], 0u);
    EXPECT_EQ(mapToPicture(map).rgba, picture.rgba);
}

TEST(Pictures, ImportRefusesPicturesItCannotReadExactly)
{
    static CityMap map;
    std::string error;
    Picture picture = grassPicture(mapSize, mapSize);
    uint8_t* p = &picture.rgba[(size_t(42) * mapSize + 17) * 4];
    p[0] = 0x12, p[1] = 0x34, p[2] = 0x56;
    EXPECT_FALSE(pictureToMap(picture, &map, &error));
    EXPECT_NE(error.find("x 17, y 42"), std::string::npos) << error;
    EXPECT_NE(error.find("#123456"), std::string::npos) << error;

    picture = grassPicture(mapSize, mapSize);
    picture.rgba[(size_t(3) * mapSize + 2) * 4 + 3] = 0x80;
    EXPECT_FALSE(pictureToMap(picture, &map, &error));
    EXPECT_NE(error.find("x 2, y 3"), std::string::npos) << error;
    EXPECT_NE(error.find("not opaque"), std::string::npos) << error;

    EXPECT_FALSE(pictureToMap(grassPicture(171, 170), &map, &error));
    EXPECT_NE(error.find("171x170"), std::string::npos) << error;
    // A refused picture leaves the map as it was.
    EXPECT_EQ(map.cells[0], 0u);
}

TEST(Pictures, PngFilesKeepExactColoursAndBrokenFilesAreReported)
{
    TempDir dir;
    Picture picture = grassPicture(5, 3);
    paint(&picture, 4, 2, legend[5]);
    std::string error;
    ASSERT_TRUE(writePng(dir.file("small.png").c_str(), picture, &error)) << error;
    Picture back;
    ASSERT_TRUE(readPng(dir.file("small.png").c_str(), &back, &error)) << error;
    EXPECT_EQ(back.width, 5);
    EXPECT_EQ(back.height, 3);
    EXPECT_EQ(back.rgba, picture.rgba);

    EXPECT_FALSE(readPng(dir.file("missing.png").c_str(), &back, &error));
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
    { std::ofstream(dir.file("text.png")) << "hello"; }
    EXPECT_FALSE(readPng(dir.file("text.png").c_str(), &back, &error));
    EXPECT_EQ(error, "not a PNG file");
    std::string whole = readText(dir.file("small.png"));
    { std::ofstream(dir.file("cut.png"), std::ios::binary) << whole.substr(0, whole.size() / 2); }
    EXPECT_FALSE(readPng(dir.file("cut.png").c_str(), &back, &error));
    EXPECT_FALSE(error.empty());
}

// ---- check's summary.

TEST(Summary, CountsKindsWrongPiecesPartsAndTheStartTile)
{
    CityMap& map = blankMap();
    const CameraState start{};
    int startRow = int(start.z / tileSize), startColumn = int(start.x / tileSize);
    for (int row = 160; row <= startRow; ++row)
        map.cells[mapSize * row + startColumn] = roadBase;
    map.cells[mapSize * 5 + 5] = roadBase;  // a second, separate road
    map.cells[mapSize * 6 + 6] = 1;
    map.cells[mapSize * 6 + 7] = 99;
    fixRoadPieces(&map);
    map.cells[mapSize * 160 + startColumn] = roadBase + 15;  // claims sides it does not have

    MapSummary summary = summarizeMap(map);
    EXPECT_EQ(summary.kindCounts[7], 10);
    EXPECT_EQ(summary.kindCounts[1], 1);
    EXPECT_EQ(summary.kindCounts[8], 1);
    EXPECT_EQ(summary.kindCounts[0], mapSize * mapSize - 12);
    ASSERT_EQ(summary.wrongPieces.size(), 1u);
    EXPECT_EQ(summary.wrongPieces[0].row, 160);
    EXPECT_EQ(summary.roadParts, 2);
    EXPECT_EQ(summary.largestRoadPart, 9);
    EXPECT_EQ(summary.start.row, 168);
    EXPECT_EQ(summary.start.column, 2);
    EXPECT_EQ(summary.startType, roadBase + roadN);
    EXPECT_TRUE(summary.startOpen);
}

TEST(Summary, AStartTileInsideABuildingIsBlocked)
{
    if (!tileBlocks(1, -1.5f))
        GTEST_SKIP() << "the camera's collision rule is not in this build yet";
    CityMap& map = blankMap();
    map.cells[mapSize * 168 + 2] = 4;
    EXPECT_FALSE(summarizeMap(map).startOpen);
    map.cells[mapSize * 168 + 2] = 30;
    EXPECT_TRUE(summarizeMap(map).startOpen);
}

// ---- render.

TEST(Render, MarksTheStartTileAndHeadingAndJoinsRoads)
{
    CityMap& map = blankMap();
    map.cells[mapSize * 100 + 50] = roadBase;
    map.cells[mapSize * 100 + 51] = roadBase;
    fixRoadPieces(&map);
    const int scale = 6;
    Picture picture = renderMap(map, scale);
    ASSERT_EQ(picture.width, mapSize * scale);
    ASSERT_EQ(picture.height, mapSize * scale);

    int markerPixels = 0, headingAbove = 0;
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            if (pixelIs(picture, x, y, startMarkerColour)) {
                ++markerPixels;
                EXPECT_EQ(y / scale, 168);
                EXPECT_EQ(x / scale, 2);
            }
            if (pixelIs(picture, x, y, headingColour)) {
                EXPECT_EQ(x / scale, 2) << "the heading points straight toward row 0";
                headingAbove += y / scale < 168;
            }
        }
    }
    EXPECT_GT(markerPixels, 0);
    EXPECT_GT(headingAbove, 2 * scale);

    // The pair of road tiles joins across their shared edge and nowhere else.
    int y = 100 * scale + scale / 2;
    EXPECT_FALSE(pixelIs(picture, 50 * scale, y, pixel(picture, 50 * scale + scale - 1, y)));
    EXPECT_TRUE(pixelIs(picture, 50 * scale + scale - 1, y, pixel(picture, 51 * scale, y)));
    EXPECT_FALSE(pixelIs(picture, 51 * scale + scale - 1, y, pixel(picture, 51 * scale, y)));
    EXPECT_FALSE(pixelIs(picture, 50 * scale + scale / 2, 100 * scale, pixel(picture, 50 * scale + scale / 2, y)));
}

TEST(Render, TheProgramWritesAPngOfTheScaledSize)
{
    TempDir dir;
    ASSERT_TRUE(writeCityMap(dir.file("city.map").c_str(), blankMap()));
    ToolRun run = runTool(dir, "render " + quoted(dir.file("city.map")) + " -o " + quoted(dir.file("city.png")) +
                               " --scale 3");
    ASSERT_EQ(run.status, 0) << run.err;
    Picture picture;
    std::string error;
    ASSERT_TRUE(readPng(dir.file("city.png").c_str(), &picture, &error)) << error;
    EXPECT_EQ(picture.width, 510);
    EXPECT_EQ(picture.height, 510);
    EXPECT_TRUE(pixelIs(picture, 2 * 3 + 1, 168 * 3 + 1, startMarkerColour));

    EXPECT_EQ(runTool(dir, "render " + quoted(dir.file("city.map")) + " -o x.png --scale 0").status, 2);
    EXPECT_EQ(runTool(dir, "render " + quoted(dir.file("city.map"))).status, 2);
}

// ---- The program: check's verdict, round trips, refusals, fix-roads, usage.

TEST(Program, CheckGivesTheViewersVerdict)
{
    TempDir dir;
    static CityMap city;
    generateCity(defaultCitySeed, &city);
    ASSERT_TRUE(writeCityMap(dir.file("good.map").c_str(), city));
    ToolRun good = runTool(dir, "check " + quoted(dir.file("good.map")));
    EXPECT_EQ(good.status, 0);
    EXPECT_NE(good.out.find("OK, the viewer loads this map."), std::string::npos) << good.out;
    EXPECT_NE(good.out.find("do not match their neighbours: 0"), std::string::npos) << good.out;
    EXPECT_NE(good.out.find("Start tile (row 168, column 2): road piece"), std::string::npos) << good.out;
    EXPECT_NE(good.out.find("Road network: connected"), std::string::npos) << good.out;

    std::vector<unsigned char> bytes(mapFileBytes);
    writeTruncatedMap(dir.file("short.map"), city, mapHeaderBytes + 400);
    ASSERT_TRUE(writeCityMap(dir.file("version.map").c_str(), city));
    {
        std::fstream file(dir.file("version.map"), std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(11);
        file.put(3);
    }
    ASSERT_TRUE(writeCityMap(dir.file("size.map").c_str(), city));
    {
        std::fstream file(dir.file("size.map"), std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(19);
        file.put(char(171));
    }
    for (const char* name : {"short.map", "version.map", "size.map", "missing.map"}) {
        static CityMap scratch;
        const char* verdict = readCityMap(dir.file(name).c_str(), &scratch);
        ASSERT_NE(verdict, nullptr) << name;
        ToolRun bad = runTool(dir, "check " + quoted(dir.file(name)));
        EXPECT_EQ(bad.status, 1) << name;
        EXPECT_EQ(bad.err, std::string("MAP LOAD ERROR: ") + verdict + "\n") << name;
    }
}

TEST(Program, CheckReportsWrongPiecesAndASplitNetwork)
{
    TempDir dir;
    CityMap& map = blankMap();
    map.cells[mapSize * 168 + 2] = roadBase + 5;  // an east-west piece with no neighbours
    map.cells[mapSize * 10 + 10] = roadBase;
    ASSERT_TRUE(writeCityMap(dir.file("odd.map").c_str(), map));
    ToolRun run = runTool(dir, "check " + quoted(dir.file("odd.map")));
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("do not match their neighbours: 1"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("row 168, column 2: piece 12 (EW), its neighbours make it 7 (no side)"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("not connected, 2 separate parts"), std::string::npos) << run.out;
}

TEST(Program, GenerateExportImportGivesTheSameBytes)
{
    TempDir dir;
    std::string map = quoted(dir.file("city.map")), png = quoted(dir.file("city.png"));
    ASSERT_EQ(runTool(dir, "generate --seed 99 -o " + map).status, 0);
    ASSERT_EQ(runTool(dir, "export " + map + " -o " + png).status, 0);
    ToolRun run = runTool(dir, "import " + png + " -o " + quoted(dir.file("back.map")));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readText(dir.file("back.map")), readText(dir.file("city.map")));
    ASSERT_EQ(runTool(dir, "generate --seed 99 -o " + quoted(dir.file("again.map"))).status, 0);
    EXPECT_EQ(readText(dir.file("again.map")), readText(dir.file("city.map")));
}

TEST(Program, ImportRefusesBadPicturesAndWritesNothing)
{
    TempDir dir;
    std::string error;
    Picture picture = grassPicture(mapSize, mapSize);
    uint8_t* p = &picture.rgba[(size_t(9) * mapSize + 120) * 4];
    p[0] = 0xfe, p[1] = 0x01, p[2] = 0x02;
    ASSERT_TRUE(writePng(dir.file("stray.png").c_str(), picture, &error));
    ASSERT_TRUE(writePng(dir.file("wide.png").c_str(), grassPicture(200, 170), &error));
    { std::ofstream(dir.file("junk.png")) << "not a picture"; }
    // An existing output stays as it was.
    { std::ofstream(dir.file("keep.map")) << "keep me"; }

    struct Case {
        const char* picture;
        const char* message;
    } cases[] = {{"stray.png", "x 120, y 9 (row 9, column 120) has colour #FE0102"},
                 {"wide.png", "200x170"},
                 {"junk.png", "not a PNG file"},
                 {"absent.png", "No such file"}};
    size_t before = dir.entries();
    for (const Case& c : cases) {
        ToolRun run = runTool(dir, "import " + quoted(dir.file(c.picture)) + " -o " + quoted(dir.file("keep.map")));
        EXPECT_EQ(run.status, 1) << c.picture;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(c.picture), std::string::npos) << run.err;
        EXPECT_EQ(readText(dir.file("keep.map")), "keep me");
        EXPECT_EQ(dir.entries(), before);
    }
}

TEST(Program, FixRoadsRewritesOnlyAValidMap)
{
    TempDir dir;
    CityMap& map = blankMap();
    for (int column = 2; column <= 6; ++column)
        map.cells[mapSize * 50 + column] = roadBase;
    ASSERT_TRUE(writeCityMap(dir.file("city.map").c_str(), map));
    ToolRun run = runTool(dir, "fix-roads " + quoted(dir.file("city.map")));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("5 road pieces corrected"), std::string::npos) << run.out;
    static CityMap fixed;
    ASSERT_EQ(readCityMap(dir.file("city.map").c_str(), &fixed), nullptr);
    EXPECT_EQ(fixed.cells[mapSize * 50 + 2], roadBase + roadE);
    EXPECT_EQ(fixed.cells[mapSize * 50 + 4], roadBase + (roadE | roadW));
    EXPECT_EQ(dir.entries(), 1u);

    writeTruncatedMap(dir.file("short.map"), map, 1000);
    std::string before = readText(dir.file("short.map"));
    ToolRun bad = runTool(dir, "fix-roads " + quoted(dir.file("short.map")));
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("Map file is incomplete."), std::string::npos) << bad.err;
    EXPECT_EQ(readText(dir.file("short.map")), before);
}

TEST(Program, HelpAndUsageErrors)
{
    TempDir dir;
    ToolRun help = runTool(dir, "--help");
    EXPECT_EQ(help.status, 0);
    for (const char* command : {"generate", "check", "render", "import", "export", "fix-roads"})
        EXPECT_NE(help.out.find(std::string("kestra-map ") + command), std::string::npos) << command;
    ToolRun importHelp = runTool(dir, "import --help");
    EXPECT_EQ(importHelp.status, 0);
    for (const LegendEntry& entry : legend) {
        char colour[8];
        std::snprintf(colour, sizeof colour, "#%02X%02X%02X", entry.red, entry.green, entry.blue);
        EXPECT_NE(importHelp.out.find(colour), std::string::npos) << entry.name;
    }
    EXPECT_EQ(runTool(dir, "check --help").status, 0);

    for (const char* wrong : {"", "paint x.png", "check", "check a.map b.map", "generate --seed abc",
                              "generate --seed -1", "check a.map --scale 2", "export a.map", "import a.png -o"}) {
        ToolRun run = runTool(dir, wrong);
        EXPECT_EQ(run.status, 2) << wrong;
        EXPECT_EQ(run.out, "") << wrong;
        EXPECT_NE(run.err.find("kestra-map: "), std::string::npos) << wrong;
    }
    EXPECT_EQ(dir.entries(), 0u);
}
