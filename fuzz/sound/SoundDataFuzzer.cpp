// Feeds arbitrary bytes to the sound module as an effect (WAVE or Ogg, by the data) and as
// OggVorbis music, then mixes a little of each headless. Refusals are expected; crashes,
// leaks and endless loops are not.
#include "SoundSystem.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

namespace {

class FuzzFile final : public Lumora::IFile {
public:
    FuzzFile(const std::uint8_t* data, std::size_t size) : bytes_(data, data + size) {}
    std::int32_t AddRef() override { return ++references_; }
    std::int32_t Release() override
    {
        std::int32_t left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }
    std::int32_t Read(void* buffer, std::int32_t size) override
    {
        if (size <= 0) {
            return 0;
        }
        std::int32_t count = std::min(size, GetSize() - position_);
        std::memcpy(buffer, bytes_.data() + position_, static_cast<std::size_t>(count));
        position_ += count;
        return count;
    }
    std::int32_t GetSize() override { return static_cast<std::int32_t>(bytes_.size()); }
    std::int32_t GetPosition() override { return position_; }
    std::int32_t Seek(std::int32_t position) override
    {
        position_ = std::clamp(position, 0, GetSize());
        return position_;
    }
    const char* GetName() override { return "fuzz.ogg"; }

private:
    ~FuzzFile() override = default;
    std::atomic<std::int32_t> references_{1};
    std::vector<std::uint8_t> bytes_;
    std::int32_t position_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool started = [] {
        Lumora::Internal::SetPluginDirectory(SOUND_GAME_DIR);
        return Lumora::Internal::StartSound(true);
    }();
    (void)started;
    if (size > (1u << 20)) {
        return 0;
    }
    auto* file = new FuzzFile(data, size);
    if (Lumora::ISound* effect = Lumora::Internal::CreateSound(file)) {
        effect->Play(0, 1);
        Lumora::Internal::MixHeadless(256);
        effect->Release();
    }
    if (Lumora::IStreamSound* music = Lumora::Internal::CreateStreamSound(file, "OggVorbis")) {
        music->Play(-1);
        Lumora::Internal::MixHeadless(256);
        music->Release();
    }
    file->Release();
    Lumora::Internal::TakeSoundEvents();
    return 0;
}
