// stageselect/StageCatalogue.h: the list of stages the stage select screen offers, with the
// best record, frog count and size shown for each.
//
// Two kinds: the five normal stages inside the data pack (engine files opened by the
// resource loader), and the extra stages, the "*.pzd" files in the folder
// "data/stage/extra" beside the program (those that ship) and in the player's own extra
// stage folder (see GameFolders.h), listed in name order. The screen owns one catalogue, builds
// it once when the loader is idle and drops it when it ends; nothing is cached between
// visits.
//
// Stage names are Shift-JIS bytes (code page 932), compared and stored byte for byte: the
// same bytes key the save database's records and are drawn by the game's font. Main
// thread only (the save database is used from the main thread).
#pragma once

#include "SaveDataManager.h"

#include <Lumora/IFile.h>

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

class ResourceManager;

// What the screen shows for one stage.
struct StageInfo {
    std::int32_t bestRecord = 0; // fewest turns so far; 0 = never cleared
    std::int32_t frogCount = 0;  // cells that start with a frozen frog
    std::uint8_t width = 0;      // columns, from the stage header
    std::uint8_t height = 0;     // rows, from the stage header
    // Fewest turns that clear it, or a mark: see StageFewestTurns.h (0 = not known yet).
    std::int32_t fewestTurns = 0;
    // The moves of the best record are stored (tomarugi.save's stage_best_moves): it can be
    // replayed.
    bool hasReplay = false;
};

inline constexpr std::size_t kNormalStageCount = 5;
inline constexpr std::size_t kStageNameCapacity = 260; // bytes, terminator included

// The five normal stage file names in display order, each a zero-terminated Shift-JIS
// field of 260 bytes. Made once, on first use.
const std::array<std::array<char, kStageNameCapacity>, kNormalStageCount>& NormalStageNames();

// Where the normal stages live inside the data pack, and the extra stages on disk.
inline constexpr const char* kNormalStageFolder = "stage/normal";
inline constexpr const char* kExtraStageFolder = "data/stage/extra";
inline constexpr const char* kStageFilePattern = "*.pzd";

struct StageCatalogue {
    StageCatalogue() = default;
    // Releases the normal stage files that arrived.
    ~StageCatalogue();
    StageCatalogue(const StageCatalogue&) = delete;
    StageCatalogue& operator=(const StageCatalogue&) = delete;

    // The normal stage files, one per NormalStageNames entry, filled by the loader; owned.
    std::array<Lumora::IFile*, kNormalStageCount> stageFiles{};
    // The stages in display order; the screen's cursor indexes it.
    std::vector<std::string> stageNames;
    // What is shown for each stage, by name (byte-wise order).
    std::map<std::string, StageInfo> stageInfos;
};

// Queues one engine-file load per normal stage ("stage/normal", in table order) into
// `catalogue.stageFiles`, on behalf of `owner` (the screen that holds the catalogue; see
// ResourceManager::AddRequestFor). A null loader leaves the slots empty.
void RequestNormalStageFiles(StageCatalogue& catalogue, ResourceManager* loader, const void* owner);

// Lists the five normal stages and reads each from its engine file; a file that did not
// arrive shows as a 0 x 0 stage with no frogs. Records come from the normal table (the
// lookup adds a 0 row for a stage seen the first time). Call once the loader is idle.
void BuildNormalCatalogue(StageCatalogue& catalogue);

// Lists the "*.pzd" entries of "data/stage/extra" and of the player's extra stage folder,
// a name in both once (the player's file is the one read), sorted by ExtraStageNameLess,
// and reads each; an entry that cannot be read shows as a 0 x 0 stage with no frogs.
// Records come from the extra table. Missing folders give an empty list.
void BuildExtraCatalogue(StageCatalogue& catalogue);

// The order of the extra list: the names' Shift-JIS bytes compared one by one, with ASCII
// letters compared regardless of case ("b.pzd" after "A.pzd"; the second byte of a
// two-byte character is never taken for a letter). Names that differ only in case follow
// byte order, so the list is the same on every run.
bool ExtraStageNameLess(const std::string& left, const std::string& right);
