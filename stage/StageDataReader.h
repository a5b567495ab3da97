// stage/StageDataReader.h: stage files (".pzd") and the two readers that load them.
//
// A stage is a grid of at most 255 x 255 cells; each cell has a floor code and a start
// object code. A reader object is at the same time the stage it read: after a read, its
// `width`, `height` and cell list are the stage.
//
// File layout, little-endian, packed, no trailer:
//     offset 0  u32  reserved   (held, never interpreted)
//     offset 4  u8   width      (columns, 0..255)
//     offset 5  u8   height     (rows, 0..255)
//     offset 6  u8[2] spare     (held, never interpreted)
//     offset 8  StageCell[width * height], row by row: cell i is at x = i % width, y = i / width
//
// The readers never refuse a file's contents: a file shorter than its header and cells reads
// as if it were padded with zero bytes, longer files have their tail ignored, and codes pass
// through unchanged. Callers decide what a stage means (see puzzle/PuzzleBoard.h). Only a
// file on disk larger than any stage can be (StageLargestFileSize) is refused, on its size
// and without a byte read: such a file is no stage, and reading it (a sparse file of
// gigabytes, say) would keep a reader busy for a long time.
//
//     StageDataReader stage;                       // 0 x 0
//     stage.ReadFromPath("data/stage/extra/a.pzd"); // OS path, UTF-8 on Linux
//     for (const StageCell& cell : stage.GetCells()) { ... }
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Lumora {
class IFile;
}

// Floor codes. Any non-zero floor is walkable; only 1 is drawn.
enum class StageFloor : std::int32_t {
    None = 0,  // a hole
    Floor = 1, // ice
};

// Start object codes. Other values place nothing.
enum class StageObject : std::int32_t {
    None = 0,
    PlayerStart = 1,
    FrozenFrog = 2,
    Icicle = 3,
};

// One cell as stored in the file: 8 bytes, two little-endian 32-bit integers.
struct StageCell {
    std::int32_t floor = 0;  // StageFloor code
    std::int32_t object = 0; // StageObject code

    bool operator==(const StageCell&) const = default;
};

// Bytes of the file header and of one cell.
inline constexpr std::size_t StageHeaderSize = 8;
inline constexpr std::size_t StageCellSize = 8;
// Bytes of the largest stage: the header and 255 x 255 cells (520 208).
inline constexpr std::size_t StageLargestFileSize = StageHeaderSize + 255 * 255 * StageCellSize;

class StageDataReader {
public:
    StageDataReader() = default;
    // Virtual so that a reader held by a base pointer is destroyed whole.
    virtual ~StageDataReader() = default;
    StageDataReader(const StageDataReader&) = default;
    StageDataReader& operator=(const StageDataReader&) = default;

    // Opens the plain file at `path` (an OS path; UTF-8 on Linux) and replaces the stage by
    // its contents. When the file cannot be opened, is no plain file (a folder, a named
    // pipe, a device) or is larger than StageLargestFileSize, the stage keeps everything it
    // held and false is returned; otherwise true, whatever the file held.
    virtual bool ReadFromPath(const char* path);

    // A copy of the cells in file order; after a complete read width * height of them.
    std::vector<StageCell> GetCells() const { return cells; }

    // Turns the bytes of a whole stage file into the stage, with the same zero padding as a
    // read from a file. Used by tools and tests that hold the bytes already.
    void ReadFromBytes(const std::uint8_t* bytes, std::size_t size);

    // The stage as the bytes of a ".pzd" file (header and width * height cells; missing
    // cells are written as zeros, surplus cells are left out).
    std::vector<std::uint8_t> ToBytes() const;

    std::uint32_t reserved = 0;
    std::uint8_t width = 0;
    std::uint8_t height = 0;
    std::uint8_t spare[2] = {0, 0};
    std::vector<StageCell> cells;

protected:
    // Stores a header decoded from its 8 bytes (zero-padded by the caller).
    void StoreHeader(const std::uint8_t (&header)[StageHeaderSize]);
};

// The same layout read through an engine file object (the data pack's stages).
class StageDataReaderLumora : public StageDataReader {
public:
    // Reads the stage at once from the file's current position. A null file reads nothing
    // and leaves the 0 x 0 stage of a new reader.
    explicit StageDataReaderLumora(Lumora::IFile* file);

    // Reads through `file->Read` from its current position and replaces the stage. The
    // file is neither rewound, closed nor released: its holder keeps it. A null file reads
    // nothing and leaves the stage unchanged.
    virtual void ReadFromStream(Lumora::IFile* file);
};
