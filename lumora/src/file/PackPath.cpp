#include "PackPath.h"

#include <Lumora/Text.h>

#include <vector>

namespace Lumora::Internal {
namespace {

bool StartsWithSeparator(std::string_view path)
{
    return !path.empty() && (path.front() == '/' || path.front() == '\\');
}

} // namespace

std::string NormalisePackPath(std::string_view path)
{
    std::vector<std::string> components;
    std::string current;
    auto finishComponent = [&]() {
        if (current.empty() || current == ".") {
            // nothing: repeated separators and "." add no level
        } else if (current == "..") {
            if (!components.empty()) {
                components.pop_back();
            }
        } else {
            components.push_back(current);
        }
        current.clear();
    };
    for (std::size_t i = 0; i < path.size(); ++i) {
        const auto byte = static_cast<unsigned char>(path[i]);
        if (IsShiftJisLeadByte(byte) && i + 1 < path.size()) {
            current.push_back(path[i]);
            current.push_back(path[i + 1]); // trail byte, whatever it looks like
            ++i;
        } else if (byte == '/' || byte == '\\') {
            finishComponent();
        } else {
            current.push_back(path[i]);
        }
    }
    finishComponent();

    std::string result;
    for (const std::string& component : components) {
        if (!result.empty()) {
            result.push_back('/');
        }
        result += component;
    }
    return result;
}

std::string JoinPackPath(std::string_view directory, std::string_view name)
{
    if (StartsWithSeparator(name) || directory.empty()) {
        return NormalisePackPath(name);
    }
    std::string joined(directory);
    joined.push_back('/');
    joined.append(name);
    return NormalisePackPath(joined);
}

std::string_view PackPathLeaf(std::string_view normalised)
{
    const std::size_t slash = normalised.rfind('/');
    return slash == std::string_view::npos ? normalised : normalised.substr(slash + 1);
}

} // namespace Lumora::Internal
