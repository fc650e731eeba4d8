// Process entry point of the viewer.
#include "app/app.h"

int main()
{
    return programMain();
}
