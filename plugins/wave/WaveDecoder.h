// WaveDecoder: streams uncompressed PCM samples out of a RIFF WAVE file for the engine.
//
// The engine creates a decoder through the plug-in's export, hands it a source stream with
// SetSource, calls ReadHeader to find the sample data, then pulls sample bytes with Read.
// Read plays the data as an endless loop: when the "data" chunk is exhausted it starts over
// at the first sample byte, so every call fills the whole buffer unless there is nothing to
// play at all (then it returns what it has, possibly 0, instead of spinning).
//
// What the decoder leaves to the caller:
// - The source stream belongs to the engine; the decoder neither adds a reference nor
//   releases it, and the engine keeps it alive for as long as the decoder may use it.
// - ReadHeader accepts format tag 1 (integer PCM) with any channel count and sample size,
//   and reports true when a "data" chunk was found. It does not judge whether the format is
//   playable: a "data" chunk that comes before any "fmt " chunk yields true with the format
//   record all zero. The engine must refuse to play a stream whose format is unusable (no
//   channels, no rate, a sample size other than 8 or 16 bits).
//
// Sizes and positions are in bytes. Sizes read from the file are never trusted: every chunk
// is bounded by what the source still holds before it is used, so a damaged or hostile file
// can neither make the decoder allocate nor move it backwards.
#pragma once

#include <Lumora/SoundStreamDecoder.h>

#include <cstdint>

namespace Wave {

class WaveDecoder final : public Lumora::ISoundStreamDecoder {
public:
    WaveDecoder() = default;
    ~WaveDecoder() override = default;

    WaveDecoder(const WaveDecoder&) = delete;
    WaveDecoder& operator=(const WaveDecoder&) = delete;

    // Destroys this decoder; the engine's only way to end it.
    void Release() override;
    // Stores the stream to decode; nothing is read yet.
    void SetSource(Lumora::IStreamSource* source) override;
    // Walks the RIFF chunks from position 0; true when the sample data was found, and the
    // source then stands at its first byte. Each call starts over and forgets what an earlier
    // call found; after false the decoder holds an empty format and no data.
    bool ReadHeader() override;
    // The format record copied from the "fmt " chunk; bytes the chunk did not hold are 0.
    const Lumora::SoundFormat* GetFormat() override;
    // Fills `buffer` with `count` sample bytes, looping at the end of the data; returns the
    // bytes written: `count`, or fewer only when there is no data to play (0 for count <= 0).
    std::int32_t Read(void* buffer, std::int32_t count) override;
    // Moves to byte `position` of the sample data, clamped to the data; always true.
    bool Seek(std::int32_t position) override;
    // The size of the sample data in bytes, as the "data" chunk states it but never more
    // than the source holds.
    std::int32_t GetDataSize() override;

private:
    // Reads up to `count` bytes, retrying short reads; returns the bytes delivered.
    std::int32_t ReadFully(void* buffer, std::int32_t count);
    // Reads a 32-bit little-endian chunk size; false when the stream ends first.
    bool ReadChunkSize(std::uint32_t& size);
    // The chunk size limited to the bytes left in the source from its current position.
    std::int32_t BoundBySource(std::uint32_t declaredSize);
    // Reads the next chunk identifier, passing over one zero pad byte after a chunk of odd
    // size; false when the stream ends first.
    bool ReadChunkIdentifier(char identifier[4], bool afterOddChunk);
    // Copies the start of a "fmt " chunk of `chunkSize` bytes into the format record and
    // passes over the rest; false when the format is not PCM.
    bool ReadFormatChunk(std::int32_t chunkSize);

    Lumora::IStreamSource* source = nullptr; // not owned
    alignas(4) Lumora::SoundFormat format{}; // little-endian "fmt " chunk, fields aligned
    std::int32_t dataStart = 0;              // source position of the first sample byte
    std::int32_t dataSize = 0;               // bytes of sample data
};

} // namespace Wave
