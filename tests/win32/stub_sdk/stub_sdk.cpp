// Stand-in for discord_game_sdk.dll with a simulated Discord client. Cores
// record every request, copy each activity during the call as the real SDK
// does, deliver completion callbacks only from inside run_callbacks (or with
// 43 inside destroy), die for good when Discord stops, and are never freed,
// so that a call through a destroyed one is recorded instead of crashing.
// Build options: STUB_SDK_STDCALL (the 3.1+ convention), STUB_SDK_VERSION
// (major, minor, patch; none means no DiscordVersion export, which lives in
// stub_sdk_version.cpp).
#define STUB_SDK_BUILD
#include "stub_sdk_control.h"

#include "discord/stack_thunk.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#ifdef STUB_SDK_STDCALL
#define SDK_CALL __stdcall
constexpr int32_t callback_args_popped = 8;
#else
#define SDK_CALL __cdecl
constexpr int32_t callback_args_popped = 0;
#endif

#ifdef STUB_SDK_VERSION
constexpr int32_t sdk_version[3] = {STUB_SDK_VERSION};
// The activity record this version reads.
constexpr size_t activity_bytes =
    sdk_version[0] == 3 && sdk_version[1] >= 2 ? discord_activity_size_v3_2 : discord_activity_size_v2;
#else
constexpr size_t activity_bytes = discord_activity_size_v2;
#endif

namespace {

struct stub_core {
    IDiscordCore table;
    IDiscordActivityManager manager;
    int32_t generation;
    DWORD thread; // the one that created it: the SDK is not thread-safe
    bool destroyed;
    bool dead; // has seen Discord stop
};

struct pending_callback {
    size_t event_index;
    stub_core *core;
    void *callback_data;
    void *callback;
};

struct stub_state {
    bool discord_running = true;
    int32_t absent_mode = STUB_SDK_ABSENT_FAILS;
    int create_count = 0;
    bool has_creation = false;
    stub_sdk_creation last_creation{};
    int activity_manager_requests = 0;
    int run_callbacks_count = 0;
    int destroy_count = 0;
    std::vector<stub_sdk_event> events;
    std::vector<pending_callback> pending;
    std::vector<std::string> faults;
    std::vector<stub_core *> cores; // made since the last reset; core i has generation i + 1
};

stub_state state;
// Every core ever made, never freed (see above).
std::vector<stub_core *> all_cores;

void fault(const char *what, const stub_core *core)
{
    char text[160];
    std::snprintf(text, sizeof text, "%s (core %d)", what, core != nullptr ? core->generation : 0);
    state.faults.emplace_back(text);
}

stub_core *checked(stub_core *core)
{
    if (GetCurrentThreadId() != core->thread) {
        fault("call from a thread other than the core's", core);
    }
    return core;
}

stub_core *core_of(IDiscordCore *core)
{
    return checked(reinterpret_cast<stub_core *>(core));
}

stub_core *core_of(IDiscordActivityManager *manager)
{
    return checked(
        reinterpret_cast<stub_core *>(reinterpret_cast<char *>(manager) - offsetof(stub_core, manager)));
}

// Calls a completion callback and checks that it removed the arguments the
// way this SDK's convention expects.
void deliver(const pending_callback &entry, EDiscordResult result)
{
    stub_sdk_event &event = state.events[entry.event_index];
    event.callback_delivered = 1;
    event.callback_result = result;
    if (entry.callback == nullptr) {
        return;
    }
    const uint32_t args[] = {static_cast<uint32_t>(reinterpret_cast<uintptr_t>(entry.callback_data)),
                             static_cast<uint32_t>(result)};
    int32_t popped = -1;
    stack_thunk_call(entry.callback, args, 2, &popped);
    if (popped != callback_args_popped) {
        char text[96];
        std::snprintf(text, sizeof text, "callback removed %d bytes of arguments, expected %d", popped,
                      callback_args_popped);
        fault(text, entry.core);
    }
}

// Delivers the callbacks of `core` queued before this call (callbacks may queue more).
void deliver_pending(stub_core *core, EDiscordResult result)
{
    std::vector<pending_callback> due, kept;
    for (const pending_callback &entry : state.pending) {
        (entry.core == core ? due : kept).push_back(entry);
    }
    state.pending.swap(kept);
    for (const pending_callback &entry : due) {
        deliver(entry, result);
    }
}

stub_sdk_event &record(stub_sdk_event_kind kind, stub_core *core, void *callback_data, void *callback)
{
    stub_sdk_event event{};
    event.kind = kind;
    event.callback_data = callback_data;
    event.generation = core->generation;
    state.events.push_back(event);
    // A dead core takes requests but never answers them before destroy.
    state.pending.push_back({state.events.size() - 1, core, callback_data, callback});
    return state.events.back();
}

void SDK_CALL update_activity(IDiscordActivityManager *manager, DiscordActivity *activity,
                              void *callback_data, void *callback)
{
    stub_core *core = core_of(manager);
    if (core->destroyed) {
        fault("update_activity through a destroyed core", core);
        return;
    }
    stub_sdk_event &event = record(STUB_SDK_UPDATE_ACTIVITY, core, callback_data, callback);
    std::memcpy(&event.activity, activity, activity_bytes);
    // The fields a shorter record would leave to whatever follows it on the caller's stack.
    if (activity_bytes == discord_activity_size_v3_2 && (event.activity.supported_platforms & ~7u) != 0) {
        fault("activity record shorter than this SDK's (supported_platforms is garbage)", core);
    }
}

void SDK_CALL clear_activity(IDiscordActivityManager *manager, void *callback_data, void *callback)
{
    stub_core *core = core_of(manager);
    if (core->destroyed) {
        fault("clear_activity through a destroyed core", core);
        return;
    }
    record(STUB_SDK_CLEAR_ACTIVITY, core, callback_data, callback);
}

void SDK_CALL destroy(IDiscordCore *table)
{
    stub_core *core = core_of(table);
    if (core->destroyed) {
        fault("destroy of a destroyed core", core);
        return;
    }
    core->destroyed = true;
    ++state.destroy_count;
    deliver_pending(core, DiscordResult_TransactionAborted);
}

EDiscordResult SDK_CALL run_callbacks(IDiscordCore *table)
{
    stub_core *core = core_of(table);
    if (core->destroyed) {
        fault("run_callbacks through a destroyed core", core);
        return DiscordResult_NotRunning;
    }
    ++state.run_callbacks_count;
    if (core->dead) {
        return DiscordResult_NotRunning;
    }
    deliver_pending(core, DiscordResult_Ok);
    return DiscordResult_Ok;
}

IDiscordActivityManager *SDK_CALL get_activity_manager(IDiscordCore *table)
{
    stub_core *core = core_of(table);
    if (core->destroyed) {
        fault("get_activity_manager through a destroyed core", core);
    }
    ++state.activity_manager_requests;
    return &core->manager;
}

IDiscordCore *new_core(bool dead)
{
    auto *core = new stub_core{};
    core->table.destroy = reinterpret_cast<void *>(&destroy);
    core->table.run_callbacks = reinterpret_cast<void *>(&run_callbacks);
    core->table.get_activity_manager = reinterpret_cast<void *>(&get_activity_manager);
    core->manager.update_activity = reinterpret_cast<void *>(&update_activity);
    core->manager.clear_activity = reinterpret_cast<void *>(&clear_activity);
    core->dead = dead;
    core->thread = GetCurrentThreadId();
    state.cores.push_back(core);
    core->generation = static_cast<int32_t>(state.cores.size());
    all_cores.push_back(core);
    return &core->table;
}

} // namespace

