// Simulated Winamp host: window, scripted answers, plug-in loading, message loop.
#include "sim_host.h"

#include "checked_call.h"

#include <algorithm>
#include <cwchar>
#include <iterator>
#include <stdexcept>
#include <string_view>

namespace {

sim_host *current_host;

// A 32-bit host guarantees a callee only 4-byte stack alignment: every call into the plug-in
// comes on a stack misaligned by the next of 4, 8 and 12 bytes, so each entry point meets all.
unsigned next_misalignment()
{
    static unsigned calls;
    return 4 * (1 + calls++ % 3);
}

constexpr wchar_t class_name_w[] = L"Winamp v1.x";
constexpr char class_name_a[] = "Winamp v1.x";

} // namespace

sim_host::sim_host(bool unicode_window) : unicode_(unicode_window)
{
    if (current_host != nullptr) {
        throw std::logic_error("only one simulated host at a time");
    }
    current_host = this;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (unicode_) {
        WNDCLASSW window_class{};
        window_class.lpfnWndProc = &window_procedure;
        window_class.hInstance = instance;
        window_class.lpszClassName = class_name_w;
        RegisterClassW(&window_class);
        window_ = CreateWindowW(class_name_w, L"Winamp", WS_OVERLAPPEDWINDOW, 0, 0, 300, 100, nullptr,
                                nullptr, instance, nullptr);
    } else {
        WNDCLASSA window_class{};
        window_class.lpfnWndProc = &window_procedure;
        window_class.hInstance = instance;
        window_class.lpszClassName = class_name_a;
        RegisterClassA(&window_class);
        window_ = CreateWindowA(class_name_a, "Winamp", WS_OVERLAPPEDWINDOW, 0, 0, 300, 100, nullptr, nullptr,
                                instance, nullptr);
    }
    if (window_ == nullptr) {
        current_host = nullptr;
        throw std::runtime_error("cannot create the host window (is there a display?)");
    }
}

sim_host::~sim_host()
{
    unload_plugin();
    DestroyWindow(window_);
    if (unicode_) {
        UnregisterClassW(class_name_w, GetModuleHandleW(nullptr));
    } else {
        UnregisterClassA(class_name_a, GetModuleHandleW(nullptr));
    }
    pump(0);
    current_host = nullptr;
}

LONG_PTR sim_host::own_procedure() const
{
    return reinterpret_cast<LONG_PTR>(&window_procedure);
}

LONG_PTR sim_host::current_procedure() const
{
    return unicode_ ? GetWindowLongPtrW(window_, GWLP_WNDPROC) : GetWindowLongPtrA(window_, GWLP_WNDPROC);
}

void sim_host::play(const std::wstring &file, LRESULT position_ms)
{
    playing_file = file;
    playback_state = 1;
    output_time_ms = position_ms;
    position_clock_ = GetTickCount();
    notify_status();
}

void sim_host::pause()
{
    output_time_ms = position_now();
    playback_state = 3;
    position_clock_ = GetTickCount();
    notify_status();
}

void sim_host::resume()
{
    playback_state = 1;
    position_clock_ = GetTickCount();
    notify_status();
}

void sim_host::seek(LRESULT position_ms)
{
    SendMessageW(window_, WM_WA_IPC, static_cast<WPARAM>(position_ms), IPC_JUMPTOTIME);
}

void sim_host::seek_unheard(LRESULT position_ms)
{
    move_to(position_ms);
}

void sim_host::jump_5s(bool forward)
{
    SendMessageW(window_, WM_COMMAND, forward ? WINAMP_FFWD5S : WINAMP_REW5S, 0);
}

LRESULT sim_host::position_now() const
{
    if (output_time_ms < 0 || playback_state != 1) {
        return output_time_ms;
    }
    return output_time_ms + static_cast<LRESULT>(GetTickCount() - position_clock_);
}

void sim_host::move_to(LRESULT position_ms)
{
    if (playback_state != 0) {
        output_time_ms = position_ms < 0 ? 0 : position_ms;
        position_clock_ = GetTickCount();
    }
}

void sim_host::stop()
{
    playback_state = 0;
    output_time_ms = -1;
    notify_status();
}

LRESULT sim_host::notify_status()
{
    return send_to_window(IPC_CB_MISC_STATUS);
}

LRESULT sim_host::notify_title()
{
    return send_to_window(IPC_CB_MISC_TITLE);
}

bool sim_host::load_plugin(const wchar_t *dll_name)
{
    module_ = LoadLibraryW(dll_name);
    if (module_ == nullptr) {
        return false;
    }
    using entry_point = winampGeneralPurposePlugin *(__cdecl *)();
    auto entry = reinterpret_cast<entry_point>(
        reinterpret_cast<void *>(GetProcAddress(module_, "winampGetGeneralPurposePlugin")));
    if (entry == nullptr) {
        return false;
    }
    descriptor_ = reinterpret_cast<winampGeneralPurposePlugin *>(
        checked_call(reinterpret_cast<const void *>(entry), next_misalignment(), false));
    descriptor_->hwndParent = window_;
    descriptor_->hDllInstance = module_;
    return true;
}

