// DiscordVersion of the stand-in SDK. It lives apart because the SDK's header
// uses the same name for the version type.
#include <cstdint>
#include <cstring>

#ifdef STUB_SDK_VERSION
#ifdef STUB_SDK_STDCALL
#define SDK_CALL __stdcall
#else
#define SDK_CALL __cdecl
#endif

// Leaves its first argument alone and writes major, minor and patch to the second.
extern "C" __declspec(dllexport) int32_t SDK_CALL DiscordVersion(void *, int32_t *version)
{
    const int32_t numbers[3] = {STUB_SDK_VERSION};
    std::memcpy(version, numbers, sizeof numbers);
    return 0;
}
#endif
