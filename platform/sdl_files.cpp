// SDL2 backend of the data-file part of the platform contract: path resolution and BMP reading.
#include "platform/platform.h"

#include <SDL.h>

FILE* openDataFile(const char* path, const char* mode)
{
    return std::fopen(path, mode);
}

bool loadBitmap(const char* path, Bitmap* out)
{
    SDL_Surface* loaded = SDL_LoadBMP(path);
    if (!loaded)
        return false;
    SDL_Surface* s = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_BGR24, 0);
    SDL_FreeSurface(loaded);
    if (!s)
        return false;
    int stride = (s->w * 3 + 3) & ~3;
    out->width = s->w;
    out->height = s->h;
    out->bits.assign(static_cast<size_t>(stride) * s->h, 0);
    for (int row = 0; row < s->h; ++row) {
        const uint8_t* src = static_cast<const uint8_t*>(s->pixels) + static_cast<size_t>(row) * s->pitch;
        std::copy(src, src + s->w * 3, out->bits.begin() + static_cast<size_t>(s->h - 1 - row) * stride);
    }
    SDL_FreeSurface(s);
    return true;
}
