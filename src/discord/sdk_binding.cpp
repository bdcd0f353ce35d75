// Finding discord_game_sdk.dll, telling its version and calling convention
// through DiscordVersion, and calling its operations: through a call that
// restores the stack, and with result callbacks of the DLL's convention.
#include "discord/sdk_binding.h"

#include "discord/stack_thunk.h"

#include <type_traits>

namespace {

constexpr wchar_t sdk_file_name[] = L"discord_game_sdk.dll";

// Bytes of arguments DiscordVersion(void*, int32_t*) removes from the stack.
constexpr int32_t version_args_popped_stdcall = 8;
constexpr int32_t version_args_popped_cdecl = 0;

template <typename Arg> uint32_t as_word(Arg arg)
{
    if constexpr (std::is_pointer_v<Arg>) {
        return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(arg));
    } else {
        return static_cast<uint32_t>(arg);
    }
}

// Calls an SDK entry with 32-bit arguments. The stack is restored after the
// call, which makes it right for both conventions; the convention still
// decides which result callback the SDK is given.
template <typename... Args> uint32_t call(void *entry, Args... args)
{
    const uint32_t words[] = {as_word(args)...};
    return stack_thunk_call(entry, words, sizeof...(Args), nullptr);
}

// The folder of a module's file, without a trailing backslash; empty when unknown.
std::wstring module_folder(HMODULE module)
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator);
}

// The SDK beside the plug-in, else the one the normal search finds. A file
// beside the plug-in that cannot be loaded leaves its error in `sdk`.
HMODULE load_sdk_module(sdk_library &sdk)
{
    if (!sdk.plugin_folder.empty()) {
        const std::wstring beside_plugin = sdk.plugin_folder + L'\\' + sdk_file_name;
        if (HMODULE module = LoadLibraryExW(beside_plugin.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH)) {
            return module;
        }
        const DWORD error = GetLastError();
        if (GetFileAttributesW(beside_plugin.c_str()) != INVALID_FILE_ATTRIBUTES) {
            sdk.load_error = error;
        }
    }
    return LoadLibraryW(sdk_file_name);
}

void *export_named(HMODULE module, const char *name)
{
    return reinterpret_cast<void *>(GetProcAddress(module, name));
}

// Asks DiscordVersion for the SDK's version; the bytes it pops tell the convention.
bool read_version(void *discord_version, sdk_library &sdk)
{
    int32_t unused[16] = {};
    int32_t version[16] = {};
    int32_t popped = -1;
    const uint32_t args[] = {as_word(unused), as_word(version)};
    stack_thunk_call(discord_version, args, 2, &popped);
    if (popped == version_args_popped_stdcall) {
        sdk.convention = sdk_convention::stdcall_abi;
    } else if (popped == version_args_popped_cdecl) {
        sdk.convention = sdk_convention::cdecl_abi;
    } else {
        return false;
    }
    sdk.version = {version[0], version[1], version[2]};
    return true;
}

void *callback_entry(const sdk_library &sdk, sdk_result_callback callback)
{
    return sdk.convention == sdk_convention::stdcall_abi ? callback.stdcall_entry : callback.cdecl_entry;
}

} // namespace

sdk_library sdk_load(HMODULE plugin_module)
{
    sdk_library sdk;
    sdk.plugin_folder = module_folder(plugin_module);
    sdk.host_folder = module_folder(nullptr);
    HMODULE module = load_sdk_module(sdk);
    if (module == nullptr) {
        sdk.availability = sdk.load_error != 0 ? sdk_availability::not_loadable : sdk_availability::not_found;
        return sdk;
    }
    void *create = export_named(module, "DiscordCreate");
    void *discord_version = export_named(module, "DiscordVersion");
    if (create == nullptr) {
        sdk.availability = sdk_availability::not_an_sdk;
    } else if (discord_version == nullptr || !read_version(discord_version, sdk)) {
        sdk.availability = sdk_availability::no_version;
    } else if (sdk.version.major != 2 && sdk.version.major != 3) {
        sdk.availability = sdk_availability::unsupported_version;
    } else {
        sdk.availability = sdk_availability::ready;
        sdk.create = create;
    }
    return sdk;
}

EDiscordResult sdk_create(const sdk_library &sdk, DiscordCreateParams *params, IDiscordCore **core)
{
    return static_cast<EDiscordResult>(call(sdk.create, DISCORD_VERSION, params, core));
}

void sdk_destroy(IDiscordCore *core)
{
    call(core->destroy, core);
}

EDiscordResult sdk_run_callbacks(IDiscordCore *core)
{
    return static_cast<EDiscordResult>(call(core->run_callbacks, core));
}

IDiscordActivityManager *sdk_activity_manager(IDiscordCore *core)
{
    return reinterpret_cast<IDiscordActivityManager *>(call(core->get_activity_manager, core));
}

void sdk_update_activity(const sdk_library &sdk, IDiscordActivityManager *manager, DiscordActivity *activity,
                         void *callback_data, sdk_result_callback callback)
{
    call(manager->update_activity, manager, activity, callback_data, callback_entry(sdk, callback));
}

void sdk_clear_activity(const sdk_library &sdk, IDiscordActivityManager *manager, void *callback_data,
                        sdk_result_callback callback)
{
    call(manager->clear_activity, manager, callback_data, callback_entry(sdk, callback));
}
