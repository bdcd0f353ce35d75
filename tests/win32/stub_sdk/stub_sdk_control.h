// Control and record of the stand-in Discord Game SDK (a test-only
// discord_game_sdk.dll) and of the Discord client it simulates. Tests start
// and stop that Discord, script creation, and read back everything the
// plug-in asked of the SDK. The stand-in is built in several variants (SDK
// version, calling convention); all export these functions, cdecl.
#pragma once

#include "discord_game_sdk.h"

#include <windows.h>

#include <cstdint>

#ifdef STUB_SDK_BUILD
#define STUB_SDK_API extern "C" __declspec(dllexport)
#else
#define STUB_SDK_API extern "C" __declspec(dllimport)
// The default stand-in's own creation entry (SDK 2.5, cdecl), for programs linking it.
STUB_SDK_API EDiscordResult __cdecl DiscordCreate(DiscordVersion version, DiscordCreateParams *params,
                                                  IDiscordCore **result);
#endif

// Exit code of a process the SDK closed to relaunch it through Discord.
inline constexpr unsigned stub_sdk_relaunch_exit_code = 0xD15C;

// What DiscordCreate with DiscordCreateFlags_NoRequireDiscord does while
// Discord is not running.
enum stub_sdk_absent_mode : int32_t {
    STUB_SDK_ABSENT_FAILS = 0,       // result 4 (InternalError), as the real SDK
    STUB_SDK_ABSENT_NOT_RUNNING = 1, // result 27 (NotRunning)
    STUB_SDK_ABSENT_DEAD_CORE = 2,   // success, with a core that is already dead
};

enum stub_sdk_event_kind : int32_t {
    STUB_SDK_UPDATE_ACTIVITY = 1,
    STUB_SDK_CLEAR_ACTIVITY = 2,
};

struct stub_sdk_event {
    stub_sdk_event_kind kind;
    void *callback_data;
    int32_t callback_delivered; // the completion callback ran (inside run_callbacks or destroy)
    int32_t callback_result;    // the result it was given
    int32_t generation;         // number of the core the request went through (1 = first)
    DiscordActivity activity;   // update: the bytes this SDK version reads, as they were during the call
};

struct stub_sdk_creation {
    int32_t version;
    DiscordCreateParams params; // as passed in
};

// Forgets every record and returns to a running Discord that accepts creation.
STUB_SDK_API void stub_sdk_reset();
// Starts or stops the simulated Discord. Stopping it kills every core: such a
// core answers 27 (NotRunning) to run_callbacks from then on, even after
// Discord is back. With Discord not running, DiscordCreate closes the process
// when the flags lack DiscordCreateFlags_NoRequireDiscord.
STUB_SDK_API void stub_sdk_set_discord_running(int running);
STUB_SDK_API void stub_sdk_set_absent_mode(int32_t mode);

STUB_SDK_API int stub_sdk_create_count();
// Copies the last creation request; 0 when there was none.
STUB_SDK_API int stub_sdk_last_creation(stub_sdk_creation *out);
// Cores made so far; the newest core's generation.
STUB_SDK_API int stub_sdk_generation();
// Cores made and not yet destroyed.
STUB_SDK_API int stub_sdk_live_cores();
STUB_SDK_API int stub_sdk_activity_manager_requests();
STUB_SDK_API int stub_sdk_run_callbacks_count();
STUB_SDK_API int stub_sdk_destroy_count();
// Activity requests (updates and clears) in the order they were made.
STUB_SDK_API int stub_sdk_event_count();
STUB_SDK_API int stub_sdk_event_at(int index, stub_sdk_event *out);
// Completion callbacks queued and not yet delivered.
STUB_SDK_API int stub_sdk_pending_callbacks();
// Misuses seen: a call through a destroyed core or its manager, or from a
// thread other than the core's, a callback of the wrong calling convention,
// a creation with the wrong interface version.
STUB_SDK_API int stub_sdk_fault_count();
// Copies the text of fault `index` into `text` (NUL-terminated); 0 when there is none.
STUB_SDK_API int stub_sdk_fault_at(int index, char *text, int size);
