// stageselect/StageFewestTurns.cpp: the build-time table and the run-time worker.
#include "StageFewestTurns.h"

#include "PuzzleBoard.h"
#include "StageDataReader.h"

#include <Lumora/Text.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

// Made at build time from the compiled normal stages (NormalStageFewestTurns.cpp).
struct NormalFewestTurnsEntry {
    const char* name; // UTF-8 file name
    std::int32_t fewestTurns;
};
extern const NormalFewestTurnsEntry kNormalFewestTurns[];
extern const std::size_t kNormalFewestTurnsCount;

namespace {

// Answers are stored in batches of this many, or when nothing is left to search.
constexpr std::size_t kStoreBatch = 64;

// Reads the whole file and hashes it. False when it is not a plain file (as the game's
// reader, it never opens a named pipe, which would block until a writer came), is larger
// than the largest stage (refused on its size, unread, as the game's reader refuses it), or
// cannot be opened, or when `stop` was set while it was read.
bool ReadStageFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& hash,
                   const std::atomic<bool>& stop)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(std::filesystem::path(path), error)) {
        return false;
    }
    const std::uintmax_t fileSize = std::filesystem::file_size(std::filesystem::path(path), error);
    if (error || fileSize > StageLargestFileSize) {
        return false;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return false;
    }
    std::uint64_t value = 0xCBF29CE484222325ull;
    std::size_t size = 0;
    std::vector<char> chunk(64 * 1024);
    bytes.clear();
    while (file) {
        if (stop.load(std::memory_order_relaxed)) {
            return false;
        }
        file.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        const auto got = static_cast<std::size_t>(file.gcount());
        for (std::size_t i = 0; i < got; ++i) {
            value = (value ^ static_cast<std::uint8_t>(chunk[i])) * 0x100000001B3ull;
        }
        bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(got));
        size += got;
        if (size > StageLargestFileSize) {
            return false; // it grew past any stage since its size was read
        }
    }
    // The same text StageFileHash makes for the whole file in memory.
    char text[48];
    std::snprintf(text, sizeof text, "%zu:%016llx", size, static_cast<unsigned long long>(value));
    hash = text;
    return true;
}

} // namespace

std::int32_t NormalStageFewestTurns(const std::string& name)
{
    for (std::size_t i = 0; i < kNormalFewestTurnsCount; ++i) {
        if (Lumora::Utf8ToShiftJis(kNormalFewestTurns[i].name) == name) {
            return kNormalFewestTurns[i].fewestTurns;
        }
    }
    return kFewestTurnsNotKnown;
}

std::int32_t SolveStageBytes(const std::uint8_t* bytes, std::size_t size, const SolveOptions& options)
{
    StageDataReader stage;
    stage.ReadFromBytes(bytes, size);
    PuzzleBoard board;
    board.BuildBoard(stage);
    if (board.tiles.empty() || board.frogs.empty()) {
        return kFewestTurnsUnclearable; // the puzzle screen refuses to play it
    }
    const SolveResult result = SolvePuzzle(board, options);
    switch (result.outcome) {
    case SolveOutcome::Solved:
        return static_cast<std::int32_t>(std::max<std::size_t>(result.moves.size(), 1));
    case SolveOutcome::Unsolvable:
        return kFewestTurnsUnclearable;
    default:
        return kFewestTurnsBeyondBudget;
    }
}

StageSolverWorker::StageSolverWorker(std::int32_t kind_, std::vector<StageSolveJob> jobs,
                                     std::vector<FewestTurnsRow> cache, const SolveOptions& options_,
                                     std::function<void()> onThreadStart, std::size_t cursor_)
    : kind(kind_), options(options_), pending(std::move(jobs)), cursor(cursor_)
{
    options.cancel = &stopping;
    for (FewestTurnsRow& row : cache) {
        cached[row.name] = {std::move(row.fileHash), row.fewestTurns};
    }
    thread = std::thread([this, onThreadStart = std::move(onThreadStart)] {
        if (onThreadStart) {
            onThreadStart();
        }
        Run();
    });
}

StageSolverWorker::~StageSolverWorker()
{
    stopping.store(true);
    wake.notify_all();
    thread.join();
}

std::vector<std::pair<std::size_t, std::int32_t>> StageSolverWorker::TakeAnswers()
{
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<std::pair<std::size_t, std::int32_t>> taken;
    taken.swap(answers);
    return taken;
}

bool StageSolverWorker::IsBusy() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return working;
}

void StageSolverWorker::Answer(const StageSolveJob& job, std::int32_t value)
{
    std::lock_guard<std::mutex> lock(mutex);
    answers.emplace_back(job.index, value);
}

void StageSolverWorker::StoreWritten(bool all)
{
    if (unstored.empty() || (!all && unstored.size() < kStoreBatch)) {
        return;
    }
    // A failure loses nothing but time: the stages are searched again on a later visit.
    StoreFewestTurns(unstored);
    unstored.clear();
}

void StageSolverWorker::Run()
{
    std::vector<std::uint8_t> bytes;
    std::string hash;
    while (!stopping.load()) {
        StageSolveJob job;
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (pending.empty()) {
                break;
            }
            const std::size_t at = cursor.load(std::memory_order_relaxed);
            const auto distance = [at](const StageSolveJob& candidate) {
                return candidate.index > at ? candidate.index - at : at - candidate.index;
            };
            const auto nearest = std::min_element(pending.begin(), pending.end(),
                                                  [&](const StageSolveJob& a, const StageSolveJob& b) {
                                                      return distance(a) < distance(b);
                                                  });
            job = std::move(*nearest);
            pending.erase(nearest);
        }
        if (!ReadStageFile(job.path, bytes, hash, stopping)) {
            if (stopping.load()) {
                break;
            }
            Answer(job, kFewestTurnsUnclearable); // the catalogue shows it as an empty stage
            continue;
        }
        const auto found = cached.find(job.name);
        if (found != cached.end() && found->second.first == hash &&
            (found->second.second >= 1 || found->second.second == kFewestTurnsUnclearable ||
             found->second.second == kFewestTurnsBeyondBudget)) {
            Answer(job, found->second.second);
            continue;
        }
        const std::int32_t value = SolveStageBytes(bytes.data(), bytes.size(), options);
        if (stopping.load()) {
            break; // cancelled half-way: no answer, nothing stored for it
        }
        Answer(job, value);
        unstored.push_back({kind, job.name, hash, value});
        StoreWritten(false);
    }
    StoreWritten(true);
    std::lock_guard<std::mutex> lock(mutex);
    working = false;
}
