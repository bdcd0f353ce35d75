// Binding to discord_game_sdk.dll, loaded at run time: finds the DLL, tells
// its version and calling convention, and calls it accordingly. Every call
// is made on the host's main thread.
#pragma once

#include "discord_game_sdk.h"

#include <windows.h>

#include <string>

enum class sdk_convention { cdecl_abi, stdcall_abi };

enum class sdk_availability {
    ready,               // a supported SDK is loaded
    not_found,           // no discord_game_sdk.dll anywhere the plug-in looks
    not_loadable,        // one beside the plug-in that Windows cannot load (a 64-bit DLL, say)
    not_an_sdk,          // a DLL of that name without DiscordCreate
    no_version,          // an SDK that cannot tell its version (or its convention)
    unsupported_version, // an SDK whose major version is not 2 or 3
};

struct sdk_version {
    int32_t major = 0;
    int32_t minor = 0;
    int32_t patch = 0;
};

struct sdk_library {
    sdk_availability availability = sdk_availability::not_found;
    sdk_version version;
    sdk_convention convention = sdk_convention::cdecl_abi;
    void *create = nullptr; // DiscordCreate, only when ready
    // Where it was looked for: the plug-in's own folder, then the normal search.
    std::wstring plugin_folder;
    std::wstring host_folder;
    DWORD load_error = 0; // why the one beside the plug-in could not be loaded
};

// Loads discord_game_sdk.dll, first by full path from the folder of
// `plugin_module` (so that its own dependencies resolve there too), then
// through the normal search. The DLL stays loaded for the rest of the
// process: it may run threads of its own after its core is destroyed.
sdk_library sdk_load(HMODULE plugin_module);

// The result callback of an activity request, in both conventions: the
// binding hands the SDK the entry that matches the DLL.
using sdk_result_handler = void (*)(void *callback_data, EDiscordResult result) noexcept;

struct sdk_result_callback {
    void *cdecl_entry;
    void *stdcall_entry;
};

template <sdk_result_handler handler>
void __cdecl sdk_result_cdecl(void *callback_data, EDiscordResult result)
{
    handler(callback_data, result);
}

template <sdk_result_handler handler>
void __stdcall sdk_result_stdcall(void *callback_data, EDiscordResult result)
{
    handler(callback_data, result);
}

template <sdk_result_handler handler> sdk_result_callback sdk_callback()
{
    return {reinterpret_cast<void *>(&sdk_result_cdecl<handler>),
            reinterpret_cast<void *>(&sdk_result_stdcall<handler>)};
}

EDiscordResult sdk_create(const sdk_library &sdk, DiscordCreateParams *params, IDiscordCore **core);
void sdk_destroy(IDiscordCore *core);
EDiscordResult sdk_run_callbacks(IDiscordCore *core);
IDiscordActivityManager *sdk_activity_manager(IDiscordCore *core);
// The SDK copies the activity during the call. `callback` gets the result
// later, from inside sdk_run_callbacks or sdk_destroy.
void sdk_update_activity(const sdk_library &sdk, IDiscordActivityManager *manager, DiscordActivity *activity,
                         void *callback_data, sdk_result_callback callback);
void sdk_clear_activity(const sdk_library &sdk, IDiscordActivityManager *manager, void *callback_data,
                        sdk_result_callback callback);
