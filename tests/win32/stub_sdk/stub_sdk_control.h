// Control and record of the stand-in Discord Game SDK (a test-only
// discord_game_sdk.dll). Tests script it and read back everything the
// plug-in asked of it.
#pragma once

#include "discord_game_sdk.h"

#include <cstdint>

#define STUB_SDK_API extern "C" __declspec(dllimport)
#ifdef STUB_SDK_BUILD
#undef STUB_SDK_API
#define STUB_SDK_API extern "C" // exported through stub_sdk.def
#endif

// Result DiscordCreate gives when Discord is not running and the caller
// passed DiscordCreateFlags_NoRequireDiscord.
inline constexpr int32_t stub_sdk_not_running_result = 27;
// Exit code of a process the SDK closed to relaunch it through Discord.
inline constexpr unsigned stub_sdk_relaunch_exit_code = 0xD15C;

enum stub_sdk_event_kind : int32_t {
    STUB_SDK_UPDATE_ACTIVITY = 1,
    STUB_SDK_CLEAR_ACTIVITY = 2,
};

struct stub_sdk_event {
    stub_sdk_event_kind kind;
    void *callback_data;
    int32_t callback_delivered; // the completion callback ran, from inside run_callbacks
    DiscordActivity activity;   // update: the record as it was during the call
};

struct stub_sdk_creation {
    int32_t version;
    DiscordCreateParams params; // as passed in
};

// Forgets every record and returns to a running Discord that accepts creation.
STUB_SDK_API void stub_sdk_reset();
// With Discord not running, DiscordCreate closes the process when the flags
// lack DiscordCreateFlags_NoRequireDiscord, and otherwise fails.
STUB_SDK_API void stub_sdk_set_discord_running(int running);
// Makes the next DiscordCreate calls give `result` (0 restores success).
STUB_SDK_API void stub_sdk_set_create_result(int32_t result);

STUB_SDK_API int stub_sdk_create_count();
// Copies the last creation request; 0 when there was none.
STUB_SDK_API int stub_sdk_last_creation(stub_sdk_creation *out);
STUB_SDK_API int stub_sdk_activity_manager_requests();
STUB_SDK_API int stub_sdk_run_callbacks_count();
STUB_SDK_API int stub_sdk_destroy_count();
// Activity requests (updates and clears) in the order they were made.
STUB_SDK_API int stub_sdk_event_count();
STUB_SDK_API int stub_sdk_event_at(int index, stub_sdk_event *out);
// Completion callbacks queued and not yet delivered.
STUB_SDK_API int stub_sdk_pending_callbacks();
