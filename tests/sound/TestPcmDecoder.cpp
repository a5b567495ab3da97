// TestPcm.lmp: a decoder plug-in for the sound tests. Its files are "TPCM", an 18-byte format
// record and a 32-bit data size, then the samples, so a test can hand the engine any format,
// usable or not. Like the WAVE decoder, Read goes on from the first sample at the end.
#include <Lumora/SoundStreamDecoder.h>

#include <cstring>
#include <new>

namespace {

class TestPcmDecoder final : public Lumora::ISoundStreamDecoder {
public:
    void Release() override { delete this; }
    void SetSource(Lumora::IStreamSource* source) override { source_ = source; }

    bool ReadHeader() override
    {
        source_->Seek(0);
        char magic[4];
        if (source_->Read(magic, 4) != 4 || std::memcmp(magic, "TPCM", 4) != 0) {
            return false;
        }
        if (source_->Read(&format_, sizeof(format_)) != static_cast<std::int32_t>(sizeof(format_))) {
            return false;
        }
        if (source_->Read(&dataSize_, 4) != 4) {
            return false;
        }
        dataStart_ = source_->GetPosition();
        return true;
    }

    const Lumora::SoundFormat* GetFormat() override { return &format_; }

    std::int32_t Read(void* buffer, std::int32_t count) override
    {
        auto* out = static_cast<char*>(buffer);
        std::int32_t remaining = count;
        bool justRewound = false;
        while (remaining > 0) {
            std::int32_t got = source_->Read(out, remaining);
            if (got == 0) {
                if (justRewound) {
                    break;
                }
                Seek(0);
                justRewound = true;
                continue;
            }
            justRewound = false;
            out += got;
            remaining -= got;
        }
        return count - remaining;
    }

    bool Seek(std::int32_t position) override
    {
        source_->Seek(dataStart_ + position);
        return true;
    }

    std::int32_t GetDataSize() override { return dataSize_; }

private:
    Lumora::IStreamSource* source_ = nullptr;
    Lumora::SoundFormat format_{};
    std::int32_t dataSize_ = 0;
    std::int32_t dataStart_ = 0;
};

} // namespace

extern "C" __attribute__((visibility("default"))) Lumora::ISoundStreamDecoder* CreateSoundStreamDecoder()
{
    return new (std::nothrow) TestPcmDecoder();
}
