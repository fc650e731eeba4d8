// kestra-map's command line: option parsing, help texts and the seven commands.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/app.h"
#include "platform/platform.h"
#include "tools/maptool/maptool.h"

namespace {
enum Option : unsigned { optOutput = 1, optSeed = 2, optScale = 4, optStrict = 8 };

struct Arguments {
    std::vector<const char*> files;  // positional arguments after the command
    const char* output = nullptr;
    const char* seed = nullptr;
    const char* scale = nullptr;
    const char* strict = nullptr;  // any text: --strict was given
    bool help = false;
};

struct Command {
    const char* name;
    const char* usage;
    const char* help;
    unsigned options;  // Option bits the command takes
    int files;         // positional arguments it needs
    int (*run)(const Arguments& arguments);
};
}  // namespace

static const char* const program = "kestra-map";
static const int exitOk = 0, exitFailure = 1, exitUsage = 2;

static int fail(const char* format, const std::string& a, const std::string& b = "")
{
    std::fprintf(stderr, "%s: ", program);
    std::fprintf(stderr, format, a.c_str(), b.c_str());
    std::fputc('\n', stderr);
    return exitFailure;
}

static std::string legendText()
{
    std::string text = "Colours of the 170x170 picture (pixel x = column, y = row; row 0 at the top):\n";
    char line[120];
    for (const LegendEntry& entry : legend) {
        const char* note = entry.type == roadBase      ? "(every road piece; import joins neighbours)"
                           : entry.type == nothingType ? "(cells 23 and up; import gives 23)"
                                                       : "";
        std::snprintf(line, sizeof line, *note ? "  #%02X%02X%02X  %-16s%s\n" : "  #%02X%02X%02X  %s%s\n",
                      entry.red, entry.green, entry.blue, entry.name.c_str(), note);
        text += line;
    }
    return text;
}

static std::string sideLetters(TileType piece)
{
    unsigned mask = piece - roadBase;
    std::string letters;
    const struct {
        unsigned bit;
        char letter;
    } order[4] = {{roadN, 'N'}, {roadS, 'S'}, {roadE, 'E'}, {roadW, 'W'}};
    for (const auto& side : order)
        if (mask & side.bit)
            letters += side.letter;
    return letters.empty() ? "no side" : letters;
}

static std::string describeTile(TileType type)
{
    char text[80];
    if (isRoad(type))
        std::snprintf(text, sizeof text, "road piece %u (%s)", type, sideLetters(type).c_str());
    else if (type < nothingType)
        std::snprintf(text, sizeof text, "%s", legend[legendIndexOf(type)].name.c_str());
    else
        std::snprintf(text, sizeof text, "nothing (%u)", type);
    return text;
}

// Reads a map the way the viewer reads its MAP argument; on failure prints "kestra-map: FILE: why".
static bool readMapOrSay(const char* path, CityMap* map)
{
    const std::string problem = explainCityMap(path, path, map);
    if (!problem.empty())
        fail("%s", problem);
    return problem.empty();
}

// Writes a command's output, refusing to replace input, the file it read; the exit status.
static int writeOrSay(const char* path, const std::vector<uint8_t>& bytes, const char* input)
{
    std::string error;
    int status = writeOutput(path, bytes, input, &error);
    if (status != exitOk)
        std::fprintf(stderr, "%s: %s\n", program, error.c_str());
    return status;
}

static int writePngOrSay(const char* path, const Picture& picture, const char* input)
{
    std::vector<uint8_t> bytes;
    std::string error;
    if (!encodePng(picture, &bytes, &error))
        return fail("cannot write %s: %s", path, error);
    return writeOrSay(path, bytes, input);
}

// ---- The commands.

static int runGenerate(const Arguments& arguments)
{
    uint64_t seed = defaultCitySeed;
    if (arguments.seed && !parseWholeNumber(arguments.seed, 0, UINT64_MAX, &seed)) {
        fail("--seed takes a whole number from 0 to 18446744073709551615, not '%s'", arguments.seed);
        return exitUsage;
    }
    const char* output = arguments.output ? arguments.output : "city.map";
    static CityMap city;
    generateCity(seed, &city);
    if (int status = writeOrSay(output, encodeCityMap(city), nullptr))
        return status;
    std::printf("%s: city of seed %llu written\n", output, static_cast<unsigned long long>(seed));
    return exitOk;
}

