// kestra-map: pictures and the legend, check's verdict and summary, render, and the program's
// messages and exit codes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <tuple>
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

void writeText(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
void saveMap(const std::string& path, const CityMap& map)
{
    std::vector<unsigned char> bytes = encodeCityMap(map);
    writeText(path, std::string(bytes.begin(), bytes.end()));
}
void savePng(const std::string& path, const Picture& picture)
{
    std::vector<uint8_t> bytes;
    std::string error;
    encodePng(picture, &bytes, &error);
    writeText(path, std::string(bytes.begin(), bytes.end()));
}

std::string be32(uint32_t v) { return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; }
// A PNG built chunk by chunk: the header as given, a palette when one is given, and the rows (each
// starting with its filter byte) in one compressed IDAT.
std::string pngFile(uint32_t width, uint32_t height, int depth, int colourType, const std::string& rows,
                    const std::string& palette = "")
{
    auto chunk = [](const char* type, const std::string& data) {
        std::string c = be32(uint32_t(data.size())) + type + data;
        return c + be32(uint32_t(crc32(0, reinterpret_cast<const Bytef*>(c.data()) + 4, uInt(c.size() - 4))));
    };
    uLongf size = compressBound(uLong(rows.size()));
    std::string packed(size, '\0');
    compress(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(rows.data()), rows.size());
    packed.resize(size);
    std::string header = be32(width) + be32(height) + char(depth) + char(colourType) + std::string(3, '\0');
    return "\x89PNG\r\n\x1a\n" + chunk("IHDR", header) + (palette.empty() ? "" : chunk("PLTE", palette)) +
           chunk("IDAT", packed) + chunk("IEND", "");
}

struct ToolRun { int status; std::string out, err; };

// Runs the program's command line in this process and captures what it prints; with prepare, in a
// child process that runs prepare() first, giving only its exit status or the signal that ended it.
ToolRun runTool(std::vector<std::string> arguments, const std::function<void()>& prepare = nullptr)
{
    arguments.insert(arguments.begin(), "kestra-map");
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::fflush(nullptr);
    if (pid_t child = prepare ? fork() : -1; child >= 0) {
        if (child == 0) {
            dup2(open("/dev/null", O_WRONLY), 2);
            prepare();
            _exit(runMapTool(static_cast<int>(arguments.size()), argv.data()));
        }
        int status = -1;
        waitpid(child, &status, 0);
        return {WIFSIGNALED(status) ? WTERMSIG(status) : WEXITSTATUS(status), "", ""};
    }
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    int status = runMapTool(static_cast<int>(arguments.size()), argv.data());
    std::string out = testing::internal::GetCapturedStdout();
    return {status, out, testing::internal::GetCapturedStderr()};
}

Picture grassPicture(int width, int height)
{
    Picture picture{width, height, {}, {}};
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
    EXPECT_NE(error.find("x 2, y 3 (row 3, column 2): #00A000 alpha 128, nearest legend colour #00A000"),
              std::string::npos) << error;

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
    ToolRun good = runTool({"check", "--strict", dir / "city.map"});
    EXPECT_TRUE(good.status == 0 && good.err.empty()) << good.err;
    for (const char* line : {"OK, the viewer loads this map.", "do not match their neighbours: 0",
                             "Start tile (row 168, column 2): road piece", "road tiles, connected"})
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

    // A lone east-west piece, a building on the start tile and roads in two pieces: warnings that say
    // where, fatal only with --strict. Only the exact name is read: the viewer's lookup ignores case.
    static CityMap map;
    map.cells[mapSize * 10 + 10] = roadBase + 5;
    map.cells[mapSize * 50 + 50] = map.cells[mapSize * 51 + 50] = roadBase;
    map.cells[mapSize * 168 + 2] = 4;
    saveMap(dir / "ODD.MAP", map);
    EXPECT_EQ(runTool({"check", dir / "odd.map"}).status, 1);
    ToolRun odd = runTool({"check", dir / "ODD.MAP"});
    EXPECT_EQ(odd.status, 0);
    EXPECT_EQ(runTool({"check", dir / "ODD.MAP", "--strict"}).status, 1);
    for (const char* line : {"do not match their neighbours: 3",
                             "row 10, column 10: piece 12 (EW), its neighbours make it 7 (no side)",
                             "(row 168, column 2): low building 4, blocked", "3 road tiles in 2 pieces"})
        EXPECT_NE(odd.out.find(line), std::string::npos) << odd.out;
    EXPECT_EQ(odd.err, "kestra-map: " + dir / "ODD.MAP" + ": warning: the start tile (row 168, column 2) is low "
                       "building 4; the camera cannot move from it\nkestra-map: " + dir / "ODD.MAP" +
                       ": warning: the roads are in 2 pieces that do not join:\n  2 road tiles, one at row 50, "
                       "column 50\n  1 road tile, one at row 10, column 10\n");
}

TEST(Program, RenderDrawsTheScaledMapWithTheStartMarkerAndHeading)
{
    TempDir dir;
    static CityMap map;
    saveMap(dir / "city.map", map);
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
    Picture picture = grassPicture(mapSize, mapSize);
    paint(picture, 120, 9, {"stray", 0, 0xfe, 0x01, 0x02});
    savePng(dir / "stray.png", picture);
    for (int x = 0; x < 15; ++x)  // an antialiased edge
        paint(picture, 20 + x, 30, {"edge", 0, 0x7f, 0x7f, 0x7f});
    savePng(dir / "edge.png", picture);
    savePng(dir / "wide.png", grassPicture(200, 170));
    std::string whole = readText(dir / "wide.png");
    writeText(dir / "cut.png", whole.substr(0, whole.size() / 2));
    writeText(dir / "junk.png", "not a picture");
    // Grass in 16 bits a sample, then one green that is not a multiple of 257; grass in a one-colour palette,
    // then an index past it; a header claiming a huge picture over a few bytes of pixels.
    std::string wide16, indexed;
    for (int y = 0; y < mapSize; ++y) {
        wide16 += '\0', indexed += '\0';
        for (int x = 0; x < mapSize; ++x) {
            wide16 += std::string("\0\0", 2) + (x == 7 && y == 5 ? "\xa0\xff" : "\xa0\xa0") + std::string("\0\0", 2);
            indexed += x == 3 && y == 4 ? '\5' : '\0';
        }
    }
    writeText(dir / "deep.png", pngFile(mapSize, mapSize, 16, 2, wide16));
    writeText(dir / "palette.png", pngFile(mapSize, mapSize, 8, 3, indexed, std::string("\0\xa0\0", 3)));
    writeText(dir / "huge.png", pngFile(16384, 16384, 8, 2, std::string(64, '\0')));
    mkfifo((dir / "fifo.png").c_str(), 0644);
    writeText(dir / "keep.map", "keep me");  // an existing output stays as it was

    size_t before = dir.entries();
    for (auto [name, message] : {
             std::pair{"stray.png", "1 pixel is not a legend colour (exact and opaque)\n  x 120, y 9 (row 9, column "
                                    "120): #FE0102, nearest legend colour #A00000 (tall building 1)"},
             {"edge.png", "16 pixels are not legend colours"}, {"wide.png", "200x170"}, {"cut.png", ""},
             {"junk.png", "not a PNG file"}, {"absent.png", "No such file"}, {"fifo.png", "not a regular file"},
             {"deep.png", "(row 5, column 7): 16-bit #0000A0FF0000, nearest legend colour #00A000 (grass)"},
             {"palette.png", "(row 4, column 3): palette index 5 of 1\n"},
             {"huge.png", "the picture is 16384x16384 pixels; a city picture must be 170x170"}}) {
        ToolRun run = runTool({"import", dir / name, "-o", dir / "keep.map"});
        EXPECT_EQ(run.status, 1) << name;
        EXPECT_NE(run.err.find(std::string(name) + ": "), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
        EXPECT_TRUE(readText(dir / "keep.map") == "keep me" && dir.entries() == before) << name;
    }
    // Every stray pixel is counted, the first ten listed.
    std::string edge = runTool({"import", dir / "edge.png", "-o", dir / "keep.map"}).err;
    EXPECT_EQ(std::count(edge.begin(), edge.end(), '\n'), 12) << edge;
    EXPECT_NE(edge.find("x 20, y 30 (row 30, column 20): #7F7F7F, nearest legend colour #808080 (road)"), std::string::npos);
    EXPECT_NE(edge.find("\n  ... and 6 more\n"), std::string::npos) << edge;
}

// Outputs and exit statuses. Each run starts from a map "city.map" (mode 0640, a road piece fix-roads
// corrects), its picture "city.png", a read-only copy "ro.map", links "link.map" to the missing "real.map",
// "city.link" to the map and "null.map" to /dev/null, a hard link "city.hard" to the map, a folder and a
// FIFO. Runs with a preparation go in a child process, whose status is the exit status or the signal.
TEST(Program, OutputsAreReplacedInOneStepOrRefusedUntouched)
{
    using Prepare = std::function<void()>;
    const Prepare none, fullStdout = [] { dup2(open("/dev/full", O_WRONLY), 1); };
    const Prepare smallFiles = [] { rlimit limit{4096, 4096}; setrlimit(RLIMIT_FSIZE, &limit); };
    const Prepare unprivileged = [] { fs::permissions(".", fs::perms::all); (void)!(geteuid() == 0 && setuid(65534) == 0); };
    // Command, preparation, status, what stderr says, the file that changes.
    const std::tuple<std::vector<std::string>, Prepare, int, const char*, std::string> cases[] = {
        {{"generate", "-o", "city.map"}, none, 0, "", "city.map"},
        {{"generate", "--seed", "3", "-o", "link.map"}, none, 0, "", "real.map"},
        {{"fix-roads", "city.link"}, none, 0, "", "city.map"},
        {{"generate", "-o", "fifo"}, none, 1, "fifo is a FIFO, not a regular file; nothing was written", ""},
        {{"generate", "-o", "null.map"}, none, 1, "null.map (a link to /dev/null) is a character device", ""},
        {{"export", "city.map", "-o", "folder/"}, none, 1, "folder/ is a folder, not a file", ""},
        {{"generate", "-o", "none/city.map"}, none, 1, "cannot write none/city.map: No such file", ""},
        {{"export", "city.map", "-o", "city.map"}, none, 2, "the output city.map is the input file city.map", ""},
        {{"render", "city.map", "-o", "city.link"}, none, 2, "the output city.link is the input file", ""},
        {{"export", "city.map", "-o", "city.hard"}, none, 2, "the output city.hard is the input file", ""},
        {{"import", "city.png", "-o", "city.png"}, none, 2, "the output city.png is the input file", ""},
        {{"--help"}, fullStdout, 1, "", ""},
        {{"check", "city.map"}, fullStdout, 1, "", ""},
        {{"generate", "-o", "city.map"}, fullStdout, 1, "", "city.map"},
        {{"generate", "-o", "city.map"}, smallFiles, SIGXFSZ, "", ""},
        {{"fix-roads", "ro.map"}, unprivileged, 1, "", ""},
    };
    const fs::perms mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    for (const auto& [command, prepare, status, message, changed] : cases) {
        SCOPED_TRACE(testing::PrintToString(command));
        TempDir dir;
        fs::path oldDir = fs::current_path();
        fs::current_path(dir.path);
        static CityMap map;
        map.cells[5] = roadBase + 3;
        saveMap("city.map", map);
        ASSERT_EQ(runTool({"export", "city.map", "-o", "city.png"}).status, 0);
        fs::copy_file("city.map", "ro.map");
        fs::permissions("ro.map", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        fs::permissions("city.map", mode);
        fs::create_symlink("real.map", "link.map");
        fs::create_symlink("city.map", "city.link");
        fs::create_symlink("/dev/null", "null.map");
        fs::create_hard_link("city.map", "city.hard");
        fs::create_directory("folder");
        mkfifo("fifo", 0644);
        const std::string map0 = readText("city.map"), png0 = readText("city.png");
        const size_t entries = dir.entries();

        ToolRun run = runTool(command, prepare);
        EXPECT_EQ(run.status, status);
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
        EXPECT_EQ(dir.entries(), entries + (changed == "real.map")) << "no temporary file is left";
        EXPECT_TRUE(fs::is_symlink("link.map") && fs::is_symlink("city.link") && fs::is_symlink("null.map") &&
                    fs::is_fifo("fifo") && fs::is_directory("folder") && fs::is_character_file("/dev/null"));
        EXPECT_EQ(fs::status("city.map").permissions(), mode);
        EXPECT_EQ(readText("city.map") != map0, changed == "city.map");
        EXPECT_TRUE(readText("ro.map") == map0 && readText("city.png") == png0);
        static CityMap back;
        EXPECT_EQ(readCityMap("real.map", &back) == nullptr, changed == "real.map");
        fs::current_path(oldDir);
    }
}

TEST(Program, FixRoadsRewritesOnlyAValidMap)
{
    TempDir dir;
    static CityMap map;
    for (int column = 2; column <= 6; ++column)
        map.cells[mapSize * 50 + column] = roadBase;
    saveMap(dir / "city.map", map);
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
             {"import", "a.png", "-o"}, {"render", "a.map", "-o", "x.png", "--scale", "0"}, {"render", "a.map"},
             {"generate", "-o", "a.map", "--output", "b.map"}, {"check", "--strict", "a.map", "--strict"}}) {
        ToolRun run = runTool(wrong);
        EXPECT_TRUE(run.status == 2 && run.out.empty() && run.err.rfind("kestra-map: ", 0) == 0)
            << testing::PrintToString(wrong) << ": " << run.status << " " << run.out << run.err;
    }
    EXPECT_EQ(dir.entries(), 0u);
    fs::current_path(oldDir);
}
