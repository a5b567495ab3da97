// Shared helpers of the WAVE decoder tests: the built plug-in loaded as the engine loads it,
// an in-memory source stream with the engine's contract, and a builder for RIFF bytes.
#pragma once

#include <Lumora/SoundStreamDecoder.h>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace WaveTest {

using Bytes = std::vector<std::uint8_t>;

// The built Wave.lmp, opened once per test program with dlopen and dlsym.
inline CreateSoundStreamDecoderFunction LoadCreateFunction()
{
    static void* library = dlopen(WAVE_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        throw std::runtime_error(std::string("cannot load Wave.lmp: ") + dlerror());
    }
    auto create = reinterpret_cast<CreateSoundStreamDecoderFunction>(dlsym(library, "CreateSoundStreamDecoder"));
    if (create == nullptr) {
        throw std::runtime_error("Wave.lmp has no CreateSoundStreamDecoder");
    }
    return create;
}

struct ReleaseDecoder {
    void operator()(Lumora::ISoundStreamDecoder* decoder) const { decoder->Release(); }
};
using DecoderPtr = std::unique_ptr<Lumora::ISoundStreamDecoder, ReleaseDecoder>;

inline DecoderPtr CreateDecoder()
{
    return DecoderPtr(LoadCreateFunction()());
}

// A source stream over bytes in memory that keeps the engine's promises: Read delivers fewer
// bytes than asked only at the end, Seek and Skip clamp to the stream. `callLimit` bounds the
// calls it answers so that a decoder that spins fails the test instead of hanging it.
class MemoryStreamSource final : public Lumora::IStreamSource {
public:
    explicit MemoryStreamSource(Bytes content) : bytes(std::move(content)) {}

    // After this, every Read delivers nothing, as a source whose device failed would.
    void FailReads() { failing = true; }

    std::int32_t GetSize() override { return static_cast<std::int32_t>(bytes.size()); }
    std::int32_t Read(void* buffer, std::int32_t count) override
    {
        CountCall();
        if (failing || count <= 0) {
            return 0;
        }
        const auto n = std::min<std::size_t>(static_cast<std::size_t>(count), bytes.size() - position);
        if (n == 0) {
            return 0; // at the end, or no bytes at all (data() may be null)
        }
        std::memcpy(buffer, bytes.data() + position, n);
        position += n;
        return static_cast<std::int32_t>(n);
    }
    std::int32_t GetPosition() override
    {
        CountCall();
        return static_cast<std::int32_t>(position);
    }
    void Seek(std::int32_t to) override
    {
        CountCall();
        position = static_cast<std::size_t>(std::clamp<std::int64_t>(to, 0, GetSize()));
    }
    bool IsEnd() override { return position == bytes.size(); }
    void Skip(std::int32_t count) override
    {
        CountCall();
        position = static_cast<std::size_t>(
            std::clamp<std::int64_t>(static_cast<std::int64_t>(position) + count, 0, GetSize()));
    }

private:
    void CountCall()
    {
        if (++calls > callLimit) {
            throw std::runtime_error("decoder keeps using a source that has nothing for it");
        }
    }

    static constexpr std::int64_t callLimit = 1000000;
    Bytes bytes;
    std::size_t position = 0;
    bool failing = false;
    std::int64_t calls = 0;
};

inline void Append32(Bytes& out, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

inline void Append16(Bytes& out, std::uint16_t value)
{
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

inline void AppendTag(Bytes& out, const char* tag)
{
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(tag[i]));
    }
}

// One chunk: identifier, stated size (the payload's unless given), payload, and the zero pad
// byte after an odd payload unless `pad` is false.
inline Bytes Chunk(const char* identifier, const Bytes& payload, bool pad = true)
{
    Bytes out;
    AppendTag(out, identifier);
    Append32(out, static_cast<std::uint32_t>(payload.size()));
    out.insert(out.end(), payload.begin(), payload.end());
    if (pad && payload.size() % 2 == 1) {
        out.push_back(0);
    }
    return out;
}

// A chunk header whose stated size is a lie; nothing follows it but what the caller appends.
inline Bytes ChunkHeader(const char* identifier, std::uint32_t statedSize)
{
    Bytes out;
    AppendTag(out, identifier);
    Append32(out, statedSize);
    return out;
}

// The 16-byte body of a "fmt " chunk (no extra-size field), as most writers emit it.
inline Bytes FormatBody(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits)
{
    Bytes out;
    const auto blockAlign = static_cast<std::uint16_t>(channels * bits / 8);
    Append16(out, tag);
    Append16(out, channels);
    Append32(out, rate);
    Append32(out, rate * blockAlign);
    Append16(out, blockAlign);
    Append16(out, bits);
    return out;
}

// "RIFF" <size> "WAVE" followed by the chunks, with the magic words as given.
inline Bytes Riff(std::initializer_list<Bytes> chunks, const char* riff = "RIFF", const char* wave = "WAVE")
{
    Bytes body;
    AppendTag(body, wave);
    for (const Bytes& chunk : chunks) {
        body.insert(body.end(), chunk.begin(), chunk.end());
    }
    Bytes out;
    AppendTag(out, riff);
    Append32(out, static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// `size` sample bytes that differ from their neighbours, so a wrong offset shows.
inline Bytes Samples(std::size_t size, std::uint8_t seed = 1)
{
    Bytes out(size);
    for (std::size_t i = 0; i < size; ++i) {
        out[i] = static_cast<std::uint8_t>(seed + i * 7 + i / 251);
    }
    return out;
}

inline Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t count)
{
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                 bytes.begin() + static_cast<std::ptrdiff_t>(from + count));
}

// A decoder over `file` whose header has been read; the test fails if it was refused.
struct OpenedWave {
    explicit OpenedWave(Bytes file) : source(std::move(file)), decoder(CreateDecoder())
    {
        decoder->SetSource(&source);
        headerFound = decoder->ReadHeader();
    }
    Bytes Read(std::int32_t count)
    {
        Bytes out(static_cast<std::size_t>(std::max(count, 0)));
        const std::int32_t got = decoder->Read(out.data(), count);
        out.resize(static_cast<std::size_t>(std::max(got, 0)));
        return out;
    }

    MemoryStreamSource source;
    DecoderPtr decoder;
    bool headerFound = false;
};

} // namespace WaveTest
