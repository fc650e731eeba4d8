// Fuzz target for the map reader: any bytes either fill a scratch grid exactly or leave it untouched.
#include <cstdint>
#include <cstring>

#include "map/map.h"

static CityMap scratch;
static CityMap before;

static uint32_t littleEndian(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A marker pattern that no one-byte change of the input can reproduce by chance.
    for (int i = 0; i < mapSize * mapSize; ++i)
        scratch.cells[i] = 0xA5A50000u + uint32_t(i);
    before = scratch;
    const char* message = parseCityMap(data, size, &scratch);
    if (message) {
        if (!*message || std::memcmp(&scratch, &before, sizeof scratch) != 0)
            __builtin_trap();
        return 0;
    }
    if (size < size_t(mapFileBytes))
        __builtin_trap();
    for (int i = 0; i < mapSize * mapSize; ++i)
        if (scratch.cells[i] != littleEndian(data + mapHeaderBytes + 4 * i))
            __builtin_trap();
    return 0;
}
