// Stand-in for discord_game_sdk.dll: one core and one activity manager that
// record every request, copy each activity during the call as the real SDK
// does, and deliver completion callbacks only from inside run_callbacks.
#define STUB_SDK_BUILD
#include "stub_sdk_control.h"

#include <windows.h>

#include <vector>

namespace {

struct pending_callback {
    size_t event_index;
    void *callback_data;
    discord_result_callback callback;
};

struct stub_state {
    bool discord_running = true;
    int32_t create_result = DiscordResult_Ok;
    int create_count = 0;
    bool has_creation = false;
    stub_sdk_creation last_creation{};
    int activity_manager_requests = 0;
    int run_callbacks_count = 0;
    int destroy_count = 0;
    std::vector<stub_sdk_event> events;
    std::vector<pending_callback> pending;
};

stub_state state;

void queue_callback(void *callback_data, discord_result_callback callback)
{
    state.pending.push_back({state.events.size() - 1, callback_data, callback});
}

void DISCORD_CALL update_activity(IDiscordActivityManager *, DiscordActivity *activity, void *callback_data,
                                  discord_result_callback callback)
{
    stub_sdk_event event{};
    event.kind = STUB_SDK_UPDATE_ACTIVITY;
    event.callback_data = callback_data;
    event.activity = *activity;
    state.events.push_back(event);
    queue_callback(callback_data, callback);
}

void DISCORD_CALL clear_activity(IDiscordActivityManager *, void *callback_data,
                                 discord_result_callback callback)
{
    stub_sdk_event event{};
    event.kind = STUB_SDK_CLEAR_ACTIVITY;
    event.callback_data = callback_data;
    state.events.push_back(event);
    queue_callback(callback_data, callback);
}

IDiscordActivityManager activity_manager = {
    nullptr, nullptr, &update_activity, &clear_activity, nullptr, nullptr, nullptr,
};

void DISCORD_CALL destroy(IDiscordCore *)
{
    ++state.destroy_count;
}

EDiscordResult DISCORD_CALL run_callbacks(IDiscordCore *)
{
    ++state.run_callbacks_count;
    // Callbacks may queue further requests; deliver only those queued before.
    std::vector<pending_callback> due;
    due.swap(state.pending);
    for (const pending_callback &entry : due) {
        state.events[entry.event_index].callback_delivered = 1;
        if (entry.callback != nullptr) {
            entry.callback(entry.callback_data, DiscordResult_Ok);
        }
    }
    return DiscordResult_Ok;
}

IDiscordActivityManager *DISCORD_CALL get_activity_manager(IDiscordCore *)
{
    ++state.activity_manager_requests;
    return &activity_manager;
}

IDiscordCore core = [] {
    IDiscordCore table{};
    table.destroy = &destroy;
    table.run_callbacks = &run_callbacks;
    table.get_activity_manager = &get_activity_manager;
    return table;
}();

} // namespace

EDiscordResult DISCORD_CALL DiscordCreate(DiscordVersion version, DiscordCreateParams *params,
                                          IDiscordCore **result)
{
    ++state.create_count;
    state.has_creation = true;
    state.last_creation.version = version;
    state.last_creation.params = *params;
    if (!state.discord_running) {
        if ((params->flags & DiscordCreateFlags_NoRequireDiscord) == 0) {
            // The real SDK ends the process here and asks Discord to relaunch it.
            ExitProcess(stub_sdk_relaunch_exit_code);
        }
        return static_cast<EDiscordResult>(stub_sdk_not_running_result);
    }
    if (state.create_result != DiscordResult_Ok) {
        return static_cast<EDiscordResult>(state.create_result);
    }
    *result = &core;
    return DiscordResult_Ok;
}

STUB_SDK_API void stub_sdk_reset()
{
    state = stub_state{};
}

STUB_SDK_API void stub_sdk_set_discord_running(int running)
{
    state.discord_running = running != 0;
}

STUB_SDK_API void stub_sdk_set_create_result(int32_t result)
{
    state.create_result = result;
}

STUB_SDK_API int stub_sdk_create_count()
{
    return state.create_count;
}

STUB_SDK_API int stub_sdk_last_creation(stub_sdk_creation *out)
{
    if (!state.has_creation) {
        return 0;
    }
    *out = state.last_creation;
    return 1;
}

STUB_SDK_API int stub_sdk_activity_manager_requests()
{
    return state.activity_manager_requests;
}

STUB_SDK_API int stub_sdk_run_callbacks_count()
{
    return state.run_callbacks_count;
}

STUB_SDK_API int stub_sdk_destroy_count()
{
    return state.destroy_count;
}

STUB_SDK_API int stub_sdk_event_count()
{
    return static_cast<int>(state.events.size());
}

STUB_SDK_API int stub_sdk_event_at(int index, stub_sdk_event *out)
{
    if (index < 0 || static_cast<size_t>(index) >= state.events.size()) {
        return 0;
    }
    *out = state.events[index];
    return 1;
}

STUB_SDK_API int stub_sdk_pending_callbacks()
{
    return static_cast<int>(state.pending.size());
}
