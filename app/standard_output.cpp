// Standard output and whole numbers, for the viewer and the tools alike.
#include "app/app.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

static int outputError = 0;  // errno of the first write to standard output that failed

void writeOut(const std::string& text)
{
    errno = 0;
    if ((std::fputs(text.c_str(), stdout) < 0 || std::fflush(stdout) != 0) && outputError == 0)
        outputError = errno ? errno : EIO;
}

int finishStandardOutput(const char* program, int status)
{
    errno = 0;
    if ((std::fflush(stdout) != 0 || std::ferror(stdout)) && outputError == 0)
        outputError = errno ? errno : EIO;
    std::clearerr(stdout);
    const int error = outputError;
    outputError = 0;
    if (error == 0 || error == EPIPE)
        return status;
    std::fprintf(stderr, "%s: cannot write standard output: %s\n", program, std::strerror(error));
    return status == 0 ? 1 : status;
}

bool parseWholeNumber(const char* text, uint64_t low, uint64_t high, uint64_t* value)
{
    uint64_t number = 0;
    if (!text || !*text)
        return false;
    for (const char* digit = text; *digit; ++digit) {
        if (*digit < '0' || *digit > '9' || number > (UINT64_MAX - uint64_t(*digit - '0')) / 10)
            return false;
        number = number * 10 + uint64_t(*digit - '0');
    }
    if (number < low || number > high)
        return false;
    *value = number;
    return true;
}
