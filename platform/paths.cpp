// UTF-8 paths in and out of std::filesystem, the same on every system.
#include "platform/platform.h"

std::filesystem::path pathOf(const std::string& text)
{
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string textOf(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}