// The descriptor's functions are cdecl (the callee removes nothing), SendMessage stdcall.
int sim_host::init_plugin()
{
    return static_cast<int>(
        checked_call(reinterpret_cast<const void *>(descriptor_->init), next_misalignment(), false));
}

void sim_host::config_plugin()
{
    checked_call(reinterpret_cast<const void *>(descriptor_->config), next_misalignment(), false);
}

void sim_host::quit_plugin()
{
    checked_call(reinterpret_cast<const void *>(descriptor_->quit), next_misalignment(), false);
}

LRESULT sim_host::send_to_window(WPARAM notification)
{
    auto send = unicode_ ? reinterpret_cast<const void *>(&SendMessageW)
                         : reinterpret_cast<const void *>(&SendMessageA);
    return static_cast<LRESULT>(
        checked_call(send, next_misalignment(), true,
                     {reinterpret_cast<std::uintptr_t>(window_), WM_WA_IPC, notification, IPC_CB_MISC}));
}

void sim_host::unload_plugin()
{
    if (module_ != nullptr) {
        FreeLibrary(module_);
        module_ = nullptr;
        descriptor_ = nullptr;
    }
}

void sim_host::pump(unsigned milliseconds)
{
    const DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (milliseconds > 0) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        }
    } while (GetTickCount() - start < milliseconds);
}

int sim_host::queries_received(LPARAM query) const
{
    int count = 0;
    for (const sim_message &entry : received) {
        if (entry.message == WM_WA_IPC && entry.lparam == query) {
            ++count;
        }
    }
    return count;
}

LRESULT CALLBACK sim_host::window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    sim_host *host = current_host;
    if (host == nullptr || window != host->window_) {
        return DefWindowProcW(window, message, wparam, lparam);
    }
    host->received.push_back({message, wparam, lparam});
    if (message == WM_WA_IPC) {
        return host->answer_query(wparam, lparam);
    }
    if (message == WM_COMMAND && (LOWORD(wparam) == WINAMP_FFWD5S || LOWORD(wparam) == WINAMP_REW5S)) {
        host->move_to(host->position_now() + (LOWORD(wparam) == WINAMP_FFWD5S ? 5000 : -5000));
        return 0;
    }
    return host->unicode_ ? DefWindowProcW(window, message, wparam, lparam)
                          : DefWindowProcA(window, message, wparam, lparam);
}

LRESULT sim_host::answer_query(WPARAM wparam, LPARAM query)
{
    auto text_or_null = [](const auto &text) -> LRESULT {
        return text.empty() ? 0 : reinterpret_cast<LRESULT>(text.c_str());
    };
    if (wparam == IPC_CB_MISC_STATUS && query == IPC_CB_MISC) {
        return sim_status_result;
    }
    switch (query) {
    case IPC_GETVERSION:
        return static_cast<LRESULT>(version);
    case IPC_ISPLAYING:
        return playback_state;
    case IPC_GETOUTPUTTIME:
        if (wparam == 1) {
            const auto track = library.find(playing_file);
            const bool known =
                playback_state != 0 && track != library.end() && track->second.length_seconds > 0;
            return known ? track->second.length_seconds : -1;
        }
        return wparam == 0 ? position_now() : -1;
    case IPC_JUMPTOTIME:
        move_to(static_cast<LRESULT>(wparam));
        return 0;
    case IPC_GETINIDIRECTORY:
        return text_or_null(ini_directory_a);
    case IPC_GETINIDIRECTORYW:
        return text_or_null(ini_directory_w);
    case IPC_GETPLUGINDIRECTORY:
        return text_or_null(plugin_directory_a);
    case IPC_GETPLUGINDIRECTORYW:
        return text_or_null(plugin_directory_w);
    case IPC_GET_PLAYING_FILENAME:
        return reinterpret_cast<LRESULT>(playing_file.c_str());
    case IPC_GET_PLAYING_TITLE: {
        auto entry = library.find(playing_file);
        return entry == library.end() ? 0 : text_or_null(entry->second.display_title);
    }
    case IPC_GET_EXTENDED_FILE_INFOW:
        return answer_extended_info(reinterpret_cast<extendedFileInfoStructW *>(wparam));
    default:
        return sim_unknown_query_result;
    }
}

// Like Winamp's input plug-ins: for a file they know, a tag name they know is
// answered with success and its text, empty when the file lacks the tag; a
// name they do not know ("album artist", say) is not answered at all.
LRESULT sim_host::answer_extended_info(extendedFileInfoStructW *info) const
{
    static const std::wstring_view known_names[] = {L"title", L"artist", L"albumartist", L"album"};
    auto entry = library.find(info->filename != nullptr ? info->filename : L"");
    if (entry == library.end() || !entry->second.extended || info->metadata == nullptr ||
        std::ranges::find(known_names, info->metadata) == std::end(known_names)) {
        return 0;
    }
    auto tag = entry->second.tags.find(info->metadata);
    const std::wstring text = tag == entry->second.tags.end() ? L"" : tag->second;
    if (info->retlen > 0) {
        wcsncpy(info->ret, text.c_str(), info->retlen - 1);
        info->ret[info->retlen - 1] = L'\0';
    }
    return 1;
}