static int runCheck(const Arguments& arguments)
{
    const char* path = arguments.files[0];
    static CityMap city;
    if (!readMapOrSay(path, &city))
        return exitFailure;
    MapSummary summary = summarizeMap(city);
    std::printf("%s: OK, the viewer loads this map.\n", path);
    std::printf("Tiles:\n");
    for (int i = 0; i < 9; ++i)
        std::printf("  %-16s %6d\n", legend[i].name.c_str(), summary.kindCounts[i]);
    std::printf("Road pieces that do not match their neighbours: %zu\n", summary.wrongPieces.size());
    const size_t listed = 10;
    for (size_t i = 0; i < summary.wrongPieces.size() && i < listed; ++i) {
        const TilePlace& place = summary.wrongPieces[i];
        TileType type = city.cells[mapSize * place.row + place.column];
        TileType wanted = roadBase + roadMaskAt(city, place.row, place.column);
        std::printf("  row %d, column %d: piece %u (%s), its neighbours make it %u (%s)\n", place.row, place.column,
                    type, sideLetters(type).c_str(), wanted, sideLetters(wanted).c_str());
    }
    if (summary.wrongPieces.size() > listed)
        std::printf("  ... and %zu more; kestra-map fix-roads %s corrects them all\n",
                    summary.wrongPieces.size() - listed, path);
    std::printf("Start tile (row %d, column %d): %s, %s\n", summary.start.row, summary.start.column,
                describeTile(summary.startType).c_str(), summary.startOpen ? "open" : "blocked");
    const size_t pieces = summary.roadPieces.size();
    if (pieces <= 1)
        std::printf("Road network: %d road tiles%s\n", summary.roadTiles, pieces ? ", connected" : "");
    else
        std::printf("Road network: %d road tiles in %zu pieces\n", summary.roadTiles, pieces);

    // What makes the city hard to drive, with where to look, on standard error.
    int warnings = 0;
    if (!summary.startOpen) {
        ++warnings;
        std::fprintf(stderr, "%s: %s: warning: the start tile (row %d, column %d) is %s; the camera cannot move from it\n",
                     program, path, summary.start.row, summary.start.column, describeTile(summary.startType).c_str());
    }
    if (pieces > 1) {
        ++warnings;
        std::fprintf(stderr, "%s: %s: warning: the roads are in %zu pieces that do not join:\n", program, path, pieces);
        for (size_t i = 0; i < pieces && i < listed; ++i)
            std::fprintf(stderr, "  %d road tile%s, one at row %d, column %d\n", summary.roadPieces[i].tiles,
                         summary.roadPieces[i].tiles == 1 ? "" : "s", summary.roadPieces[i].first.row,
                         summary.roadPieces[i].first.column);
        if (pieces > listed)
            std::fprintf(stderr, "  ... and %zu more pieces\n", pieces - listed);
    }
    return arguments.strict && warnings > 0 ? exitFailure : exitOk;
}

static int runRender(const Arguments& arguments)
{
    uint64_t scale = defaultRenderScale;
    if (arguments.scale && !parseWholeNumber(arguments.scale, 1, maxRenderScale, &scale)) {
        fail("--scale takes a whole number from 1 to 32, not '%s'", arguments.scale);
        return exitUsage;
    }
    static CityMap city;
    if (!readMapOrSay(arguments.files[0], &city))
        return exitFailure;
    return writePngOrSay(arguments.output, renderMap(city, static_cast<int>(scale)), arguments.files[0]);
}

static int runExport(const Arguments& arguments)
{
    static CityMap city;
    if (!readMapOrSay(arguments.files[0], &city))
        return exitFailure;
    int above = 0;
    for (TileType cell : city.cells)
        above += cell > nothingType;
    if (int status = writePngOrSay(arguments.output, mapToPicture(city), arguments.files[0]))
        return status;
    if (above > 0)
        std::fprintf(stderr, "%s: note: %d cells above 23 are painted as nothing; import gives them 23\n", program,
                     above);
    return exitOk;
}

