// The glyph sheet of the bitmap font, drawn from PSF console fonts: cells of 16 x 16 pixels,
// glyphs 8 pixels wide in the left half of their cell, tops of the glyphs stored first.
#include "tools/assets/assets.h"

#include <zlib.h>

#include <map>

namespace {

constexpr int sheetSide = 256;
constexpr int cellSide = 16;
constexpr int glyphWidth = 8;

struct ConsoleFont {
    int width = 0, height = 0;        // pixels of one glyph
    int bytesPerRow = 0;
    std::vector<uint8_t> glyphs;      // glyph count x height x bytesPerRow
    std::map<uint32_t, int> glyphOf;  // code point to glyph index, from the font's unicode table
    int count = 0;
};

// Reads the whole (gzip-compressed or plain) file; gzread reads plain files unchanged.
bool readAll(const char* path, std::vector<uint8_t>* out)
{
    gzFile file = gzopen(path, "rb");
    if (!file)
        return false;
    uint8_t buffer[65536];
    int got;
    while ((got = gzread(file, buffer, sizeof buffer)) > 0)
        out->insert(out->end(), buffer, buffer + got);
    bool ok = got == 0;
    gzclose(file);
    return ok;
}

uint32_t little32(const std::vector<uint8_t>& b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

// Decodes one UTF-8 sequence at b[*at]; false on a malformed one.
bool nextUtf8(const std::vector<uint8_t>& b, size_t* at, uint32_t* code)
{
    uint8_t lead = b[*at];
    int extra = lead < 0x80 ? 0 : (lead >> 5) == 6 ? 1 : (lead >> 4) == 14 ? 2 : (lead >> 3) == 30 ? 3 : -1;
    if (extra < 0 || *at + extra >= b.size())
        return false;
    uint32_t value = extra == 0 ? lead : lead & (0x3f >> extra);
    for (int k = 1; k <= extra; ++k)
        value = value << 6 | (b[*at + k] & 0x3f);
    *at += extra + 1;
    *code = value;
    return true;
}

bool parseFont(const std::vector<uint8_t>& b, ConsoleFont* font, std::string* error)
{
    size_t tableAt = 0;
    bool hasTable = false, utf8Table = false;
    if (b.size() >= 4 && b[0] == 0x36 && b[1] == 0x04) {
        int mode = b[2];
        font->width = 8;
        font->height = b[3];
        font->bytesPerRow = 1;
        font->count = (mode & 1) ? 512 : 256;
        size_t size = size_t(font->count) * font->height;
        if (b.size() < 4 + size)
            return *error = "PSF1 font is cut short", false;
        font->glyphs.assign(b.begin() + 4, b.begin() + 4 + size);
        hasTable = (mode & 6) != 0;
        tableAt = 4 + size;
    } else if (b.size() >= 32 && little32(b, 0) == 0x864ab572) {
        uint32_t header = little32(b, 8), flags = little32(b, 12), count = little32(b, 16);
        uint32_t bytes = little32(b, 20), height = little32(b, 24), width = little32(b, 28);
        if (width == 0 || width > 32 || height == 0 || height > 64 || count == 0 || count > 65536 ||
            bytes != height * ((width + 7) / 8))
            return *error = "PSF2 font has an unusable header", false;
        font->width = int(width);
        font->height = int(height);
        font->bytesPerRow = int((width + 7) / 8);
        font->count = int(count);
        size_t size = size_t(count) * bytes;
        if (b.size() < header + size)
            return *error = "PSF2 font is cut short", false;
        font->glyphs.assign(b.begin() + header, b.begin() + header + size);
        hasTable = (flags & 1) != 0;
        utf8Table = true;
        tableAt = header + size;
    } else {
        return *error = "not a PSF font", false;
    }
    if (font->width != glyphWidth || font->height > cellSide)
        return *error = "font glyphs are not 8 pixels wide and at most 16 high", false;
    if (!hasTable) {
        for (int g = 0; g < font->count; ++g)
            font->glyphOf.emplace(uint32_t(g), g);
        return true;
    }
    // Each glyph lists its code points, then optional sequences (which we skip), then a terminator.
    size_t at = tableAt;
    for (int g = 0; g < font->count && at < b.size(); ++g) {
        bool inSequence = false;
        for (;;) {
            if (utf8Table) {
                if (at >= b.size())
                    break;
                if (b[at] == 0xff) {
                    ++at;
                    break;
                }
                if (b[at] == 0xfe) {
                    inSequence = true;
                    ++at;
                    continue;
                }
                uint32_t code;
                if (!nextUtf8(b, &at, &code))
                    return *error = "PSF2 unicode table is malformed", false;
                if (!inSequence)
                    font->glyphOf.emplace(code, g);
            } else {
                if (at + 1 >= b.size())
                    break;
                uint32_t code = b[at] | b[at + 1] << 8;
                at += 2;
                if (code == 0xffff)
                    break;
                if (code == 0xfffe) {
                    inSequence = true;
                    continue;
                }
                if (!inSequence)
                    font->glyphOf.emplace(code, g);
            }
        }
    }
    return true;
}

bool loadFont(const char* path, ConsoleFont* font, std::string* error)
{
    std::vector<uint8_t> bytes;
    if (!readAll(path, &bytes)) {
        *error = std::string("cannot read font ") + path;
        return false;
    }
    if (!parseFont(bytes, font, error)) {
        *error += std::string(": ") + path;
        return false;
    }
    return true;
}

// Draws the glyph of code (if the font has one) into cell, vertically centred.
void drawGlyph(const ConsoleFont& font, uint32_t code, int cell, std::vector<uint8_t>* sheet)
{
    auto found = font.glyphOf.find(code);
    if (found == font.glyphOf.end())
        return;
    const uint8_t* glyph = &font.glyphs[size_t(found->second) * font.height * font.bytesPerRow];
    int left = (cell % 16) * cellSide, top = (cell / 16) * cellSide + (cellSide - font.height) / 2;
    for (int row = 0; row < font.height; ++row)
        for (int column = 0; column < glyphWidth; ++column)
            if (glyph[row * font.bytesPerRow + column / 8] & (0x80 >> (column % 8)))
                (*sheet)[size_t(top + row) * sheetSide + left + column] = 255;
}

}  // namespace

std::vector<uint8_t> makeFontSheet(const char* regularFont, const char* boldFont, std::string* error)
{
    ConsoleFont regular, bold;
    if (!loadFont(regularFont, &regular, error) || !loadFont(boldFont, &bold, error))
        return {};
    std::vector<uint8_t> sheet(size_t(sheetSide) * sheetSide, 0);
    // Set 0 in cells 0..95 and set 1 in cells 128..223, both for the bytes 32..126; 127 stays empty.
    for (uint32_t byte = 33; byte < 127; ++byte) {
        drawGlyph(regular, byte, int(byte) - 32, &sheet);
        drawGlyph(bold, byte, int(byte) + 96, &sheet);
    }
    return sheet;
}
