// Lumora/Testing.h: the headless flavour of the engine, for tests and tools only.
//
// The game never calls this. A harness calls EnableHeadless before System::Initialize; from
// then on no window and no audio device are opened, the clocks stand still until the
// harness advances them, and every frame's 2D draws are recorded for inspection. With
// `pixels` set, frames are also rendered for real into an offscreen OpenGL surface (SDL's
// "offscreen" video driver, no display needed) and can be read back.
// DisableHeadless after System::Finalize returns to the normal engine.
#pragma once

#include <Lumora/ICore.h>
#include <Lumora/Math.h>

#include <cstdint>
#include <string>
#include <vector>

namespace Lumora::Testing {

struct HeadlessOptions {
    bool pixels = false; // render each frame with OpenGL so ReadPixels has something
};

// Selects headless mode; call before System::Initialize. Resets the virtual clock to 0.
void EnableHeadless(const HeadlessOptions& options = {});
// Back to the normal engine; call after System::Finalize.
void DisableHeadless();
bool IsHeadless();

// The virtual clock: the performance counter runs at 1,000,000 ticks per second and
// System::GetMilliseconds reads it in milliseconds. Only this call moves it.
void AdvanceClock(std::uint64_t microseconds);
std::uint64_t GetClockMicroseconds();

// Scripted input: the virtual buttons held from the next IInputController::Refresh on (bit n
// is button n). Keyboard and pads are not read in headless mode.
void SetHeldButtons(std::uint32_t heldMask);
// Scripted typing: `utf8` is handed out by the next System::TakeTypedText as if typed (with
// the same control characters); dropped while text input is off, as real typing is.
void TypeText(const std::string& utf8);

// Sound in headless mode: nothing is heard; every Play, Stop and SetVolume is recorded.
struct SoundEvent {
    enum class Kind { Play, Stop, Volume };
    Kind kind = Kind::Play;
    std::string name;      // the sound's file name
    std::int32_t loop = 0; // Play: the effect's loop flag, or the music's loop count (-1 for ever)
    float volume = 0.0f;   // Volume: the percentage asked for
};
// The sound events since the previous call, oldest first.
std::vector<SoundEvent> TakeSoundEvents();
// Runs the real mixer for `frames` stereo frames (48000 a second), as the audio device would.
void MixSound(std::int32_t frames);

// One draw of the last frame, in frame order.
struct RecordedDraw {
    enum class Kind { Texture, Sprite, Text, Scene };
    Kind kind = Kind::Texture;
    std::string texture;           // the texture's file name (text: the font's file name)
    Math::Rect destination;        // screen pixels (text: x, y of the text, size 0)
    Math::Rect source;             // texels (text: zero)
    std::uint32_t argb = 0;        // colour (text: fill colour)
    std::uint32_t outlineArgb = 0; // text only
    std::int32_t blendMode = 0;
    std::string text;              // text only: the Shift-JIS bytes drawn
    std::int32_t scene = -1;       // Scene only: index into GetLastScenes()
};

// A per-actor material override as the actor held it when the frame was drawn.
struct RecordedMaterial {
    std::int32_t mesh = 0;
    std::int32_t material = 0;
    std::int32_t transparent = -1; // -1: the model's own setting, else 0 or 1
    bool colorSet = false;
    Math::Vector4D color;          // RGBA 0..1 when colorSet
};

// One actor queued with IActor::Render, in queue order.
struct RecordedActor {
    std::string model;             // the model's file name
    float transform[16] = {};      // model -> world, column-major (element r, c at [c * 4 + r])
    std::int32_t animation = -1;   // -1 until SetAnimation
    float frame = 0.0f;
    std::vector<RecordedMaterial> materials; // only the overridden ones
    bool culled = false;           // outside the camera's view volume: not drawn
    bool transparent = false;      // has a transparent material: drawn in the second group
};

// One ISceneManager::Render of the last frame.
struct RecordedScene {
    Math::Vector3D eye;
    Math::Vector3D target;
    float nearPlane = 0.0f;
    float farPlane = 0.0f;
    std::int32_t fieldOfView = 0;  // engine angle unit
    float aspect = 0.0f;
    std::uint32_t backgroundArgb = 0;
    std::vector<RecordedActor> actors;
    // Indices into `actors` of the transparent ones that are drawn, in drawing order (far
    // to near).
    std::vector<std::int32_t> transparentOrder;
};

// The draws of the last EndFrame of any render, and its clear colour (ARGB).
std::vector<RecordedDraw> GetLastFrame();
std::uint32_t GetLastClearColor();
// The 3D scenes of the last frame, in frame order (each also appears as a Scene draw).
std::vector<RecordedScene> GetLastScenes();
// With pixels: every way the 3D pass has drawn with a model shader since its GL context was
// made, each option set once per way (plain, instanced), in option order. Call it from the
// thread that draws.
std::vector<ModelShaderDraw> GetModelShaderDrawsSoFar();
// Frames ended since System::Initialize.
std::uint64_t GetFrameCount();

// The last frame's pixels as RGBA bytes, rows from the top, logical screen size; empty
// unless headless with pixels and a frame has been drawn. `width`/`height` receive the size.
// Call it from the thread that draws (the GL context is current there).
std::vector<std::uint8_t> ReadPixels(std::int32_t* width = nullptr, std::int32_t* height = nullptr);
// Writes the last frame's pixels as a PNG file; false when there are none or it fails.
bool SavePixelsPng(const char* utf8Path);

} // namespace Lumora::Testing