static int runImport(const Arguments& arguments)
{
    const char* path = arguments.files[0];
    Picture picture;
    std::string error;
    if (!readPng(path, &picture, &error, true))
        return fail("%s: %s", path, error);
    static CityMap city;
    if (!pictureToMap(picture, &city, &error))
        return fail("%s: %s", path, error);
    fixRoadPieces(&city);
    return writeOrSay(arguments.output, encodeCityMap(city), path);
}

static int runFixRoads(const Arguments& arguments)
{
    const char* path = arguments.files[0];
    static CityMap city;
    if (!readMapOrSay(path, &city))
        return exitFailure;
    int changed = fixRoadPieces(&city);
    if (changed == 0) {
        std::printf("%s: every road piece already matches its neighbours\n", path);
        return exitOk;
    }
    if (int status = writeOrSay(path, encodeCityMap(city), nullptr))
        return status;
    std::printf("%s: %d road pieces corrected\n", path, changed);
    return exitOk;
}

static int runHelp(const Arguments& arguments);

static const Command commands[] = {
    {"generate", "generate [--seed N] [-o FILE]",
     "Grows a city from a seed and writes it as a map file (default city.map). The same seed always\n"
     "gives the same file; without --seed the bundled city is made.\n",
     optOutput | optSeed, 0, runGenerate},
    {"check", "check [--strict] FILE",
     "Reads FILE with the viewer's own reader and prints its verdict: on failure the file and the\n"
     "reason on standard error and exit status 1; otherwise an OK line and a summary:\n"
     "tiles of each kind, road pieces that do not match their neighbours, the camera's start tile\n"
     "(row 168, column 2) and the road tiles. Warnings go to standard error: a start tile the camera\n"
     "cannot move from (with its type), and roads in pieces that do not join (each piece's size and\n"
     "one of its tiles). The exit status is 0 when the viewer loads the map; with --strict, 1 when\n"
     "there is a warning.\n",
     optStrict, 1, runCheck},
    {"render", "render FILE -o PICTURE.png [--scale K]",
     "Draws FILE from above as a PNG, K x K pixels per tile (default 4, at most 32), row 0 at the\n"
     "top and column 0 at the left. Roads show their joins to neighbouring road tiles; a yellow dot\n"
     "marks the camera's start tile and a pink line its heading.\n",
     optOutput | optScale, 1, runRender},
    {"export", "export FILE -o PICTURE.png",
     "Paints FILE as a 170x170 PNG, one legend colour per tile kind, ready for an image editor.\n",
     optOutput, 1, runExport},
    {"import", "import PICTURE.png -o FILE",
     "Turns a 170x170 picture painted in the legend colours into a map file, joining every road\n"
     "piece to its neighbours. A picture of another size, an unreadable file or pixels that are not\n"
     "exactly an opaque legend colour are refused, and nothing is written; the refusal counts such\n"
     "pixels and lists the first ten with their colour and the nearest legend colour.\n",
     optOutput, 1, runImport},
    {"fix-roads", "fix-roads FILE",
     "Gives every road piece in FILE the type that matches its neighbouring road tiles, replacing\n"
     "the file in one step (a temporary file beside it, renamed over it).\n",
     0, 1, runFixRoads},
    {"help", "help [COMMAND]", "Shows the help of the tool or of one command.\n", 0, -1, runHelp},
};

static const Command* findCommand(const char* name)
{
    for (const Command& command : commands)
        if (std::strcmp(command.name, name) == 0)
            return &command;
    return nullptr;
}

static void printToolHelp()
{
    std::printf("Usage: %s COMMAND [ARGUMENTS]\n"
                "Makes, checks and previews city maps for the Kestra viewer.\n\nCommands:\n",
                program);
    for (const Command& command : commands)
        std::printf("  %s %s\n", program, command.usage);
    std::printf("\n%s COMMAND --help shows the help of one command; %s --version the version.\n"
                "Writes go to a temporary file beside the output that replaces it only once complete; a\n"
                "link is followed, a folder, device, FIFO or socket is refused, and so is the input file.\n"
                "Exit status: 0 success, 1 failure, 2 wrong usage (also an output that is the input).\n\n%s",
                program, program, legendText().c_str());
}

