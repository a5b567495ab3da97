// tomarugi-soundgen: synthesises every sound the game plays.
//
//   tomarugi-soundgen effects <directory>
//       writes decision.wav, cancel.wav, defrost.wav and frog_drag.wav (16-bit stereo PCM,
//       44.1 kHz) into the directory
//   tomarugi-soundgen music <score> <output.ogg> [quality]
//       renders the score's loop and encodes it as Ogg Vorbis (quality -0.1..1, default 0.4)
//
// Prints one line per file written; on any error prints it to stderr, writes nothing partial
// and exits with status 1.
#include "AudioFiles.h"
#include "Effects.h"
#include "MusicRender.h"
#include "Score.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

namespace {

constexpr int EffectRate = 44100;

int Usage()
{
    std::fprintf(stderr,
                 "usage: tomarugi-soundgen effects <directory>\n"
                 "       tomarugi-soundgen music <score> <output.ogg> [quality]\n");
    return 2;
}

double SecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// FNV-1a of the file name: a stable Ogg serial number per track.
std::uint32_t SerialOf(const std::string& name)
{
    std::uint32_t hash = 2166136261u;
    for (unsigned char c : name) {
        hash = (hash ^ c) * 16777619u;
    }
    return hash;
}

int WriteEffects(const std::string& directory)
{
    const auto start = std::chrono::steady_clock::now();
    std::filesystem::create_directories(directory);
    for (const SoundGen::SoundEffect& effect : SoundGen::MakeAllEffects(EffectRate)) {
        const std::string path = (std::filesystem::path(directory) / effect.fileName).string();
        SoundGen::WriteWave(path, effect.samples, 2, EffectRate);
        std::printf("%s: %zu frames (%.3f s), peak %.3f%s\n", effect.fileName.c_str(), effect.samples.Frames(),
                    static_cast<double>(effect.samples.Frames()) / EffectRate, static_cast<double>(SoundGen::PeakOf(effect.samples)),
                    effect.loops ? ", loop" : "");
    }
    std::printf("sound effects written in %.2f s\n", SecondsSince(start));
    return 0;
}

int WriteMusic(const std::string& scorePath, const std::string& outputPath, float quality)
{
    const auto start = std::chrono::steady_clock::now();
    const SoundGen::Score score = SoundGen::LoadScore(scorePath);
    const SoundGen::StereoBuffer loop = SoundGen::RenderLoop(score, scorePath, 0.85f);
    const double rendered = SecondsSince(start);
    const std::filesystem::path output(outputPath);
    if (output.has_parent_path()) {
        std::filesystem::create_directories(output.parent_path());
    }
    SoundGen::WriteVorbis(outputPath, loop, score.sampleRate, quality, SerialOf(output.filename().string()));
    std::printf("%s: %zu frames (%.2f s) at %d Hz, rendered in %.2f s, encoded in %.2f s\n",
                output.filename().string().c_str(), loop.Frames(), static_cast<double>(loop.Frames()) / score.sampleRate,
                score.sampleRate, rendered, SecondsSince(start) - rendered);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    try {
        const std::string command = argc > 1 ? argv[1] : "";
        if (command == "effects" && argc == 3) {
            return WriteEffects(argv[2]);
        }
        if (command == "music" && (argc == 4 || argc == 5)) {
            float quality = 0.4f;
            if (argc == 5) {
                std::size_t used = 0;
                quality = std::stof(argv[4], &used);
                if (used != std::string(argv[4]).size() || quality < -0.1f || quality > 1.0f) {
                    std::fprintf(stderr, "tomarugi-soundgen: quality must be a number from -0.1 to 1\n");
                    return 1;
                }
            }
            return WriteMusic(argv[2], argv[3], quality);
        }
        return Usage();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tomarugi-soundgen: %s\n", error.what());
        return 1;
    }
}
