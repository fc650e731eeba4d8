// Test GL context: a bare platform context, one at a time.
#include "tests/support/gl_context.h"

#include "platform/platform.h"

static BareContext testContext;

bool openTestContext(int width, int height)
{
    closeTestContext();
    return openBareContext(width, height, &testContext);
}

void closeTestContext()
{
    closeBareContext(&testContext);
}
