// The parts of the Discord Game SDK (interface version 2, SDK 2.5.x, x86) that
// the plug-in uses: core creation, the core and activity manager operation
// tables, and the activity record. Everything is cdecl on x86 in this SDK.
#pragma once

#include <cstddef>
#include <cstdint>

#define DISCORD_CALL __cdecl

using DiscordClientId = int64_t;
using DiscordTimestamp = int64_t;
using DiscordVersion = int32_t;

enum EDiscordResult : int32_t { DiscordResult_Ok = 0 };

enum EDiscordCreateFlags : int32_t {
    DiscordCreateFlags_Default = 0,
    // Creation fails instead of closing the process when Discord is not running.
    DiscordCreateFlags_NoRequireDiscord = 1,
};

enum EDiscordActivityType : int32_t { DiscordActivityType_Playing = 0 };

enum EDiscordLogLevel : int32_t {};

inline constexpr DiscordVersion DISCORD_VERSION = 2;
inline constexpr DiscordVersion DISCORD_MANAGER_VERSION = 1;

using discord_result_callback = void(DISCORD_CALL *)(void *callback_data, EDiscordResult result);

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
};

struct DiscordActivitySecrets {
    char match[128];
    char join[128];
    char spectate[128];
};

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
};

struct IDiscordActivityManager {
    EDiscordResult(DISCORD_CALL *register_command)(IDiscordActivityManager *manager, const char *command);
    EDiscordResult(DISCORD_CALL *register_steam)(IDiscordActivityManager *manager, uint32_t steam_id);
    void(DISCORD_CALL *update_activity)(IDiscordActivityManager *manager, DiscordActivity *activity,
                                        void *callback_data, discord_result_callback callback);
    void(DISCORD_CALL *clear_activity)(IDiscordActivityManager *manager, void *callback_data,
                                       discord_result_callback callback);
    void(DISCORD_CALL *send_request_reply)(IDiscordActivityManager *manager, int64_t user_id, int32_t reply,
                                           void *callback_data, discord_result_callback callback);
    void(DISCORD_CALL *send_invite)(IDiscordActivityManager *manager, int64_t user_id, int32_t action,
                                    const char *content, void *callback_data,
                                    discord_result_callback callback);
    void(DISCORD_CALL *accept_invite)(IDiscordActivityManager *manager, int64_t user_id, void *callback_data,
                                      discord_result_callback callback);
};

struct IDiscordCore;
using discord_manager_getter = void *(DISCORD_CALL *)(IDiscordCore *core);

struct IDiscordCore {
    void(DISCORD_CALL *destroy)(IDiscordCore *core);
    EDiscordResult(DISCORD_CALL *run_callbacks)(IDiscordCore *core);
    void(DISCORD_CALL *set_log_hook)(IDiscordCore *core, EDiscordLogLevel min_level, void *hook_data,
                                     void(DISCORD_CALL *hook)(void *hook_data, EDiscordLogLevel level,
                                                              const char *message));
    discord_manager_getter get_application_manager;
    discord_manager_getter get_user_manager;
    discord_manager_getter get_image_manager;
    IDiscordActivityManager *(DISCORD_CALL *get_activity_manager)(IDiscordCore *core);
    discord_manager_getter get_relationship_manager;
    discord_manager_getter get_lobby_manager;
    discord_manager_getter get_network_manager;
    discord_manager_getter get_overlay_manager;
    discord_manager_getter get_storage_manager;
    discord_manager_getter get_store_manager;
    discord_manager_getter get_voice_manager;
    discord_manager_getter get_achievement_manager;
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

extern "C" EDiscordResult DISCORD_CALL DiscordCreate(DiscordVersion version, DiscordCreateParams *params,
                                                     IDiscordCore **result);

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(EDiscordResult) == 4 && sizeof(EDiscordActivityType) == 4);
static_assert(sizeof(DiscordActivity) == 1456 && alignof(DiscordActivity) == 8);
static_assert(offsetof(DiscordActivity, application_id) == 8);
static_assert(offsetof(DiscordActivity, name) == 16);
static_assert(offsetof(DiscordActivity, state) == 144);
static_assert(offsetof(DiscordActivity, details) == 272);
static_assert(offsetof(DiscordActivity, timestamps) == 400);
static_assert(offsetof(DiscordActivity, assets) == 416);
static_assert(offsetof(DiscordActivity, party) == 928);
static_assert(sizeof(DiscordActivityParty) == 136);
static_assert(offsetof(DiscordActivity, secrets) == 1064);
static_assert(offsetof(DiscordActivity, instance) == 1448);
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
