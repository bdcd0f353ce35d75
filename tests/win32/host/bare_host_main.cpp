// A simulated Winamp that links no SDK, for tests that need a process of its
// own: it loads the plug-in by full path, plays a short session (album art
// off, so that no cover lookup mixes in) and prints a transcript: init's result, which discord_game_sdk.dll
// the plug-in loaded, the settings dialog's status line, every request the stand-in SDK recorded (read
// through its exports), its faults, and that quit and the unload returned.
//   bare_host PLUGIN_PATH
#include "sim_host.h"
#include "stub_sdk_control.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>

namespace {

std::wstring status_line;

void CALLBACK read_dialog(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND dialog = FindWindowW(L"#32770", L"Corvane Config");
    if (dialog == nullptr) {
        return;
    }
    KillTimer(nullptr, timer);
    wchar_t text[512] = {};
    GetDlgItemTextW(dialog, 1006, text, 512);
    status_line = text;
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
}

template <typename Function> Function sdk_export(HMODULE sdk, const char *name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void *>(GetProcAddress(sdk, name)));
}

void print_sdk_record(HMODULE sdk)
{
    auto event_count = sdk_export<int (*)()>(sdk, "stub_sdk_event_count");
    auto event_at = sdk_export<int (*)(int, stub_sdk_event *)>(sdk, "stub_sdk_event_at");
    auto fault_count = sdk_export<int (*)()>(sdk, "stub_sdk_fault_count");
    auto fault_at = sdk_export<int (*)(int, char *, int)>(sdk, "stub_sdk_fault_at");
    auto live_cores = sdk_export<int (*)()>(sdk, "stub_sdk_live_cores");
    if (event_count == nullptr || event_at == nullptr || fault_count == nullptr || fault_at == nullptr ||
        live_cores == nullptr) {
        std::printf("sdk record: unreadable\n");
        return;
    }
    for (int i = 0; i < event_count(); ++i) {
        stub_sdk_event event{};
        event_at(i, &event);
        if (event.kind == STUB_SDK_CLEAR_ACTIVITY) {
            std::printf("clear core=%d callback=%d\n", event.generation, event.callback_result);
            continue;
        }
        std::printf("update core=%d callback=%d state=\"%s\" details=\"%s\" image=\"%s\" start=%s\n",
                    event.generation, event.callback_result, event.activity.state, event.activity.details,
                    event.activity.assets.large_image, event.activity.timestamps.start != 0 ? "set" : "0");
    }
    for (int i = 0; i < fault_count(); ++i) {
        char text[256] = {};
        fault_at(i, text, sizeof text);
        std::printf("fault %s\n", text);
    }
    std::printf("live cores %d\n", live_cores());
}

std::string sdk_path()
{
    HMODULE sdk = GetModuleHandleW(L"discord_game_sdk.dll");
    if (sdk == nullptr) {
        return "none";
    }
    char path[MAX_PATH] = {};
    GetModuleFileNameA(sdk, path, MAX_PATH);
    return path;
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    _setmode(_fileno(stdout), _O_BINARY); // the transcript's lines end in LF alone
    if (argc != 2) {
        std::printf("usage: bare_host PLUGIN_PATH\n");
        return 2;
    }
    sim_host host;
    sim_track track;
    track.tags = {{L"title", L"Blue"}, {L"artist", L"The Band"}, {L"album", L"First Album"}};
    host.library[L"C:\\Music\\blue.mp3"] = track;
    // The settings live beside the plug-in: a host version that reports its plug-in directory.
    const std::wstring plugin_path = argv[1];
    host.version = 0x5666;
    host.plugin_directory_w = plugin_path.substr(0, plugin_path.find_last_of(L'\\'));
    const std::wstring settings_folder = host.plugin_directory_w + L"\\tolvek";
    CreateDirectoryW(settings_folder.c_str(), nullptr);
    if (FILE *settings = _wfopen((settings_folder + L"\\config.ini").c_str(), L"wb")) {
        std::fputs("[Display configuration]\r\nDisplay album art=0\r\n", settings);
        std::fclose(settings);
    }
    if (!host.load_plugin(argv[1])) {
        std::printf("load failed %lu\n", GetLastError());
        return 1;
    }
    std::printf("init %d\n", host.init_plugin());
    std::printf("sdk %s\n", sdk_path().c_str());
    host.pump(100);
    host.play(L"C:\\Music\\blue.mp3");
    host.pump(300);
    host.pause();
    host.pump(300);
    host.stop();
    host.pump(300);

    SetTimer(nullptr, 0, 20, &read_dialog);
    host.config_plugin();
    std::printf("status %ls\n", status_line.c_str());

    HMODULE sdk = GetModuleHandleW(L"discord_game_sdk.dll");
    host.quit_plugin();
    std::printf("quit returned\n");
    host.unload_plugin();
    host.pump(500);
    if (sdk != nullptr) {
        print_sdk_record(sdk);
    }
    std::printf("alive after unload\n");
    return 0;
}
