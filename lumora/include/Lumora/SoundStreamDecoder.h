// Lumora/SoundStreamDecoder.h: the sound decoder plug-in SDK.
//
// A decoder plug-in is a shared library "<Name>.lmp" beside the program with one unmangled
// export, CreateSoundStreamDecoder, that returns a new decoder. The engine hands the
// decoder a source stream (which the engine owns and keeps alive for the decoder's life),
// lets it find the sample data with ReadHeader, then pulls PCM bytes with Read. The engine
// owns a decoder until it calls Release.
//
// The virtual slot order of both classes is part of the plug-in boundary: do not reorder,
// insert or remove operations. Neither class has data members.
#pragma once

#include <cstdint>

namespace Lumora {

#pragma pack(push, 1)
// The format record of a PCM stream: the 18-byte layout of a WAVE format chunk.
struct SoundFormat {
    std::uint16_t formatTag;             // 1 = integer PCM
    std::uint16_t channels;              // 1 mono, 2 stereo
    std::uint32_t samplesPerSecond;      // frames per second, Hz
    std::uint32_t averageBytesPerSecond; // samplesPerSecond * blockAlign
    std::uint16_t blockAlign;            // bytes per frame (all channels)
    std::uint16_t bitsPerSample;         // 8 (unsigned) or 16 (signed little-endian)
    std::uint16_t extraSize;             // bytes of format-specific data that follow
};
#pragma pack(pop)
static_assert(sizeof(SoundFormat) == 18, "SoundFormat is the 18-byte format chunk");

// The byte stream a decoder reads, provided by the engine. Positions are in bytes from the
// start of the stream.
class IStreamSource {
public:
    // Total length of the stream in bytes. Decoders bound the sizes a file states by it, so
    // a forged size can neither allocate nor read beyond the stream.
    virtual std::int32_t GetSize() = 0;
    // Copies up to `count` bytes into `buffer`; returns the bytes delivered, fewer than
    // asked only at the end of the stream and 0 there.
    virtual std::int32_t Read(void* buffer, std::int32_t count) = 0;
    // Current position.
    virtual std::int32_t GetPosition() = 0;
    // Moves to an absolute position, clamped to the stream.
    virtual void Seek(std::int32_t position) = 0;
    // True when the position is at the end of the stream.
    virtual bool IsEnd() = 0;
    // Moves forward by `count` bytes, clamped to the end.
    virtual void Skip(std::int32_t count) = 0;

protected:
    ~IStreamSource() = default;
};

class ISoundStreamDecoder {
public:
    virtual ~ISoundStreamDecoder() = default;
    // Destroys this decoder.
    virtual void Release() = 0;
    // Stores the stream to decode; the decoder neither owns nor releases it.
    virtual void SetSource(IStreamSource* source) = 0;
    // Finds the sample data; true when it was found and the format can be asked for.
    virtual bool ReadHeader() = 0;
    // The format of the samples; valid while the decoder lives. True from ReadHeader does not
    // make the format playable (a WAVE file may place its data before any format, leaving
    // this record all zero): the engine refuses a stream with no channels, no rate or a
    // sample size it cannot mix.
    virtual const SoundFormat* GetFormat() = 0;
    // Fills `buffer` with up to `count` bytes of samples, starting over at the first sample
    // when the data ends; returns the bytes written, fewer than `count` only when there is
    // nothing to play (empty data, or a source that delivers nothing even from the start).
    virtual std::int32_t Read(void* buffer, std::int32_t count) = 0;
    // Moves to a byte offset within the sample data.
    virtual bool Seek(std::int32_t position) = 0;
    // Size of the sample data in bytes.
    virtual std::int32_t GetDataSize() = 0;
};

} // namespace Lumora

// The one export of a decoder plug-in.
extern "C" {
typedef Lumora::ISoundStreamDecoder* (*CreateSoundStreamDecoderFunction)();
}
