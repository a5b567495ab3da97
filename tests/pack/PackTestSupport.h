// Shared pieces of the pack tests: a scratch folder per test, packs made with the real
// writer (with the cheapest key derivation, so refusals can be tried by the hundred), and
// stderr capture.
#pragma once

#include "FileManager.h"
#include "FileSystem.h"
#include "PackWriter.h"

#include <Lumora/IFile.h>
#include <Lumora/IFileManager.h>
#include <Lumora/Text.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace PackTest {

namespace fs = std::filesystem;

inline constexpr const char* kPassword = "hasunohanagasaku";

inline Tomarugi::Pack::PackWriterOptions CheapOptions()
{
    Tomarugi::Pack::PackWriterOptions options;
    options.kdfOps = 1;
    options.kdfMemoryKiB = 8;
    return options;
}

inline std::vector<std::uint8_t> Bytes(std::string_view text)
{
    return {text.begin(), text.end()};
}

inline std::vector<std::uint8_t> RandomBytes(std::size_t count, unsigned seed)
{
    std::mt19937 generator(seed);
    std::vector<std::uint8_t> bytes(count);
    for (auto& byte : bytes) {
        byte = static_cast<std::uint8_t>(generator());
    }
    return bytes;
}

// A folder under the test binary's directory, emptied before and removed after the test.
class ScratchFolder {
public:
    ScratchFolder()
    {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        path_ = fs::current_path() / "scratch" / (std::string(info->test_suite_name()) + "." + info->name());
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~ScratchFolder() { fs::remove_all(path_); }
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};

inline std::vector<std::uint8_t> ReadWhole(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteWhole(const fs::path& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<std::uint8_t> MakePack(const std::vector<Tomarugi::Pack::PackInputFile>& files,
                                          const std::string& password = kPassword)
{
    std::vector<std::uint8_t> pack;
    std::string error;
    EXPECT_TRUE(Tomarugi::Pack::BuildPack(files, password, CheapOptions(), pack, error)) << error;
    return pack;
}

// Everything the file delivers from its current position on.
inline std::vector<std::uint8_t> ReadRest(Lumora::IFile* file)
{
    std::vector<std::uint8_t> bytes;
    std::uint8_t buffer[4096];
    while (true) {
        const std::int32_t got = file->Read(buffer, sizeof(buffer));
        if (got <= 0) {
            break;
        }
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    return bytes;
}

// Opens `name` and returns its whole content; fails the test when it cannot be opened.
inline std::vector<std::uint8_t> OpenAndRead(Lumora::IFileManager* manager, const std::string& name)
{
    Lumora::IFile* file = manager->OpenFile(name.c_str());
    EXPECT_NE(file, nullptr) << "cannot open " << Lumora::ShiftJisToUtf8(name);
    if (file == nullptr) {
        return {};
    }
    auto bytes = ReadRest(file);
    file->Release();
    return bytes;
}

// A file manager that releases itself.
struct ManagerHolder {
    explicit ManagerHolder(const fs::path& directory)
        : manager(Lumora::Internal::CreateFileManager(directory.c_str()))
    {
    }
    ~ManagerHolder() { Lumora::SafeRelease(manager); }
    Lumora::IFileManager* operator->() const { return manager; }
    Lumora::IFileManager* manager;
};

} // namespace PackTest
