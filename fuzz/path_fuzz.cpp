// Fuzz target for the case-insensitive data-file lookup, over a scratch tree with a folder in two
// spellings (d and the link D), files differing only in case, a plain file and a FIFO. Input bytes
// below 16 stand for path pieces, others for themselves.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <strings.h>

#include "platform/platform.h"

// Each file holds its own path in the tree.
static const char* const files[] = {"d/f", "d/F", "e/G", "x"};

static std::string root;

// Made once per process, entered, and removed at exit.
static void makeTree()
{
    const char* tmp = std::getenv("TMPDIR");
    root = std::string(tmp && *tmp ? tmp : "/tmp") + "/kestra-fuzz-tree-XXXXXX";
    if (!mkdtemp(root.data()) || chdir(root.c_str()) != 0 || mkdir("d", 0755) != 0 || symlink("d", "D") != 0 ||
        mkdir("e", 0755) != 0 || mkfifo("fifo", 0644) != 0) {
        std::perror(root.c_str());
        std::abort();
    }
    for (const char* name : files) {
        std::FILE* file = std::fopen(name, "w");
        if (!file || std::fputs(name, file) < 0 || std::fclose(file) != 0)
            std::abort();
    }
    std::atexit([] { std::filesystem::remove_all(root); });
}

// The path with empty and "." components dropped; false when it has a ".." component.
static bool normalised(const std::string& path, std::string* out)
{
    out->clear();
    for (size_t start = 0; start <= path.size();) {
        size_t end = path.find('/', start);
        end = end == std::string::npos ? path.size() : end;
        const std::string part = path.substr(start, end - start);
        if (part == "..")
            return false;
        if (!part.empty() && part != ".")
            *out += (out->empty() ? "" : "/") + part;
        start = end + 1;
    }
    return true;
}

static std::string contents(std::FILE* file)
{
    char text[16] = {};
    return std::string(text, std::fread(text, 1, sizeof text, file));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool made = (makeTree(), true);
    (void)made;
    static const char* const pieces[16] = {"/", ".", "..", "d", "D", "f", "F", "e", "E", "g", "G", "x", "X", "fifo", "//", "./"};
    std::string path;
    for (size_t i = 0; i < size; ++i)
        path += data[i] < 16 ? pieces[data[i]] : std::string(1, data[i] ? char(data[i]) : '_');
    errno = 0;
    std::FILE* file = openDataFile(path.c_str());
    if (!file) {
        if (errno == 0)
            __builtin_trap();
        return 0;
    }
    const std::string found = contents(file);
    std::fclose(file);
    // A path that names a regular file as written opens that file; any other opens one that matches it
    // ignoring case.
    struct stat info;
    if (stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
        std::FILE* exact = std::fopen(path.c_str(), "rb");
        if (!exact)
            __builtin_trap();
        const bool same = contents(exact) == found;
        std::fclose(exact);
        if (!same)
            __builtin_trap();
    }
    std::string plain;
    if (path[0] != '/' && normalised(path, &plain) && strcasecmp(plain.c_str(), found.c_str()) != 0)
        __builtin_trap();
    return 0;
}
