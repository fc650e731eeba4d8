// Process entry point of the viewer.
#include "app/app.h"

int main(int argc, char** argv)
{
    return startViewer(argc, argv);
}
