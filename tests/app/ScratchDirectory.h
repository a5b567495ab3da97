// tests/app/ScratchDirectory.h: runs a test inside a fresh empty folder (where the save file
// "tomarugi.save" is made) and removes it afterwards.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

class ScratchDirectory {
public:
    ScratchDirectory()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "tomarugi-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
            previous_ = std::filesystem::current_path();
            std::filesystem::current_path(path_);
        }
    }
    ~ScratchDirectory()
    {
        if (!path_.empty()) {
            std::error_code error;
            std::filesystem::current_path(previous_, error);
            std::filesystem::remove_all(path_, error);
        }
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
    std::filesystem::path previous_;
};
