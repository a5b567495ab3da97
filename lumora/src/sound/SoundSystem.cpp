#include "SoundSystem.h"

#include "SoundInternal.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <thread>

namespace Lumora::Internal {

namespace {

constexpr std::uint32_t kHeadlessRate = 48000;
// Headless mixing feeds the streams, then mixes 10 ms, about one device buffer, and repeats.
constexpr std::int32_t kHeadlessChunkFrames = 480;
// An effect is held whole in memory: 64 MiB of PCM is about 6 minutes of 48 kHz stereo.
// Anything longer is music and belongs in a stream.
constexpr std::int64_t kLargestEffectBytes = 64ll << 20;
// How often the feeder tops up the stream rings (each holds half a second).
constexpr auto kFeederPeriod = std::chrono::milliseconds(5);

// Output state. `outputMutex` guards the device, the feeder thread and the headless flag
// against concurrent Start/Stop; the callback itself only takes the mixer lock.
std::mutex outputMutex;
bool headless = false;
SDL_AudioDeviceID device = 0;
bool audioSubsystemOpenedHere = false;
std::int32_t deviceChannels = 2;
std::vector<float> callbackScratch; // stereo frames, sized when the device opens
std::atomic<std::int64_t> deviceFramesMixed{0};

std::mutex eventMutex;
bool recordEvents = false;
std::vector<SoundEvent> events;

std::mutex lastMixMutex;
std::vector<float> lastMix;

// The stream feeder: one thread in device mode; headless mode feeds inline before each chunk.
std::mutex streamsMutex;
std::vector<StreamSound*> streams;
std::mutex feederWakeMutex;
std::condition_variable feederWake;
bool feederQuit = false;
std::thread feeder;

void FeedAllStreams()
{
    std::lock_guard lock(streamsMutex);
    for (StreamSound* stream : streams) {
        stream->Feed();
    }
}

void FeederLoop()
{
    std::unique_lock lock(feederWakeMutex);
    while (!feederQuit) {
        lock.unlock();
        FeedAllStreams();
        lock.lock();
        feederWake.wait_for(lock, kFeederPeriod);
    }
}

// The SDL audio callback: mixes into the preallocated scratch under the mixer lock and
// writes the device's channel layout. No allocation, no decoding.
void AudioCallback(void*, Uint8* stream, int length)
{
    auto* out = reinterpret_cast<float*>(stream);
    std::int32_t channels = deviceChannels;
    std::int32_t frames = length / static_cast<std::int32_t>(sizeof(float)) / channels;
    std::int32_t capacity = static_cast<std::int32_t>(callbackScratch.size() / 2);
    Mixer& mixer = TheMixer();
    while (frames > 0) {
        std::int32_t chunk = std::min(frames, capacity);
        {
            std::lock_guard lock(mixer.Mutex());
            mixer.MixLocked(callbackScratch.data(), chunk);
        }
        for (std::int32_t i = 0; i < chunk; ++i) {
            float left = callbackScratch[2 * i];
            float right = callbackScratch[2 * i + 1];
            if (channels == 1) {
                out[0] = 0.5f * (left + right);
            } else {
                out[0] = left;
                out[1] = right;
                for (std::int32_t c = 2; c < channels; ++c) {
                    out[c] = 0.0f;
                }
            }
            out += channels;
        }
        frames -= chunk;
        deviceFramesMixed.fetch_add(chunk, std::memory_order_relaxed);
    }
}

void CloseOutputLocked()
{
    if (feeder.joinable()) {
        {
            std::lock_guard lock(feederWakeMutex);
            feederQuit = true;
        }
        feederWake.notify_all();
        feeder.join();
    }
    if (device != 0) {
        SDL_CloseAudioDevice(device);
        device = 0;
    }
    if (audioSubsystemOpenedHere) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        audioSubsystemOpenedHere = false;
    }
    headless = false;
    deviceFramesMixed.store(0);
    std::lock_guard lock(eventMutex);
    recordEvents = false;
    events.clear();
}

PcmLayout LayoutOf(const SoundFormat& format)
{
    PcmLayout layout;
    layout.channels = format.channels;
    layout.bytesPerSample = format.bitsPerSample / 8;
    layout.rate = format.samplesPerSecond;
    return layout;
}

bool StartsWith(const std::uint8_t* bytes, const char* magic, bool ignoreCase)
{
    for (std::size_t i = 0; magic[i] != '\0'; ++i) {
        int a = bytes[i];
        int b = static_cast<unsigned char>(magic[i]);
        if (ignoreCase && a >= 'a' && a <= 'z') {
            a -= 'a' - 'A';
        }
        if (a != b) {
            return false;
        }
    }
    return true;
}

// The decoder, its source and its checked format, ready to read samples; nothing (and a
// line on stderr) when any step fails.
struct OpenedDecoder {
    std::unique_ptr<FileStreamSource> source;
    DecoderPointer decoder;
    PcmLayout layout;
    std::int64_t dataSize = 0;
};

bool OpenDecoder(IFile* file, const char* decoderName, const std::string& name, OpenedDecoder& opened)
{
    opened.decoder = CreateDecoder(decoderName, name.c_str());
    if (opened.decoder == nullptr) {
        return false;
    }
    opened.source = std::make_unique<FileStreamSource>(file);
    opened.decoder->SetSource(opened.source.get());
    if (!opened.decoder->ReadHeader()) {
        std::fprintf(stderr, "Lumora: sound \"%s\": %s.lmp cannot read it\n", name.c_str(), decoderName);
        return false;
    }
    const SoundFormat* format = opened.decoder->GetFormat();
    std::string problem = format != nullptr ? DescribeUnusableFormat(*format) : "no format";
    if (!problem.empty()) {
        std::fprintf(stderr, "Lumora: sound \"%s\": unusable format: %s\n", name.c_str(), problem.c_str());
        return false;
    }
    opened.layout = LayoutOf(*format);
    opened.dataSize = opened.decoder->GetDataSize();
    opened.dataSize -= opened.dataSize % opened.layout.FrameBytes(); // whole frames only
    if (opened.dataSize <= 0) {
        std::fprintf(stderr, "Lumora: sound \"%s\": it holds no samples\n", name.c_str());
        return false;
    }
    return true;
}

} // namespace

