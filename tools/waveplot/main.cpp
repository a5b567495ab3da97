// tomarugi-waveplot: draws a sound's waveform into a PNG, to look at what the generator made.
//
//   tomarugi-waveplot <sound.wav|sound.ogg> <picture.png>
//
// Per channel, two panels: the whole sound (blue: the range of samples under each column,
// dark blue: their RMS; red columns where a sample touches full scale), and a close-up of the
// loop point at sample resolution: the last 15 ms, a red line where the sound wraps round,
// then the first 15 ms. A seamless loop shows one unbroken curve across the red line.
#include "SoundReader.h"

#include <stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <vector>

namespace {

constexpr int Width = 1200;
constexpr int OverviewHeight = 150;
constexpr int SeamHeight = 110;
constexpr int Gap = 8;

struct Colour {
    unsigned char r, g, b;
};

class Picture {
public:
    Picture(int width, int height) : width_(width), height_(height), pixels_(static_cast<std::size_t>(width * height * 3), 250) {}
    void Set(int x, int y, Colour c)
    {
        if (x < 0 || y < 0 || x >= width_ || y >= height_) {
            return;
        }
        unsigned char* p = &pixels_[static_cast<std::size_t>((y * width_ + x) * 3)];
        p[0] = c.r;
        p[1] = c.g;
        p[2] = c.b;
    }
    void Column(int x, int y0, int y1, Colour c)
    {
        for (int y = std::min(y0, y1); y <= std::max(y0, y1); ++y) {
            Set(x, y, c);
        }
    }
    void Row(int y, int x0, int x1, Colour c)
    {
        for (int x = x0; x <= x1; ++x) {
            Set(x, y, c);
        }
    }
    void Line(int x0, int y0, int x1, int y1, Colour c)
    {
        const int steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
        for (int i = 0; i <= steps; ++i) {
            const double t = steps == 0 ? 0.0 : static_cast<double>(i) / steps;
            Set(static_cast<int>(std::lround(x0 + (x1 - x0) * t)), static_cast<int>(std::lround(y0 + (y1 - y0) * t)), c);
        }
    }
    bool Save(const char* path) const { return stbi_write_png(path, width_, height_, 3, pixels_.data(), width_ * 3) != 0; }

private:
    int width_;
    int height_;
    std::vector<unsigned char> pixels_;
};

const Colour Axis{200, 200, 205};
const Colour Range{120, 170, 230};
const Colour Rms{30, 70, 150};
const Colour Clip{220, 30, 30};
const Colour Curve{20, 40, 90};

int YOf(float sample, int top, int height)
{
    const double clamped = std::clamp(static_cast<double>(sample), -1.0, 1.0);
    return top + static_cast<int>(std::lround((1.0 - clamped) * 0.5 * (height - 1)));
}

void DrawOverview(Picture& picture, const WavePlot::DecodedSound& sound, int channel, int top)
{
    picture.Row(YOf(0.0f, top, OverviewHeight), 0, Width - 1, Axis);
    picture.Row(top, 0, Width - 1, Axis);
    picture.Row(top + OverviewHeight - 1, 0, Width - 1, Axis);
    const std::size_t frames = sound.Frames();
    for (int x = 0; x < Width; ++x) {
        const std::size_t first = frames * static_cast<std::size_t>(x) / Width;
        const std::size_t last = std::max(first + 1, frames * static_cast<std::size_t>(x + 1) / Width);
        float low = 1.0f, high = -1.0f;
        double energy = 0.0;
        bool clipped = false;
        for (std::size_t i = first; i < last && i < frames; ++i) {
            const float s = sound.At(i, channel);
            low = std::min(low, s);
            high = std::max(high, s);
            energy += static_cast<double>(s) * s;
            clipped = clipped || std::fabs(s) >= 0.999f;
        }
        if (low > high) {
            continue;
        }
        const float rms = static_cast<float>(std::sqrt(energy / static_cast<double>(last - first)));
        picture.Column(x, YOf(high, top, OverviewHeight), YOf(low, top, OverviewHeight), clipped ? Clip : Range);
        picture.Column(x, YOf(rms, top, OverviewHeight), YOf(-rms, top, OverviewHeight), clipped ? Clip : Rms);
    }
}

void DrawSeam(Picture& picture, const WavePlot::DecodedSound& sound, int channel, int top)
{
    const std::size_t frames = sound.Frames();
    const std::size_t half = std::min(frames / 2, static_cast<std::size_t>(sound.sampleRate * 0.015));
    if (half == 0) {
        return;
    }
    // Scale the close-up to its own peak so that a small step still shows.
    float peak = 1e-6f;
    for (std::size_t k = 0; k < 2 * half; ++k) {
        const std::size_t i = (frames - half + k) % frames;
        peak = std::max(peak, std::fabs(sound.At(i, channel)));
    }
    picture.Row(top, 0, Width - 1, Axis);
    picture.Row(top + SeamHeight - 1, 0, Width - 1, Axis);
    picture.Row(YOf(0.0f, top, SeamHeight), 0, Width - 1, Axis);
    picture.Column(Width / 2, top, top + SeamHeight - 1, Clip);
    int previousX = -1, previousY = 0;
    for (std::size_t k = 0; k < 2 * half; ++k) {
        const std::size_t i = (frames - half + k) % frames;
        const int x = static_cast<int>(static_cast<double>(k) * (Width - 1) / static_cast<double>(2 * half - 1));
        const int y = YOf(sound.At(i, channel) / peak * 0.95f, top, SeamHeight);
        if (previousX >= 0) {
            picture.Line(previousX, previousY, x, y, Curve);
        }
        previousX = x;
        previousY = y;
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: tomarugi-waveplot <sound.wav|sound.ogg> <picture.png>\n");
        return 2;
    }
    try {
        const WavePlot::DecodedSound sound = WavePlot::ReadSound(argv[1]);
        if (sound.Frames() == 0) {
            std::fprintf(stderr, "tomarugi-waveplot: %s holds no samples\n", argv[1]);
            return 1;
        }
        const int band = OverviewHeight + Gap + SeamHeight + Gap * 2;
        Picture picture(Width, band * sound.channels);
        for (int c = 0; c < sound.channels; ++c) {
            DrawOverview(picture, sound, c, c * band);
            DrawSeam(picture, sound, c, c * band + OverviewHeight + Gap);
        }
        if (!picture.Save(argv[2])) {
            std::fprintf(stderr, "tomarugi-waveplot: cannot write %s\n", argv[2]);
            return 1;
        }
        std::printf("%s: %d channel(s), %zu frames at %d Hz -> %s\n", argv[1], sound.channels, sound.Frames(),
                    sound.sampleRate, argv[2]);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tomarugi-waveplot: %s\n", error.what());
        return 1;
    }
}
