// kestra-assets: writes the viewer's 31 texture images and its font image into one folder.
// Usage: kestra-assets <folder> [regular.psf.gz bold.psf.gz]; kestra-assets --icon <size> <file.png> writes
// the desktop icon. The output depends on nothing else.
#include "platform/platform.h"
#include "render/render.h"
#include "tools/assets/assets.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <filesystem>
#include <string>

namespace {

const char* const defaultRegularFont = "/usr/share/consolefonts/Lat15-Terminus16.psf.gz";
const char* const defaultBoldFont = "/usr/share/consolefonts/Lat15-TerminusBold16.psf.gz";

// The picture of a texture slot.
Image makeSlotImage(int slot)
{
    if (slot >= skySlot0)
        return makeSkyFace(slot - skySlot0);
    if (slot == rooftopSlot)
        return makeRooftop();
    if (slot == cliffTopSlot)
        return makeCliffTop();
    const TileType type = static_cast<TileType>(slot);
    switch (tileKind(type).shape) {
    case TileShape::cliff: return makeCliffFace();
    case TileShape::tallBlock:
    case TileShape::lowBlock: return makeFacade(slot);
    default: return isRoad(type) ? makeRoad(type - roadBase) : makeGrass();
    }
}

bool writeImage(const std::string& path, const Image& picture)
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
    const std::string folder = argv[1];
    std::error_code ignored;
    std::filesystem::create_directories(argv[1], ignored);

    std::string error;
    std::vector<uint8_t> sheet =
        makeFontSheet(argc == 4 ? argv[2] : defaultRegularFont, argc == 4 ? argv[3] : defaultBoldFont, &error);
    if (sheet.empty()) {
        std::fprintf(stderr, "kestra-assets: %s\n", error.c_str());
        return 1;
    }
    bool ok = writeFontImage(folder + "/Terminal8.tga", sheet);

    for (size_t slot = 0; ok && slot < std::size(textureFiles); ++slot)
        ok = writeImage(folder + std::strchr(textureFiles[slot], '/'), makeSlotImage(int(slot)));
    return ok ? 0 : 1;
}