extern "C" __declspec(dllexport) EDiscordResult SDK_CALL
    DiscordCreate(DiscordVersion version, DiscordCreateParams *params, IDiscordCore **result)
{
    ++state.create_count;
    state.has_creation = true;
    state.last_creation.version = version;
    state.last_creation.params = *params;
    if (version != DISCORD_VERSION) {
        fault("DiscordCreate with an interface version other than 2", nullptr);
    }
    if (!state.discord_running) {
        if ((params->flags & DiscordCreateFlags_NoRequireDiscord) == 0) {
            // The real SDK ends the process here and asks Discord to relaunch it.
            ExitProcess(stub_sdk_relaunch_exit_code);
        }
        switch (state.absent_mode) {
        case STUB_SDK_ABSENT_NOT_RUNNING:
            return DiscordResult_NotRunning;
        case STUB_SDK_ABSENT_DEAD_CORE:
            *result = new_core(true);
            return DiscordResult_Ok;
        default:
            return DiscordResult_InternalError;
        }
    }
    *result = new_core(false);
    return DiscordResult_Ok;
}

STUB_SDK_API void stub_sdk_reset()
{
    for (stub_core *core : all_cores) {
        core->dead = true; // cores of earlier tests must not answer any more
    }
    state = stub_state{};
}

STUB_SDK_API void stub_sdk_set_discord_running(int running)
{
    state.discord_running = running != 0;
    if (!state.discord_running) {
        for (stub_core *core : all_cores) {
            core->dead = true;
        }
    }
}

STUB_SDK_API void stub_sdk_set_absent_mode(int32_t mode)
{
    state.absent_mode = mode;
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

STUB_SDK_API int stub_sdk_generation()
{
    return static_cast<int>(state.cores.size());
}

STUB_SDK_API int stub_sdk_live_cores()
{
    int live = 0;
    for (const stub_core *core : state.cores) {
        live += core->destroyed ? 0 : 1;
    }
    return live;
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

STUB_SDK_API int stub_sdk_fault_count()
{
    return static_cast<int>(state.faults.size());
}

STUB_SDK_API int stub_sdk_fault_at(int index, char *text, int size)
{
    if (index < 0 || static_cast<size_t>(index) >= state.faults.size() || size <= 0) {
        return 0;
    }
    std::snprintf(text, static_cast<size_t>(size), "%s", state.faults[index].c_str());
    return 1;
}
