#include "StageFiles.h"

#include <Lumora/Directory.h>
#include <Lumora/Text.h>

#include <cstdio>
#include <filesystem>
#include <string_view>
#include <system_error>

std::size_t StageNameListWidth(const std::string& shiftJis)
{
    std::size_t width = 0;
    for (std::size_t i = 0; i < shiftJis.size(); ++i) {
        const auto byte = static_cast<unsigned char>(shiftJis[i]);
        if (Lumora::IsShiftJisLeadByte(byte) && i + 1 < shiftJis.size()) {
            width += 32;
            ++i;
        } else if (std::string_view("MWmw@%&").find(static_cast<char>(byte)) != std::string_view::npos) {
            width += 28;
        } else {
            width += 16;
        }
    }
    return width;
}

bool CheckStageName(const std::string& utf8, std::string& shiftJis, std::string& message)
{
    shiftJis.clear();
    message.clear();
    if (utf8.find_first_not_of(' ') == std::string::npos) {
        message = "なまえを いれてください (type a name)";
        return false;
    }
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            message = "せいぎょもじは つかえません (no control characters)";
            return false;
        }
        if (c == '/' || c == '\\') {
            message = "「/」と「\\」は つかえません (no / or \\)";
            return false;
        }
    }
    if (utf8.front() == '.') {
        message = "「.」で はじめられません (cannot start with .)";
        return false;
    }
    std::string converted;
    if (!Lumora::TryUtf8ToShiftJis(utf8, converted)) {
        message = "つかえない もじが あります (a character Shift-JIS lacks)";
        return false;
    }
    if (StageNameListWidth(converted) > kStageListLinePixels) {
        message = "なまえが ながすぎます (name too long)";
        return false;
    }
    shiftJis = std::move(converted);
    return true;
}

std::string NextFreeStageName(const std::function<bool(const std::string& fileName)>& taken)
{
    const std::string stem = Lumora::Utf8ToShiftJis("マイステージ ");
    for (int number = 1; number <= 999; ++number) {
        char digits[8];
        std::snprintf(digits, sizeof digits, "%03d", number);
        const std::string name = stem + digits;
        if (!taken(name + ".pzd")) {
            return name;
        }
    }
    return {};
}

bool SaveStageFile(const std::string& folder, const std::string& shiftJisName, const StageDataReader& stage,
                   std::string& message)
{
    message.clear();
    if (folder.empty()) {
        message = "ほぞんできません: ほぞんさきが ありません (no folder to save in)";
        return false;
    }
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        message = "ほぞんできません: フォルダが つくれません (cannot make " + folder + ")";
        return false;
    }
    const std::vector<std::uint8_t> bytes = stage.ToBytes();
    std::string problem;
    const std::string path = folder + "/" + Lumora::ShiftJisToUtf8(shiftJisName) + ".pzd";
    if (!Lumora::ReplaceFileAtomically(path, bytes.data(), bytes.size(), problem)) {
        message = "ほぞんできません: " + problem;
        return false;
    }
    return true;
}