float GainFromPercent(float percent)
{
    if (!(percent > 0.0f)) { // also NaN
        return 0.0f;
    }
    float fraction = std::min(percent, 100.0f) / 100.0f;
    return fraction * fraction;
}

std::string DescribeUnusableFormat(const SoundFormat& format)
{
    char text[160];
    if (format.formatTag != 1) {
        std::snprintf(text, sizeof(text), "format tag %u is not integer PCM", format.formatTag);
    } else if (format.channels < 1 || format.channels > 8) {
        std::snprintf(text, sizeof(text), "%u channels (1 to 8 can be played)", format.channels);
    } else if (format.samplesPerSecond < 1000 || format.samplesPerSecond > 384000) {
        std::snprintf(text, sizeof(text), "%u frames per second (1000 to 384000 can be played)",
            format.samplesPerSecond);
    } else if (format.bitsPerSample != 8 && format.bitsPerSample != 16) {
        std::snprintf(text, sizeof(text), "%u bits per sample (8 or 16 can be played)", format.bitsPerSample);
    } else {
        return {};
    }
    return text;
}

std::string NameOfFile(IFile* file)
{
    const char* name = file->GetName();
    return name != nullptr ? name : "";
}

void RecordSoundEvent(SoundEvent::Kind kind, const std::string& name, std::int32_t loop, float volume)
{
    std::lock_guard lock(eventMutex);
    if (recordEvents) {
        events.push_back(SoundEvent{kind, name, loop, volume});
    }
}

void RegisterStream(StreamSound* stream)
{
    std::lock_guard lock(streamsMutex);
    streams.push_back(stream);
}

void UnregisterStream(StreamSound* stream)
{
    std::lock_guard lock(streamsMutex);
    std::erase(streams, stream);
}

void WakeFeeder()
{
    feederWake.notify_all();
}

bool StartSound(bool headlessOutput)
{
    std::lock_guard lock(outputMutex);
    CloseOutputLocked();
    if (headlessOutput) {
        headless = true;
        {
            std::lock_guard mixerLock(TheMixer().Mutex());
            TheMixer().SetOutputRateLocked(kHeadlessRate);
        }
        std::lock_guard eventLock(eventMutex);
        recordEvents = true;
        return true;
    }

    if (SDL_WasInit(SDL_INIT_AUDIO) == 0) {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            std::fprintf(stderr, "Lumora: sound: cannot start SDL audio (%s)\n", SDL_GetError());
            return false;
        }
        audioSubsystemOpenedHere = true;
    }
    SDL_AudioSpec wanted;
    SDL_zero(wanted);
    wanted.freq = 48000;
    wanted.format = AUDIO_F32SYS;
    wanted.channels = 2;
    wanted.samples = 512; // about 11 ms at 48 kHz
    wanted.callback = AudioCallback;
    SDL_AudioSpec obtained;
    SDL_zero(obtained);
    device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained,
        SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE);
    if (device == 0) {
        std::fprintf(stderr, "Lumora: sound: cannot open an audio device (%s)\n", SDL_GetError());
        CloseOutputLocked();
        return false;
    }
    deviceChannels = std::max<std::int32_t>(obtained.channels, 1);
    callbackScratch.assign(static_cast<std::size_t>(std::max<Uint16>(obtained.samples, 256)) * 2, 0.0f);
    {
        std::lock_guard mixerLock(TheMixer().Mutex());
        TheMixer().SetOutputRateLocked(static_cast<std::uint32_t>(obtained.freq));
    }
    {
        std::lock_guard wakeLock(feederWakeMutex);
        feederQuit = false;
    }
    feeder = std::thread(FeederLoop);
    deviceFramesMixed.store(0);
    SDL_PauseAudioDevice(device, 0);
    return true;
}

