// Simulated Winamp host: window, scripted answers, posted notifications,
// internet radio, menus, the hotkeys plug-in, plug-in loading, message loop.
#include "sim_host.h"

#include "checked_call.h"
#include "title_formatter.h"

#include <algorithm>
#include <cstring>
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

// The title and info notifications that follow a start, ~100 ms later.
constexpr UINT_PTR after_play_timer = 1;
constexpr UINT after_play_ms = 100;
constexpr char class_name_a[] = "Winamp v1.x";

// A few of the host's own commands, for menus that look like its own.
struct sim_menu_item {
    UINT command; // 0: a separator
    const wchar_t *text;
};
constexpr sim_menu_item file_items[] = {
    {40029, L"Play file...\tL"}, {40155, L"Play URL...\tCtrl+L"}, {0, nullptr}, {40001, L"Exit"}};
constexpr sim_menu_item play_items[] = {{40044, L"Previous\tZ"},
                                        {40045, L"Play\tX"},
                                        {40046, L"Pause\tC"},
                                        {40047, L"Stop\tV"},
                                        {40048, L"Next\tB"}};
constexpr sim_menu_item options_items[] = {
    {40012, L"Preferences...\tCtrl+P"}, {40019, L"Always On Top\tCtrl+A"}, {40165, L"Double Size\tCtrl+D"}};
constexpr sim_menu_item windows_items[] = {{40258, L"Main Window\tAlt+W"},
                                           {40040, L"Playlist Editor\tAlt+E"}};
constexpr sim_menu_item help_items[] = {{40041, L"About Winamp...\tAlt+3"}};
constexpr sim_menu_item popup_items[] = {{40029, L"Play file...\tL"},
                                         {40155, L"Play URL...\tCtrl+L"},
                                         {0, nullptr},
                                         {40258, L"Main Window\tAlt+W"},
                                         {40040, L"Playlist Editor\tAlt+E"},
                                         {0, nullptr},
                                         {40001, L"Exit"}};

template <size_t count> HMENU popup_of(const sim_menu_item (&items)[count])
{
    HMENU menu = CreatePopupMenu();
    for (const sim_menu_item &item : items) {
        AppendMenuW(menu, item.command == 0 ? MF_SEPARATOR : MF_STRING, item.command, item.text);
    }
    return menu;
}

// Where the numbers the host registers for names begin.
constexpr LRESULT first_registered_message = IPC_REGISTER_WINAMP_IPCMESSAGE + 1;

std::wstring menu_item_text(HMENU menu, int position)
{
    wchar_t text[128] = {};
    GetMenuStringW(menu, static_cast<UINT>(position), text, 128, MF_BYPOSITION);
    return text;
}

int menu_item_position(HMENU menu, const std::wstring &text)
{
    for (int position = 0; menu != nullptr && position < GetMenuItemCount(menu); ++position) {
        if (menu_item_text(menu, position) == text) {
            return position;
        }
    }
    return -1;
}

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
    create_menus();
}

void sim_host::create_menus()
{
    main_menu_ = CreateMenu();
    AppendMenuW(main_menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(popup_of(file_items)), L"&File");
    AppendMenuW(main_menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(popup_of(play_items)), L"&Play");
    AppendMenuW(main_menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(popup_of(options_items)), L"&Options");
    AppendMenuW(main_menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(popup_of(windows_items)), L"&Windows");
    AppendMenuW(main_menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(popup_of(help_items)), L"&Help");
    main_popup_ = popup_of(popup_items);
}

