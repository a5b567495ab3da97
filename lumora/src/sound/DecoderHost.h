// DecoderHost.h: loading decoder plug-ins and feeding them an engine file.
//
// A plug-in "<Name>.lmp" is loaded once per full path with dlopen and stays loaded for the
// process (decoders made from it may live anywhere); its CreateSoundStreamDecoder export is
// looked up and checked before any call. FileStreamSource is the IStreamSource a decoder
// reads: it borrows an IFile, whose lifetime its owner guarantees.
#pragma once

#include <Lumora/IFile.h>
#include <Lumora/SoundStreamDecoder.h>

#include <memory>
#include <string>

namespace Lumora::Internal {

class FileStreamSource final : public IStreamSource {
public:
    explicit FileStreamSource(IFile* file) : file_(file) {}
    virtual ~FileStreamSource() = default;

    std::int32_t GetSize() override;
    std::int32_t Read(void* buffer, std::int32_t count) override;
    std::int32_t GetPosition() override;
    void Seek(std::int32_t position) override;
    bool IsEnd() override;
    // Negative counts do not move backwards: a decoder walking a damaged file cannot be sent
    // into a loop by it.
    void Skip(std::int32_t count) override;

private:
    IFile* file_;
};

struct DecoderRelease {
    void operator()(ISoundStreamDecoder* decoder) const { decoder->Release(); }
};
using DecoderPointer = std::unique_ptr<ISoundStreamDecoder, DecoderRelease>;

// A new decoder from "<directory>/<name>.lmp". Null, with one line on stderr naming the
// plug-in file and `forFile` (the sound file it was wanted for), when the name is not a plain
// file name, the library will not load, lacks the export, or the export returns null.
DecoderPointer CreateDecoder(const char* name, const char* forFile);

// Sets the plug-in directory; null or empty means the running program's own directory.
void SetDecoderDirectory(const char* directory);

// The full path a plug-in name resolves to now.
std::string PluginPath(const std::string& name);

} // namespace Lumora::Internal