void StopSound()
{
    std::lock_guard lock(outputMutex);
    CloseOutputLocked();
}

void SetPluginDirectory(const char* directory)
{
    SetDecoderDirectory(directory);
}

std::int64_t GetDeviceFramesMixed()
{
    return deviceFramesMixed.load();
}

std::int32_t GetMixRate()
{
    std::lock_guard lock(TheMixer().Mutex());
    return static_cast<std::int32_t>(TheMixer().OutputRateLocked());
}

ISound* CreateSound(IFile* file)
{
    if (file == nullptr) {
        return nullptr;
    }
    std::string name = NameOfFile(file);
    std::uint8_t magic[4] = {0, 0, 0, 0};
    file->Seek(0);
    std::int32_t got = file->Read(magic, 4);
    file->Seek(0);
    if (got == 4 && StartsWith(magic, "RIFF", true)) {
        return CreateSoundWithDecoder(file, "Wave");
    }
    if (got == 4 && StartsWith(magic, "OggS", false)) {
        return CreateSoundWithDecoder(file, "OggVorbis");
    }
    std::fprintf(stderr, "Lumora: sound \"%s\": neither WAVE (RIFF) nor Ogg data\n", name.c_str());
    return nullptr;
}

ISound* CreateSoundWithDecoder(IFile* file, const char* decoderName)
{
    if (file == nullptr) {
        return nullptr;
    }
    std::string name = NameOfFile(file);
    OpenedDecoder opened;
    if (!OpenDecoder(file, decoderName, name, opened)) {
        return nullptr;
    }
    // Uncompressed RIFF data cannot be larger than its file: a bigger claim is a damaged or
    // cut-off file, which would otherwise be padded out by the decoder's looping.
    bool riff = decoderName != nullptr && std::strcmp(decoderName, "Wave") == 0;
    if (opened.dataSize > kLargestEffectBytes || (riff && opened.dataSize > file->GetSize())) {
        std::fprintf(stderr, "Lumora: sound \"%s\": claims %lld bytes of samples, more than it can hold\n",
            name.c_str(), static_cast<long long>(opened.dataSize));
        return nullptr;
    }
    std::vector<std::uint8_t> samples(static_cast<std::size_t>(opened.dataSize));
    std::int32_t read = opened.decoder->Read(samples.data(), static_cast<std::int32_t>(samples.size()));
    if (read <= 0) {
        std::fprintf(stderr, "Lumora: sound \"%s\": no samples could be decoded\n", name.c_str());
        return nullptr;
    }
    std::size_t whole = static_cast<std::size_t>(std::min<std::int64_t>(read, opened.dataSize));
    whole -= whole % static_cast<std::size_t>(opened.layout.FrameBytes());
    samples.resize(whole);
    if (whole == 0) {
        std::fprintf(stderr, "Lumora: sound \"%s\": no samples could be decoded\n", name.c_str());
        return nullptr;
    }
    return new SoundEffect(name, opened.layout, std::move(samples));
}

IStreamSound* CreateStreamSound(IFile* file, const char* decoderName)
{
    if (file == nullptr) {
        return nullptr;
    }
    std::string name = NameOfFile(file);
    OpenedDecoder opened;
    if (!OpenDecoder(file, decoderName, name, opened)) {
        return nullptr;
    }
    return new StreamSound(file, std::move(opened.source), std::move(opened.decoder), opened.layout,
        opened.dataSize);
}

void MixHeadless(std::int32_t frames)
{
    {
        std::lock_guard lock(outputMutex);
        if (!headless) {
            return;
        }
    }
    std::vector<float> mix(static_cast<std::size_t>(std::max(frames, 0)) * 2, 0.0f);
    Mixer& mixer = TheMixer();
    for (std::int32_t done = 0; done < frames; done += kHeadlessChunkFrames) {
        std::int32_t chunk = std::min(kHeadlessChunkFrames, frames - done);
        FeedAllStreams();
        std::lock_guard lock(mixer.Mutex());
        mixer.MixLocked(mix.data() + static_cast<std::size_t>(done) * 2, chunk);
    }
    std::lock_guard lock(lastMixMutex);
    lastMix = std::move(mix);
}

std::vector<SoundEvent> TakeSoundEvents()
{
    std::lock_guard lock(eventMutex);
    std::vector<SoundEvent> taken;
    taken.swap(events);
    return taken;
}

std::vector<float> GetLastMix()
{
    std::lock_guard lock(lastMixMutex);
    return lastMix;
}

SoundLevels GetLastMixLevels()
{
    std::lock_guard lock(lastMixMutex);
    SoundLevels levels;
    if (lastMix.empty()) {
        return levels;
    }
    double sumOfSquares = 0.0;
    for (float sample : lastMix) {
        levels.peak = std::max(levels.peak, std::fabs(sample));
        sumOfSquares += static_cast<double>(sample) * sample;
    }
    levels.rms = static_cast<float>(std::sqrt(sumOfSquares / static_cast<double>(lastMix.size())));
    return levels;
}

} // namespace Lumora::Internal
