// The plug-in's one export. The engine finds it with dlsym by this unmangled name; every
// other symbol of the library is hidden.
#include "WaveDecoder.h"

#include <type_traits>

// Returns a new decoder with no source and no data; the engine owns it until it calls
// Release. Allocation failure raises std::bad_alloc, as any engine allocation would.
extern "C" __attribute__((visibility("default"))) Lumora::ISoundStreamDecoder* CreateSoundStreamDecoder()
{
    return new Wave::WaveDecoder();
}

// The export must keep the type the engine looks it up as.
static_assert(std::is_same_v<decltype(&CreateSoundStreamDecoder), CreateSoundStreamDecoderFunction>);
