// What every backend's message box shares: the stderr copy, the switch for unattended runs, the text cut to fit.
#include "platform/platform.h"

#include <cstdio>

static bool messageBoxesShown = true;

void showMessageBoxes(bool show)
{
    messageBoxesShown = show;
}

bool reportMessage(const char* text, const char* caption)
{
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
    return messageBoxesShown;
}

std::string boxText(const std::string& text)
{
    std::string shown;
    size_t lines = 0, start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        if (lines == boxLines) {
            shown += "\n...";
            break;
        }
        std::string line = text.substr(start, end - start);
        if (line.size() > boxColumns) {
            size_t cut = boxColumns - 3;
            while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
                --cut;  // not inside a UTF-8 character
            line = line.substr(0, cut) + "...";
        }
        shown += (lines++ ? "\n" : "") + line;
        start = end + 1;
    }
    return shown;
}
