#include "StageCatalogue.h"

#include "CurrentStage.h"
#include "GameFolders.h"
#include "ResourceManager.h"
#include "StageDataReader.h"

#include <Lumora/Directory.h>
#include <Lumora/Text.h>

#include <algorithm>
#include <cstring>

namespace {

// The table in UTF-8 as written here; the game keeps the Shift-JIS bytes.
constexpr const char* kNormalStageNamesUtf8[kNormalStageCount] = {
    "練習問題１.pzd", "練習問題２.pzd", "体験版Easy.pzd", "体験版Normal.pzd", "体験版Hard.pzd",
};

// The shown values of one stage that has been read, but for its record.
StageInfo ReadStageInfo(const StageDataReader& stage)
{
    StageInfo info;
    info.frogCount = static_cast<std::int32_t>(
        std::count_if(stage.cells.begin(), stage.cells.end(), [](const StageCell& cell) {
            return cell.object == static_cast<std::int32_t>(StageObject::FrozenFrog);
        }));
    info.width = stage.width;
    info.height = stage.height;
    return info;
}

// Looks up the records of the first infos.size() listed stages at once (one opening of the
// save file and one sync for all the rows of stages seen the first time) and inserts the
// shown values by name. The first insertion of a name stays (two directory entries cannot
// share a name, but the table could).
void AddStageInfos(StageCatalogue& catalogue, std::vector<StageInfo>& infos)
{
    const std::size_t count = std::min(infos.size(), catalogue.stageNames.size());
    const std::vector<std::string> names(catalogue.stageNames.begin(),
                                         catalogue.stageNames.begin() + static_cast<std::ptrdiff_t>(count));
    SaveDataManager save;
    const std::vector<std::int32_t> records = save->GetBestRecords(currentStageKind, names);
    const std::vector<bool> replays = save->HaveBestMoves(currentStageKind, names);
    for (std::size_t i = 0; i < count; ++i) {
        infos[i].bestRecord = records[i];
        infos[i].hasReplay = replays[i] && records[i] > 0;
        catalogue.stageInfos.emplace(catalogue.stageNames[i], infos[i]);
    }
}

} // namespace

const std::array<std::array<char, kStageNameCapacity>, kNormalStageCount>& NormalStageNames()
{
    static const auto names = [] {
        std::array<std::array<char, kStageNameCapacity>, kNormalStageCount> table{};
        for (std::size_t i = 0; i < kNormalStageCount; ++i) {
            const std::string shiftJis = Lumora::Utf8ToShiftJis(kNormalStageNamesUtf8[i]);
            std::memcpy(table[i].data(), shiftJis.data(), std::min(shiftJis.size(), kStageNameCapacity - 1));
        }
        return table;
    }();
    return names;
}

StageCatalogue::~StageCatalogue()
{
    for (Lumora::IFile*& file : stageFiles) {
        Lumora::SafeRelease(file);
    }
}

void RequestNormalStageFiles(StageCatalogue& catalogue, ResourceManager* loader, const void* owner)
{
    const auto& names = NormalStageNames();
    for (std::size_t i = 0; i < kNormalStageCount; ++i) {
        Lumora::SafeRelease(catalogue.stageFiles[i]);
        if (loader != nullptr) {
            loader->AddRequestFor(owner, new LoadRequest(LoadOptions{}, kNormalStageFolder, names[i].data(),
                                                        &catalogue.stageFiles[i]));
        }
    }
}

void BuildNormalCatalogue(StageCatalogue& catalogue)
{
    for (const auto& name : NormalStageNames()) {
        catalogue.stageNames.emplace_back(name.data());
    }
    std::vector<StageInfo> infos;
    for (std::size_t i = 0; i < catalogue.stageNames.size() && i < kNormalStageCount; ++i) {
        const StageDataReaderLumora stage(catalogue.stageFiles[i]);
        infos.push_back(ReadStageInfo(stage));
    }
    AddStageInfos(catalogue, infos);
}

void BuildExtraCatalogue(StageCatalogue& catalogue)
{
    std::vector<std::string> names = Lumora::FindFiles(kExtraStageFolder, kStageFilePattern);
    if (const std::string playerStages = GetPlayerExtraStageFolder(); !playerStages.empty()) {
        for (std::string& name : Lumora::FindFilesInFolder(playerStages, kStageFilePattern)) {
            names.push_back(std::move(name));
        }
    }
    // Exact duplicates (a name in both folders) sit together once sorted; one stays.
    std::sort(names.begin(), names.end(), ExtraStageNameLess);
    names.erase(std::unique(names.begin(), names.end()), names.end());
    for (std::string& name : names) {
        catalogue.stageNames.push_back(std::move(name));
    }
    std::vector<StageInfo> infos;
    infos.reserve(catalogue.stageNames.size());
    for (const std::string& name : catalogue.stageNames) {
        StageDataReader stage;
        stage.ReadFromPath(ExtraStageFilePath(name).c_str());
        infos.push_back(ReadStageInfo(stage));
    }
    AddStageInfos(catalogue, infos);
}

bool ExtraStageNameLess(const std::string& left, const std::string& right)
{
    // While the names agree, their character boundaries agree too, so one flag says for
    // both whether the byte at hand starts a character.
    auto fold = [](unsigned char byte) {
        return (byte >= 'A' && byte <= 'Z') ? static_cast<unsigned char>(byte + ('a' - 'A')) : byte;
    };
    bool secondByte = false;
    const std::size_t common = std::min(left.size(), right.size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto a = static_cast<unsigned char>(left[i]);
        const auto b = static_cast<unsigned char>(right[i]);
        const unsigned char foldedA = secondByte ? a : fold(a);
        const unsigned char foldedB = secondByte ? b : fold(b);
        if (foldedA != foldedB) {
            return foldedA < foldedB;
        }
        secondByte = !secondByte && Lumora::IsShiftJisLeadByte(a);
    }
    if (left.size() != right.size()) {
        return left.size() < right.size();
    }
    return left < right; // the same but for case: byte order, so the list never varies
}
