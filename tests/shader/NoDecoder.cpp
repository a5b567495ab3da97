// A library that loads as "Common.lmp" but exports no ShaderDecode, only a look-alike
// that fails the test run if Tessera ever reaches it by some other name.
#include <cstdint>
#include <cstdlib>

extern "C" __attribute__((visibility("default"))) std::int32_t ShaderDecoder(char*, std::uint32_t*, const void*,
                                                                              std::uint32_t)
{
    std::abort();
}
