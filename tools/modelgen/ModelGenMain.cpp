// tomarugi-modelgen: builds one .lmd model from a text definition.
//
//   tomarugi-modelgen DEFINITION.txt OUTPUT.lmd
//
// Prints one line naming the file and line of the first fault and exits 1 when the
// definition cannot be built or the output cannot be written; the written file is read
// back through the engine's reader before the tool reports success.
#include <cstdio>
#include <filesystem>
#include <optional>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "LmdModel.h"
#include "ModelDefinition.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tomarugi-modelgen DEFINITION.txt OUTPUT.lmd\n");
        return 2;
    }
    std::ifstream input(argv[1], std::ios::binary);
    if (!input) {
        std::fprintf(stderr, "tomarugi-modelgen: cannot read %s\n", argv[1]);
        return 1;
    }
    std::stringstream text;
    text << input.rdbuf();
    // Included files are named relative to the including definition's folder.
    const std::filesystem::path folder = std::filesystem::path(argv[1]).parent_path();
    auto readInclude = [&folder](const std::string& name) -> std::optional<std::string> {
        std::ifstream file(folder / name, std::ios::binary);
        if (!file) {
            return std::nullopt;
        }
        std::stringstream contents;
        contents << file.rdbuf();
        return contents.str();
    };
    const Tomarugi::ModelGen::BuildResult built =
        Tomarugi::ModelGen::BuildModelFromText(text.str(), argv[1], readInclude);
    if (!built.model) {
        std::fprintf(stderr, "tomarugi-modelgen: %s\n", built.error.c_str());
        return 1;
    }
    const std::vector<std::uint8_t> bytes = Lumora::Internal::WriteLmd(*built.model);
    const Lumora::Internal::LmdParseResult check = Lumora::Internal::ParseLmd(bytes);
    if (!check.model) {
        std::fprintf(stderr, "tomarugi-modelgen: %s: the written model does not read back: %s\n", argv[1],
                     check.message.c_str());
        return 1;
    }
    std::ofstream output(argv[2], std::ios::binary | std::ios::trunc);
    output.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!output.flush()) {
        std::fprintf(stderr, "tomarugi-modelgen: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