sim_host::~sim_host()
{
    unload_plugin();
    if (window_ != nullptr) {
        DestroyWindow(window_);
    }
    DestroyMenu(main_menu_); // and its submenus
    DestroyMenu(main_popup_);
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

// Like Winamp, a stream is an entry of a scheme its decoders stream; a CD
// track ("cda://D,1") and a "file:///" entry play like files.
bool sim_host::plays_stream() const
{
    static const std::wstring_view stream_prefixes[] = {L"http://", L"https://", L"icy://", L"uvox://",
                                                        L"mms://"};
    return playback_state != 0 && std::ranges::any_of(stream_prefixes, [&](std::wstring_view prefix) {
               return playing_file.size() >= prefix.size() &&
                      _wcsnicmp(playing_file.c_str(), prefix.data(), prefix.size()) == 0;
           });
}

void sim_host::post_notification(WPARAM notification)
{
    PostMessageW(window_, WM_WA_IPC, notification, IPC_CB_MISC);
}

void sim_host::post_stop_sequence()
{
    playback_state = 0;
    output_time_ms = -1;
    buffering_ = false;
    post_notification(IPC_CB_MISC_TITLE);
    send_to_window(WM_WA_IPC, 0, SIM_IPC_STOPPLAYING);
    post_notification(IPC_CB_MISC_STATUS);
}

void sim_host::play(const std::wstring &file, LRESULT position_ms)
{
    if (playback_state != 0) {
        post_stop_sequence();
    }
    playing_file = file;
    playback_state = 1;
    output_time_ms = position_ms;
    position_clock_ = GetTickCount();
    buffering_ = false;
    if (plays_stream()) {
        // A stream starts with its bare URL as the title and no keys known.
        stream_keys.clear();
        library[file].extended = false;
        library[file].display_title = file;
        output_time_ms = 0;
        buffering_ = true; // 0 while it connects
    }
    post_notification(IPC_CB_MISC_TITLE);
    post_notification(SIM_CB_MISC_VOLUME);
    post_notification(SIM_CB_MISC_VOLUME);
    post_notification(IPC_CB_MISC_TITLE);
    playing_file_a_.assign(file.begin(), file.end());
    send_to_window(WM_WA_IPC, reinterpret_cast<WPARAM>(playing_file_a_.c_str()), SIM_IPC_PLAYING_FILE);
    send_to_window(WM_WA_IPC, reinterpret_cast<WPARAM>(playing_file.c_str()), SIM_IPC_PLAYING_FILEW);
    post_notification(IPC_CB_MISC_STATUS);
    SetTimer(window_, after_play_timer, after_play_ms, nullptr);
}

void sim_host::pause()
{
    output_time_ms = position_now();
    playback_state = 3;
    position_clock_ = GetTickCount();
    post_notification(IPC_CB_MISC_TITLE);
    post_notification(IPC_CB_MISC_STATUS);
    post_notification(SIM_CB_MISC_PAUSE);
}

void sim_host::resume()
{
    playback_state = 1;
    position_clock_ = GetTickCount();
    post_notification(IPC_CB_MISC_TITLE);
    post_notification(IPC_CB_MISC_STATUS);
    post_notification(SIM_CB_MISC_UNPAUSE);
}

void sim_host::stop()
{
    post_stop_sequence();
}

void sim_host::set_stream_display_title(const std::wstring &text)
{
    library[playing_file].display_title = text;
    post_notification(IPC_CB_MISC_TITLE);
}

void sim_host::stream_connecting()
{
    set_stream_display_title(L"[Connecting] " + playing_file);
}

void sim_host::stream_buffering(int percent)
{
    if (!buffering_) {
        output_time_ms = position_now();
        buffering_ = true;
    }
    const auto song = stream_keys.find(L"streamtitle");
    const std::wstring &shown =
        song == stream_keys.end() ? playing_file : library[playing_file].display_title;
    const std::wstring rest = shown.rfind(L"[Buffer: ", 0) == 0 ? shown.substr(shown.find(L"] ") + 2) : shown;
    set_stream_display_title(L"[Buffer: " + std::to_wstring(percent) + L"%] " + rest);
}

void sim_host::stream_on_air(const std::wstring &stream_title)
{
    if (buffering_) {
        position_clock_ = GetTickCount();
        buffering_ = false;
    }
    stream_keys[L"streamtitle"] = stream_title;
    const auto station = stream_keys.find(L"streamname");
    set_stream_display_title(station == stream_keys.end() ? stream_title
                                                          : stream_title + L" (" + station->second + L")");
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
    if (playback_state == 0) {
        return -1;
    }
    if (output_time_ms < 0 || playback_state != 1 || buffering_) {
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

void sim_host::notify_status()
{
    post_notification(IPC_CB_MISC_STATUS);
}

void sim_host::notify_title()
{
    post_notification(IPC_CB_MISC_TITLE);
}

LRESULT sim_host::send_notification(WPARAM notification)
{
    return send_to_window(WM_WA_IPC, notification, IPC_CB_MISC);
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

LRESULT sim_host::send_to_window(UINT message, WPARAM wparam, LPARAM lparam)
{
    auto send = unicode_ ? reinterpret_cast<const void *>(&SendMessageW)
                         : reinterpret_cast<const void *>(&SendMessageA);
    return static_cast<LRESULT>(
        checked_call(send, next_misalignment(), true,
                     {reinterpret_cast<std::uintptr_t>(window_), message, static_cast<std::uintptr_t>(wparam),
                      static_cast<std::uintptr_t>(lparam)}));
}

void sim_host::unload_plugin()
{
    if (module_ != nullptr) {
        FreeLibrary(module_);
        module_ = nullptr;
        descriptor_ = nullptr;
    }
}

void sim_host::exit_without_unloading()
{
    if (playback_state != 0) {
        post_stop_sequence();
    }
    DestroyWindow(window_);
    window_ = nullptr;
    quit_plugin();
    // Mapped until the process ends, as Winamp leaves it.
    module_ = nullptr;
    descriptor_ = nullptr;
}

void sim_host::end_session()
{
    send_to_window(WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
    send_to_window(WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
}

// Every message is dispatched on a misaligned stack, so the plug-in's window
// procedure meets each alignment for the notifications the host posts.
void sim_host::pump(unsigned milliseconds)
{
    const DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            checked_call(reinterpret_cast<const void *>(&DispatchMessageW), next_misalignment(), true,
                         {reinterpret_cast<std::uintptr_t>(&message)});
        }
        if (milliseconds > 0) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        }
    } while (GetTickCount() - start < milliseconds);
}

HMENU sim_host::menu(WPARAM which) const
{
    const auto index = static_cast<int>(which);
    if (index == -1) {
        return main_menu_;
    }
    if (index == 0) {
        return main_popup_;
    }
    return index >= 1 && index <= 5 ? GetSubMenu(main_menu_, index - 1) : nullptr;
}

std::optional<UINT> sim_host::menu_item_state(WPARAM which, const std::wstring &text) const
{
    const HMENU shown = menu(which);
    const int position = menu_item_position(shown, text);
    if (position < 0) {
        return std::nullopt;
    }
    return GetMenuState(shown, static_cast<UINT>(position), MF_BYPOSITION);
}

bool sim_host::click_menu_item(WPARAM which, const std::wstring &text)
{
    const HMENU shown = menu(which);
    const int position = menu_item_position(shown, text);
    if (position < 0) {
        return false;
    }
    const UINT command = GetMenuItemID(shown, position);
    send_to_window(WM_COMMAND, MAKEWPARAM(command, 0), 0);
    return true;
}

bool sim_host::press_hotkey(const std::string &id)
{
    for (const sim_hotkey &hotkey : hotkeys) {
        if (_stricmp(hotkey.id.c_str(), id.c_str()) != 0) {
            continue;
        }
        if (hotkey.window == nullptr || hotkey.window == window_) {
            send_to_window(hotkey.message, hotkey.wparam, hotkey.lparam);
        } else {
            SendMessageW(hotkey.window, hotkey.message, hotkey.wparam, hotkey.lparam);
        }
        return true;
    }
    return false;
}

LRESULT sim_host::register_message(const char *name)
{
    const auto known = registered_messages_.find(name);
    if (known != registered_messages_.end()) {
        return known->second;
    }
    const LRESULT number = first_registered_message + static_cast<LRESULT>(registered_messages_.size());
    registered_messages_[name] = number;
    return number;
}

// The hotkeys plug-in's entry point: copies what a plug-in offers, as that
// plug-in does, and leaves the record to its owner.
bool sim_host::take_hotkey(WPARAM wparam, LPARAM query)
{
    const auto entry_point = registered_messages_.find(GEN_HOTKEYS_ADD_MESSAGE);
    if (!hotkeys_plugin || entry_point == registered_messages_.end() || query != entry_point->second) {
        return false;
    }
    const auto *offer = reinterpret_cast<const genHotkeysAddStruct *>(wparam);
    if (offer == nullptr || offer->name == nullptr || offer->id == nullptr) {
        return true;
    }
    std::wstring name;
    if (offer->flags & HKF_UNICODE_NAME) {
        name = reinterpret_cast<const wchar_t *>(offer->name);
    } else {
        wchar_t wide[256] = {};
        MultiByteToWideChar(CP_ACP, 0, offer->name, -1, wide, 255);
        name = wide;
    }
    hotkeys.push_back({name, offer->id, offer->flags, offer->uMsg, offer->wParam, offer->lParam, offer->wnd});
    return true;
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
    switch (message) {
    case WM_WA_IPC:
        if (host->take_hotkey(wparam, lparam)) {
            return 0;
        }
        return host->answer_query(wparam, lparam);
    case WM_COMMAND:
        if (LOWORD(wparam) == WINAMP_FFWD5S || LOWORD(wparam) == WINAMP_REW5S) {
            host->move_to(host->position_now() + (LOWORD(wparam) == WINAMP_FFWD5S ? 5000 : -5000));
            return 0;
        }
        break;
    case WM_TIMER:
        if (wparam == after_play_timer) {
            KillTimer(window, after_play_timer);
            host->post_notification(IPC_CB_MISC_TITLE);
            host->post_notification(SIM_CB_MISC_INFO);
            return 0;
        }
        break;
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        // Winamp quits its plug-ins right here, its window still alive.
        if (wparam && host->descriptor_ != nullptr) {
            host->quit_plugin();
            if (host->free_plugin_at_end_session) {
                host->unload_plugin();
            }
        }
        return 0;
    }
    return host->unicode_ ? DefWindowProcW(window, message, wparam, lparam)
                          : DefWindowProcA(window, message, wparam, lparam);
}

LRESULT sim_host::answer_query(WPARAM wparam, LPARAM query)
{
    if (wparam == IPC_CB_MISC_STATUS && query == IPC_CB_MISC) {
        return sim_status_result;
    }
    switch (query) {
    case IPC_GETVERSION:
        return static_cast<LRESULT>(version);
    case IPC_ISPLAYING:
        return playback_state;
    case IPC_GETOUTPUTTIME: {
        if (wparam == 0) {
            return position_now();
        }
        const auto track = library.find(playing_file);
        const bool known = playback_state != 0 && !plays_stream() && track != library.end() &&
                           track->second.length_seconds > 0;
        if (wparam == 1) {
            return known ? track->second.length_seconds : -1;
        }
        return wparam == 2 ? (known ? track->second.length_seconds * 1000 : -1000) : -1;
    }
    case IPC_JUMPTOTIME:
        if (playback_state == 0 || plays_stream()) {
            return -1;
        }
        move_to(static_cast<LRESULT>(wparam));
        return 0;
    // The host's texts are never NULL: an empty text when there is none.
    case IPC_GETINIDIRECTORY:
        return reinterpret_cast<LRESULT>(ini_directory_a.c_str());
    case IPC_GETINIDIRECTORYW:
        return reinterpret_cast<LRESULT>(ini_directory_w.c_str());
    case IPC_GETPLUGINDIRECTORY:
        return reinterpret_cast<LRESULT>(plugin_directory_a.c_str());
    case IPC_GETPLUGINDIRECTORYW:
        return reinterpret_cast<LRESULT>(plugin_directory_w.c_str());
    case IPC_GET_PLAYING_FILENAME:
        return reinterpret_cast<LRESULT>(playing_file.c_str());
    case IPC_GET_PLAYING_TITLE: {
        static const std::wstring nothing;
        auto entry = library.find(playing_file);
        return reinterpret_cast<LRESULT>(entry == library.end() ? nothing.c_str()
                                                                : entry->second.display_title.c_str());
    }
    case IPC_GET_HMENU:
        return reinterpret_cast<LRESULT>(menu(wparam));
    case IPC_REGISTER_LOWORD_COMMAND: {
        const LRESULT first = next_command_;
        next_command_ += wparam == 0 ? 1 : static_cast<LRESULT>(wparam);
        return first;
    }
    case IPC_REGISTER_WINAMP_IPCMESSAGE:
        return wparam == 0 ? 0 : register_message(reinterpret_cast<const char *>(wparam));
    case IPC_GET_EXTENDED_FILE_INFOW:
        return answer_extended_info(reinterpret_cast<extendedFileInfoStructW *>(wparam));
    case IPC_FORMAT_TITLE_EXTENDED:
        return formats_titles ? format_title(reinterpret_cast<waFormatTitleExtended *>(wparam))
                              : sim_unknown_query_result;
    case SIM_IPC_STOPPLAYING:
    case SIM_IPC_PLAYING_FILE:
    case SIM_IPC_PLAYING_FILEW:
        return 0;
    default:
        return sim_unknown_query_result;
    }
}

// Like Winamp's input plug-ins: for a file they know, a tag name they know is
// answered with success and its text, empty when the file lacks the tag; a
// name they do not know ("album artist", say) is not answered at all. A
// stream answers no tags, only its stream keys, and those only for the
// playing URL. The answer's buffer is zeroed first, as the host does.
LRESULT sim_host::answer_extended_info(extendedFileInfoStructW *info) const
{
    static const std::wstring_view tag_names[] = {L"title", L"artist", L"albumartist", L"album",
                                                  L"genre", L"track",  L"year",        L"composer"};
    static const std::wstring_view stream_key_names[] = {L"streamtitle", L"streamname", L"streamurl",
                                                         L"streamgenre", L"streamtype", L"uvox/title",
                                                         L"uvox/artist", L"uvox/album", L"uvox/albumart"};
    if (info->metadata == nullptr || info->ret == nullptr || info->retlen == 0) {
        return 0;
    }
    std::memset(info->ret, 0, info->retlen); // bytes, as the host does
    const std::wstring file = info->filename != nullptr ? info->filename : L"";
    const std::wstring_view name = info->metadata;
    std::wstring text;
    if (plays_stream() && file == playing_file) {
        if (std::ranges::find(stream_key_names, name) == std::end(stream_key_names)) {
            return 0;
        }
        const auto key = stream_keys.find(std::wstring(name));
        text = key == stream_keys.end() ? L"" : key->second;
    } else {
        auto entry = library.find(file);
        if (entry == library.end() || !entry->second.extended ||
            std::ranges::find(tag_names, name) == std::end(tag_names)) {
            return 0;
        }
        auto tag = entry->second.tags.find(std::wstring(name));
        text = tag == entry->second.tags.end() ? L"" : tag->second;
    }
    wcsncpy(info->ret, text.c_str(), info->retlen - 1);
    info->ret[info->retlen - 1] = L'\0';
    return 1;
}

// The entry's name, its folder's name, and its tags under the names its
// input plug-in answers (any tag the library holds for it; none for a stream).
LRESULT sim_host::format_title(waFormatTitleExtended *request)
{
    const std::wstring file = request->filename != nullptr ? request->filename : L"";
    if (!file.empty()) {
        formatted_entries.push_back(file);
    }
    sim_format_title(request, [&](const std::wstring &tag) -> std::optional<std::wstring> {
        host_fields_asked.push_back(tag);
        if (tag == L"filename") {
            return file;
        }
        if (tag == L"folder") {
            const size_t name_start = file.find_last_of(L"\\/");
            const std::wstring folder = file.substr(0, name_start == std::wstring::npos ? 0 : name_start);
            return folder.substr(folder.find_last_of(L"\\/") + 1); // npos + 1: the whole
        }
        const auto entry = library.find(file);
        if (entry == library.end() || !entry->second.extended) {
            return std::nullopt;
        }
        const auto value = entry->second.tags.find(tag);
        return value == entry->second.tags.end() ? std::optional<std::wstring>() : value->second;
    });
    return 0;
}
