// kestra-map: makes, checks and previews city maps for the viewer.
#include "tools/maptool/maptool.h"

int main(int argc, char** argv)
{
    return runMapTool(argc, argv);
}