static void printCommandHelp(const Command& command)
{
    std::printf("Usage: %s %s\n%s", program, command.usage, command.help);
    if (std::strcmp(command.name, "import") == 0 || std::strcmp(command.name, "export") == 0)
        std::printf("\n%s", legendText().c_str());
}

static int runHelp(const Arguments& arguments)
{
    if (arguments.files.empty()) {
        printToolHelp();
        return exitOk;
    }
    const Command* command = findCommand(arguments.files[0]);
    if (!command) {
        std::fprintf(stderr, "%s: no command '%s'\nTry '%s --help'.\n", program, arguments.files[0], program);
        return exitUsage;
    }
    printCommandHelp(*command);
    return exitOk;
}

static int usageError(const Command* command, const std::string& message)
{
    std::fprintf(stderr, "%s: %s\nTry '%s%s%s --help'.\n", program, message.c_str(), program, command ? " " : "",
                 command ? command->name : "");
    return exitUsage;
}

static int runCommandLine(int argc, char** argv)
{
    if (argc < 2)
        return usageError(nullptr, "no command given");
    const char* name = argv[1];
    const bool help = std::strcmp(name, "--help") == 0 || std::strcmp(name, "-h") == 0;
    if (help || std::strcmp(name, "--version") == 0 || std::strcmp(name, "-V") == 0) {
        // Acted on only once every argument has proved right, and there is nothing else to prove.
        if (argc > 2)
            return usageError(nullptr, std::string("'") + name + "' takes nothing after it, not '" + argv[2] + "'");
        if (help)
            printToolHelp();
        else
            std::printf("%s %s\n", program, KESTRA_VERSION);
        return exitOk;
    }
    const Command* command = findCommand(name);
    if (!command)
        return usageError(nullptr, std::string("no command '") + name + "'");

    Arguments arguments;
    for (int i = 2; i < argc; ++i) {
        std::string argument = argv[i];
        const char** value = nullptr;
        unsigned option = 0;
        if (argument == "--help" || argument == "-h") {
            arguments.help = true;
            continue;
        }
        if (argument == "-o" || argument == "--output") {
            value = &arguments.output;
            option = optOutput;
        } else if (argument == "--seed") {
            value = &arguments.seed;
            option = optSeed;
        } else if (argument == "--scale") {
            value = &arguments.scale;
            option = optScale;
        } else if (argument == "--strict") {
            value = &arguments.strict;
            option = optStrict;
        } else if (argument.size() > 1 && argument[0] == '-') {
            return usageError(command, "unknown option '" + argument + "'");
        } else {
            arguments.files.push_back(argv[i]);
            continue;
        }
        if (!(command->options & option)) {
            // Appended piece by piece: GCC 12's -Wrestrict misfires on the chained operator+ at -O3.
            std::string message = "'";
            message += command->name;
            message += "' takes no ";
            message += argument;
            message += " option";
            return usageError(command, message);
        }
        if (*value)
            return usageError(command, argument + " given twice");
        if (option == optStrict)
            *value = argv[i];
        else if (i + 1 >= argc)
            return usageError(command, argument + " needs a value");
        else
            *value = argv[++i];
    }
    if (arguments.help) {
        printCommandHelp(*command);
        return exitOk;
    }
    if (command->files >= 0 && int(arguments.files.size()) != command->files)
        return usageError(command, std::string("usage: ") + program + " " + command->usage);
    if (command->files < 0 && arguments.files.size() > 1)
        return usageError(command, std::string("usage: ") + program + " " + command->usage);
    if ((command->options & optOutput) && command->files > 0 && !arguments.output)
        return usageError(command, std::string("'") + command->name + "' needs -o with the output file");
    return command->run(arguments);
}

int runMapTool(int argc, char** argv)
{
    prepareStandardStreams();
    // Output lost on a full disk is a failure, not a success.
    return finishStandardOutput(program, runCommandLine(argc, argv));
}
