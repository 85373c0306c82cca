#pragma once
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

// A fresh folder under the system's temporary directory, removed with everything in it at the end of a test.
class TempDir {
  public:
    TempDir() {
#ifdef _WIN32
        // No mkdtemp on Windows: random names, taken only by the call that creates the folder.
        std::random_device random;
        for (int attempt = 0; attempt < 100 && root.empty(); ++attempt) {
            std::error_code error;
            auto candidate =
                std::filesystem::temp_directory_path(error) / ("mt-file-" + std::to_string(random()));
            if (!error && std::filesystem::create_directory(candidate, error))
                root = candidate.string();
        }
#else
        std::string pattern = (std::filesystem::temp_directory_path() / "mt-file-XXXXXX").string();
        if (mkdtemp(pattern.data()))
            root = pattern;
#endif
    }
    ~TempDir() {
        std::error_code ignored;
        if (!root.empty())
            std::filesystem::remove_all(root, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string path(const std::string& name = "") const {
        return name.empty() ? root : root + "/" + name;
    }

    void write(const std::string& name, const std::string& content) const {
        std::filesystem::path full = path(name);
        std::filesystem::create_directories(full.parent_path());
        std::ofstream(full, std::ios::binary) << content;
    }
    std::string read(const std::string& name) const {
        std::ifstream in(path(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    bool exists(const std::string& name) const {
        return std::filesystem::exists(path(name));
    }

  private:
    std::string root;
};
