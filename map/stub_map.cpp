// Placeholder map until the reader and lists land.
#include "map/map.h"

CityMap cityMap{};
TileLists tileLists;

void loadCityMap(const char*) {}
void buildTileLists() {}
