// Placeholder tile lists until the geometry lands.
#include "map/map.h"

TileLists tileLists;

void buildTileLists() {}
