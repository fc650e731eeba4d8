// A fresh temporary folder, made the working folder for the object's lifetime.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <iterator>
#include <string>

struct TempDir {
    std::string name = (std::filesystem::temp_directory_path() / "kestra-test-XXXXXX").string();
    std::filesystem::path path = mkdtemp(name.data()), home = std::filesystem::current_path();
    TempDir() { std::filesystem::current_path(path); }
    ~TempDir() { std::filesystem::current_path(home), std::filesystem::remove_all(path); }
    size_t entries() const { return size_t(std::distance(std::filesystem::directory_iterator(path), {})); }
};
