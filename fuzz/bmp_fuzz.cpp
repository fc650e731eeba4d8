// Fuzz target for the BMP conversion: a bitmap file is either rejected or comes back in the padded
// bottom-up 24-bit layout, sized exactly for its width and height.
#include <cstdint>

#include "fuzz/scratch_file.h"
#include "platform/platform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Bitmap bitmap;
    if (!loadBitmap(writeScratch(data, size), &bitmap))
        return 0;
    if (bitmap.width <= 0 || bitmap.height <= 0)
        __builtin_trap();
    size_t stride = (size_t(bitmap.width) * 3 + 3) & ~size_t(3);
    if (bitmap.bits.size() != stride * size_t(bitmap.height))
        __builtin_trap();
    return 0;
}
