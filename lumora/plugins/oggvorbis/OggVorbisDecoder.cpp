// OggVorbis.lmp: decodes an Ogg Vorbis stream into 16-bit signed little-endian PCM with the
// stream's own channel count and rate, through libvorbisfile reading the engine's source.
//
// Like the WAVE decoder, Read never runs dry on a good stream: when the last sample has been
// delivered it goes on from the first one, so music loops without a gap. Positions (Seek,
// GetDataSize) are in bytes of that PCM. A chained stream whose links differ in channels or
// rate is refused by ReadHeader, since one format record cannot describe it.
#include <Lumora/SoundStreamDecoder.h>

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <new>

namespace {

using Lumora::IStreamSource;
using Lumora::SoundFormat;

size_t ReadFromSource(void* buffer, size_t size, size_t count, void* source)
{
    if (size == 0) {
        return 0;
    }
    size_t bytes = std::min<size_t>(size * count, INT_MAX);
    std::int32_t got = static_cast<IStreamSource*>(source)->Read(buffer, static_cast<std::int32_t>(bytes));
    return got > 0 ? static_cast<size_t>(got) / size : 0;
}

int SeekInSource(void* source, ogg_int64_t offset, int whence)
{
    auto* stream = static_cast<IStreamSource*>(source);
    ogg_int64_t base = 0;
    if (whence == SEEK_CUR) {
        base = stream->GetPosition();
    } else if (whence == SEEK_END) {
        base = stream->GetSize();
    }
    ogg_int64_t target = base + offset;
    if (target < 0 || target > stream->GetSize()) {
        return -1;
    }
    stream->Seek(static_cast<std::int32_t>(target));
    return 0;
}

long TellSource(void* source)
{
    return static_cast<IStreamSource*>(source)->GetPosition();
}

class OggVorbisDecoder final : public Lumora::ISoundStreamDecoder {
public:
    ~OggVorbisDecoder() override { Close(); }

    void Release() override { delete this; }

    void SetSource(IStreamSource* source) override
    {
        Close();
        source_ = source;
    }

    bool ReadHeader() override
    {
        Close();
        format_ = SoundFormat{};
        totalFrames_ = 0;
        if (source_ == nullptr) {
            return false;
        }
        source_->Seek(0);
        ov_callbacks callbacks{ReadFromSource, SeekInSource, nullptr, TellSource};
        if (ov_open_callbacks(source_, &file_, nullptr, 0, callbacks) != 0) {
            return false; // ov_open_callbacks cleans up after itself on failure
        }
        open_ = true;
        vorbis_info* first = ov_info(&file_, 0);
        if (first == nullptr || first->channels < 1 || first->channels > 255 || first->rate <= 0) {
            Close();
            return false;
        }
        for (long link = 1; link < ov_streams(&file_); ++link) {
            vorbis_info* info = ov_info(&file_, static_cast<int>(link));
            if (info == nullptr || info->channels != first->channels || info->rate != first->rate) {
                Close();
                return false;
            }
        }
        ogg_int64_t frames = ov_pcm_total(&file_, -1);
        if (frames < 0) {
            Close();
            return false;
        }
        totalFrames_ = frames;
        format_.formatTag = 1;
        format_.channels = static_cast<std::uint16_t>(first->channels);
        format_.samplesPerSecond = static_cast<std::uint32_t>(first->rate);
        format_.blockAlign = static_cast<std::uint16_t>(first->channels * 2);
        format_.averageBytesPerSecond = format_.samplesPerSecond * format_.blockAlign;
        format_.bitsPerSample = 16;
        format_.extraSize = 0;
        return true;
    }

    const SoundFormat* GetFormat() override { return &format_; }

    std::int32_t Read(void* buffer, std::int32_t count) override
    {
        if (!open_ || count <= 0) {
            return 0;
        }
        auto* out = static_cast<char*>(buffer);
        std::int32_t remaining = count;
        bool justRewound = false;
        int holes = 0;
        while (remaining > 0) {
            int link = 0;
            long got = ov_read(&file_, out, remaining, 0, 2, 1, &link);
            if (got == OV_HOLE && ++holes < 64) {
                continue; // a gap in the pages: vorbisfile resynchronises on the next call
            }
            if (got < 0) {
                break; // damaged beyond repair: deliver what there is
            }
            if (got == 0) {
                // The end: go on from the first sample, unless there is nothing to play at all.
                if (justRewound || ov_pcm_seek(&file_, 0) != 0) {
                    break;
                }
                justRewound = true;
                continue;
            }
            justRewound = false;
            out += got;
            remaining -= static_cast<std::int32_t>(got);
        }
        return count - remaining;
    }

    bool Seek(std::int32_t position) override
    {
        if (!open_ || position < 0 || format_.blockAlign == 0) {
            return false;
        }
        ogg_int64_t frame = position / format_.blockAlign;
        return ov_pcm_seek(&file_, std::min(frame, totalFrames_)) == 0;
    }

    std::int32_t GetDataSize() override
    {
        if (!open_) {
            return 0;
        }
        // Streams longer than 2 GiB of PCM (hours of music) report what fits.
        ogg_int64_t bytes = totalFrames_ * format_.blockAlign;
        ogg_int64_t largest = INT32_MAX - INT32_MAX % format_.blockAlign;
        return static_cast<std::int32_t>(std::min(bytes, largest));
    }

private:
    void Close()
    {
        if (open_) {
            ov_clear(&file_);
            open_ = false;
        }
    }

    IStreamSource* source_ = nullptr;
    OggVorbis_File file_{};
    bool open_ = false;
    // Packed (the 18-byte chunk layout), but kept on a 4-byte boundary so that every field
    // sits at its natural alignment for callers that bind references to them.
    alignas(4) SoundFormat format_{};
    ogg_int64_t totalFrames_ = 0;
};

} // namespace

extern "C" __attribute__((visibility("default"))) Lumora::ISoundStreamDecoder* CreateSoundStreamDecoder()
{
    return new (std::nothrow) OggVorbisDecoder();
}
