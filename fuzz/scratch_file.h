// A scratch file for fuzz targets whose reader takes a path: each input is written to it whole.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

// The scratch file's path, made once per process and removed at exit.
inline const char* scratchPath()
{
    static std::string path = [] {
        const char* dir = std::getenv("TMPDIR");
        std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/kestra-fuzz-XXXXXX";
        int fd = mkstemp(pattern.data());
        if (fd < 0) {
            std::perror("mkstemp");
            std::abort();
        }
        close(fd);
        return pattern;
    }();
    static bool cleanup = [] { return std::atexit([] { unlink(path.c_str()); }) == 0; }();
    (void)cleanup;
    return path.c_str();
}

// Replaces the scratch file's content with the input; aborts when the file cannot be written.
inline const char* writeScratch(const unsigned char* data, size_t size)
{
    const char* path = scratchPath();
    std::FILE* f = std::fopen(path, "wb");
    if (!f || (size && std::fwrite(data, 1, size, f) != size) || std::fclose(f) != 0) {
        std::perror(path);
        std::abort();
    }
    return path;
}
