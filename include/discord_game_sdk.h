// The parts of the Discord Game SDK's x86 C interface that the plug-in uses:
// core creation, the core and activity manager operation tables, and the
// activity record. Every released SDK from 2.5 to 3.2 shares these layouts,
// but not one calling convention (cdecl up to 3.0, stdcall from 3.1), so the
// tables hold untyped entries that src/discord/sdk_binding calls correctly.
#pragma once

#include <cstddef>
#include <cstdint>

using DiscordClientId = int64_t;
using DiscordTimestamp = int64_t;
using DiscordVersion = int32_t;

enum EDiscordResult : int32_t {
    DiscordResult_Ok = 0,
    DiscordResult_InternalError = 4,
    DiscordResult_InvalidPayload = 5,
    DiscordResult_NotRunning = 27,
    DiscordResult_TransactionAborted = 43,
};

enum EDiscordCreateFlags : int32_t {
    DiscordCreateFlags_Default = 0,
    // Creation fails instead of closing the process when Discord is not running.
    DiscordCreateFlags_NoRequireDiscord = 1,
};

enum EDiscordActivityType : int32_t { DiscordActivityType_Playing = 0 };

// Interface version passed to DiscordCreate; every released SDK accepts 2.
inline constexpr DiscordVersion DISCORD_VERSION = 2;
inline constexpr DiscordVersion DISCORD_MANAGER_VERSION = 1;

struct DiscordActivityTimestamps {
    DiscordTimestamp start;
    DiscordTimestamp end;
};

struct DiscordActivityAssets {
    char large_image[128];
    char large_text[128];
    char small_image[128];
    char small_text[128];
};

struct DiscordPartySize {
    int32_t current_size;
    int32_t max_size;
};

struct DiscordActivityParty {
    char id[128];
    DiscordPartySize size;
    int32_t privacy; // from SDK 3.0
};

struct DiscordActivitySecrets {
    char match[128];
    char join[128];
    char spectate[128];
};

// The SDK 3.2 layout, the longest. SDK 2.x reads the first 1456 bytes and
// SDK 3.0/3.1 read up to `instance`; the fields the plug-in fills (type to
// assets) sit at the same offsets in all of them, and everything after
// `assets` stays zero, so one zero-filled record serves every version.
struct DiscordActivity {
    EDiscordActivityType type;
    int64_t application_id;
    char name[128];
    char state[128];
    char details[128];
    DiscordActivityTimestamps timestamps;
    DiscordActivityAssets assets;
    DiscordActivityParty party;
    DiscordActivitySecrets secrets;
    bool instance;
    uint32_t supported_platforms; // from SDK 3.2; 0 is sent as desktop
};

// Operation tables: one untyped entry per operation, in the SDK's order. The
// first argument of each is the table's own object.
struct IDiscordActivityManager {
    void *register_command;
    void *register_steam;
    void *update_activity; // (manager, DiscordActivity*, callback_data, callback)
    void *clear_activity;  // (manager, callback_data, callback)
    void *send_request_reply;
    void *send_invite;
    void *accept_invite;
};

struct IDiscordCore {
    void *destroy;       // (core)
    void *run_callbacks; // (core) -> EDiscordResult
    void *set_log_hook;
    void *get_application_manager;
    void *get_user_manager;
    void *get_image_manager;
    void *get_activity_manager; // (core) -> IDiscordActivityManager*
    void *get_relationship_manager;
    void *get_lobby_manager;
    void *get_network_manager;
    void *get_overlay_manager;
    void *get_storage_manager;
    void *get_store_manager;
    void *get_voice_manager;
    void *get_achievement_manager;
};

struct DiscordCreateParams {
    DiscordClientId client_id;
    uint64_t flags;
    void *events;
    void *event_data;
    void *application_events;
    DiscordVersion application_version;
    void *user_events;
    DiscordVersion user_version;
    void *image_events;
    DiscordVersion image_version;
    void *activity_events;
    DiscordVersion activity_version;
    void *relationship_events;
    DiscordVersion relationship_version;
    void *lobby_events;
    DiscordVersion lobby_version;
    void *network_events;
    DiscordVersion network_version;
    void *overlay_events;
    DiscordVersion overlay_version;
    void *storage_events;
    DiscordVersion storage_version;
    void *store_events;
    DiscordVersion store_version;
    void *voice_events;
    DiscordVersion voice_version;
    void *achievement_events;
    DiscordVersion achievement_version;
};

// Bytes of the activity record each SDK generation reads.
inline constexpr size_t discord_activity_size_v2 = 1456;   // SDK 2.x, and 3.0 and 3.1 (the same size)
inline constexpr size_t discord_activity_size_v3_2 = 1464; // SDK 3.2

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(EDiscordResult) == 4 && sizeof(EDiscordActivityType) == 4);
static_assert(sizeof(DiscordActivity) == discord_activity_size_v3_2 && alignof(DiscordActivity) == 8);
static_assert(offsetof(DiscordActivity, application_id) == 8);
static_assert(offsetof(DiscordActivity, name) == 16);
static_assert(offsetof(DiscordActivity, state) == 144);
static_assert(offsetof(DiscordActivity, details) == 272);
static_assert(offsetof(DiscordActivity, timestamps) == 400);
static_assert(offsetof(DiscordActivity, assets) == 416);
static_assert(offsetof(DiscordActivity, party) == 928);
static_assert(offsetof(DiscordActivity, party.privacy) == 1064);
static_assert(offsetof(DiscordActivity, secrets) == 1068);
static_assert(offsetof(DiscordActivity, instance) == 1452);
static_assert(offsetof(DiscordActivity, supported_platforms) == 1456);
// SDK 2.x: party ends with size at 1064, then secrets, instance at 1448, 1456 bytes in all;
// the bytes it reads past `assets` are all zero in every record the plug-in makes.
static_assert(offsetof(DiscordActivity, party) + 128 + sizeof(DiscordPartySize) == 1064);
static_assert(sizeof(DiscordCreateParams) == 120 && alignof(DiscordCreateParams) == 8);
static_assert(offsetof(DiscordCreateParams, flags) == 8);
static_assert(offsetof(DiscordCreateParams, events) == 16);
static_assert(offsetof(DiscordCreateParams, event_data) == 20);
static_assert(offsetof(DiscordCreateParams, application_events) == 24);
static_assert(offsetof(DiscordCreateParams, application_version) == 28);
static_assert(offsetof(DiscordCreateParams, activity_events) == 48);
static_assert(offsetof(DiscordCreateParams, activity_version) == 52);
static_assert(offsetof(DiscordCreateParams, achievement_events) == 112);
static_assert(offsetof(DiscordCreateParams, achievement_version) == 116);
static_assert(sizeof(IDiscordCore) == 60);
static_assert(offsetof(IDiscordCore, run_callbacks) == 4);
static_assert(offsetof(IDiscordCore, get_activity_manager) == 24);
static_assert(sizeof(IDiscordActivityManager) == 28);
static_assert(offsetof(IDiscordActivityManager, update_activity) == 8);
static_assert(offsetof(IDiscordActivityManager, clear_activity) == 12);
#endif
