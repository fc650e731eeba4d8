// kestra-assets: writes the viewer's 31 texture images and its font image into one folder.
// Usage: kestra-assets <folder> [regular.psf.gz bold.psf.gz]; kestra-assets --icon <size> <file.png> writes
// the desktop icon. The output depends on nothing else.
#include "platform/platform.h"
#include "tools/assets/assets.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

const char* const defaultRegularFont = "/usr/share/consolefonts/Lat15-Terminus16.psf.gz";
const char* const defaultBoldFont = "/usr/share/consolefonts/Lat15-TerminusBold16.psf.gz";

// Road file suffixes by mask (E = 1, S = 2, W = 4, N = 8), sides listed in the order N, S, E, W.
std::string roadName(unsigned mask)
{
    std::string name = "Road";
    if (mask & 8)
        name += 'N';
    if (mask & 2)
        name += 'S';
    if (mask & 1)
        name += 'E';
    if (mask & 4)
        name += 'W';
    return name + ".bmp";
}

bool writePicture(const std::string& path, const Picture& picture)
{
    Bitmap bitmap;
    bitmap.width = picture.width;
    bitmap.height = picture.height;
    const size_t stride = (size_t(picture.width) * 3 + 3) & ~size_t(3);
    bitmap.bits.assign(stride * picture.height, 0);
    for (int y = 0; y < picture.height; ++y) {
        uint8_t* row = &bitmap.bits[stride * (picture.height - 1 - y)];
        for (int x = 0; x < picture.width; ++x) {
            const uint8_t* rgb = &picture.rgb[(size_t(y) * picture.width + x) * 3];
            row[x * 3 + 0] = rgb[2];
            row[x * 3 + 1] = rgb[1];
            row[x * 3 + 2] = rgb[0];
        }
    }
    if (!saveBitmap(path.c_str(), bitmap)) {
        std::fprintf(stderr, "kestra-assets: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

// Uncompressed grey-scale TGA, 8 bits, rows stored top first (descriptor bit 5 says so).
bool writeFontImage(const std::string& path, const std::vector<uint8_t>& sheet)
{
    const uint8_t header[18] = {0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 8, 0x20};
    FILE* file = std::fopen(path.c_str(), "wb");
    bool ok = file && std::fwrite(header, 1, sizeof header, file) == sizeof header &&
              std::fwrite(sheet.data(), 1, sheet.size(), file) == sheet.size();
    if (file)
        ok = std::fclose(file) == 0 && ok;
    if (!ok)
        std::fprintf(stderr, "kestra-assets: cannot write %s\n", path.c_str());
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    const bool icon = argc > 1 && std::string(argv[1]) == "--icon";
    if (icon && argc == 4 && std::atoi(argv[2]) >= 16 && std::atoi(argv[2]) <= 1024)
        return writeIcon(argv[3], std::atoi(argv[2])) ? 0 : 1;
    if (icon || (argc != 2 && argc != 4)) {
        std::fprintf(stderr, "usage: kestra-assets <folder> [regular.psf.gz bold.psf.gz]\n"
                             "       kestra-assets --icon <size 16..1024> <file.png>\n");
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    std::error_code ignored;
    std::filesystem::create_directories(argv[1], ignored);

    std::string error;
    std::vector<uint8_t> sheet =
        makeFontSheet(argc == 4 ? argv[2] : defaultRegularFont, argc == 4 ? argv[3] : defaultBoldFont, &error);
    if (sheet.empty()) {
        std::fprintf(stderr, "kestra-assets: %s\n", error.c_str());
        return 1;
    }
    bool ok = writeFontImage(folder + "Terminal8.tga", sheet);

    const char* const facades[] = {"BuildingFront.bmp", "BuildingSide2.bmp", "BuildingSide3.bmp", "Building2.bmp",
                                   "francehousered3.bmp"};
    ok = ok && writePicture(folder + "Grass.bmp", makeGrass());
    for (int type = 1; ok && type <= 5; ++type)
        ok = writePicture(folder + facades[type - 1], makeFacade(type));
    ok = ok && writePicture(folder + "cliff1.bmp", makeCliffFace());
    for (unsigned mask = 0; ok && mask < 16; ++mask)
        ok = writePicture(folder + roadName(mask), makeRoad(mask));
    ok = ok && writePicture(folder + "cliff1-top.bmp", makeCliffTop());
    ok = ok && writePicture(folder + "Rooftop.bmp", makeRooftop());
    for (int face = 0; ok && face < 6; ++face)
        ok = writePicture(folder + "sky_" + std::to_string(face) + ".bmp", makeSkyFace(face));
    return ok ? 0 : 1;
}
