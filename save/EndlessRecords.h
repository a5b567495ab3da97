// save/EndlessRecords.h: records of endless boards (table result_stage_endless).
//
// Keyed by the board's ID, with its best record, its fewest turns and when it was last
// started. The same rules as the stage records (SaveDataManager.h): each call opens the save
// file and closes it again, a file without the table gains it (the schema's repair), and a
// record write keeps the better value in the statement itself, so that a worse record never
// replaces a better one, whoever wrote it. Main thread only (it reads the save file path).
#pragma once

#include "SaveDataManager.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct EndlessRecordRow {
    std::string boardId;
    std::int32_t bestRecord = 0;  // 0: not cleared yet
    std::int32_t fewestTurns = 0;
    std::int64_t lastPlayed = 0;  // seconds since 1970, UTC
};

// Notes that the board was started at `now`: makes its row (record 0) when it has none,
// sets its fewest turns and last played. False when the file could not be written.
bool NoteEndlessPlayed(const std::string& boardId, std::int32_t fewestTurns, std::int64_t now);
// The board's best record; 0 when it has none or has no row.
std::int32_t GetEndlessBestRecord(const std::string& boardId);
// Stores `record` when it beats the one in the file (lower, or the stored one is 0 or less);
// a board without a row gets one. The answer says what the file holds now.
RecordStore SetEndlessBestRecord(const std::string& boardId, std::int32_t record);
// The boards started most recently, newest first, at most `limit` of them.
std::vector<EndlessRecordRow> LoadRecentEndless(std::size_t limit);
// True when the board has a row (it was started before).
bool IsEndlessBoardKnown(const std::string& boardId);
