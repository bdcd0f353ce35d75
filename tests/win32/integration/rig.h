// Shared fixture of the integration tests: a simulated host with the shipped
// plug-in loaded, and the stand-in SDK's record read back as plain values.
#pragma once

#include "catalogue.h"
#include "sim_host.h"
#include "stub_sdk_control.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

inline std::vector<stub_sdk_event> sdk_events()
{
    std::vector<stub_sdk_event> events(stub_sdk_event_count());
    for (size_t i = 0; i < events.size(); ++i) {
        stub_sdk_event_at(static_cast<int>(i), &events[i]);
    }
    return events;
}

inline DiscordActivity idle_activity()
{
    DiscordActivity expected;
    memset(&expected, 0, sizeof expected);
    expected.application_id = PLUGIN_CLIENT_ID;
    strcpy(expected.name, "Winamp");
    strcpy(expected.state, "(Idle)");
    strcpy(expected.assets.large_image, "winamp-logo");
    return expected;
}

inline sim_track tagged_track(std::wstring title, std::wstring artist, std::wstring album)
{
    sim_track track;
    track.tags = {{L"title", title}, {L"artist", artist}, {L"album", album}};
    track.display_title = artist + L" - " + title;
    return track;
}

class plugin_rig : public ::testing::Test {
  protected:
    void SetUp() override
    {
        stub_sdk_reset();
        catalogue_reset();
    }

    void TearDown() override
    {
        if (host && started) {
            host->quit_plugin();
        }
        host.reset();
        // Whatever the test did, the plug-in never misused the SDK.
        for (int i = 0; i < stub_sdk_fault_count(); ++i) {
            char fault[256] = {};
            stub_sdk_fault_at(i, fault, sizeof fault);
            ADD_FAILURE() << "SDK misuse: " << fault;
        }
    }

    // Creates the host and loads the plug-in, without starting it.
    void load(bool unicode_window = true)
    {
        host = std::make_unique<sim_host>(unicode_window);
        ASSERT_TRUE(host->load_plugin()) << "LoadLibrary error " << GetLastError();
    }

    // Loads and starts the plug-in; expects a successful start.
    void start(bool unicode_window = true)
    {
        load(unicode_window);
        ASSERT_EQ(host->init_plugin(), 0);
        started = true;
    }

    // On the loaded host: "Blue" by The Band plays when the plug-in starts; starts it.
    void start_with_blue_playing()
    {
        const wchar_t file[] = L"C:\\Music\\blue.mp3";
        host->library[file] = tagged_track(L"Blue", L"The Band", L"First Album");
        host->playing_file = file;
        host->playback_state = 1;
        ASSERT_EQ(host->init_plugin(), 0);
        started = true;
    }

    void quit()
    {
        host->quit_plugin();
        started = false;
    }

    int published() const { return stub_sdk_event_count(); }

    // Runs the host's message loop until `done()` holds or `timeout_ms` have passed; returns done().
    template <typename Condition> bool pump_until(Condition done, unsigned timeout_ms = 20000)
    {
        const DWORD begin = GetTickCount();
        while (!done()) {
            if (GetTickCount() - begin > timeout_ms) {
                return false;
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
            host->pump(0);
        }
        return true;
    }

    // Runs the message loop until an activity with a cover (an image other
    // than "winamp-logo") follows the first `after` events; returns the last activity.
    DiscordActivity await_cover(int after)
    {
        EXPECT_TRUE(pump_until([&] {
            const auto events = sdk_events();
            for (size_t i = after; i < events.size(); ++i) {
                const char *image = events[i].activity.assets.large_image;
                if (events[i].kind == STUB_SDK_UPDATE_ACTIVITY && image[0] != '\0' &&
                    strcmp(image, "winamp-logo") != 0) {
                    return true;
                }
            }
            return false;
        })) << "no cover arrived";
        return last_activity();
    }

    // Runs the message loop until the catalogue has received `count` requests.
    void await_requests(size_t count)
    {
        EXPECT_TRUE(pump_until([&] { return catalogue_requests().size() >= count; })) << "no request";
    }

    // Makes sure that every lookup asked for so far has ended and been handled:
    // plays an album of its own, whose lookup the worker can only start after
    // them, and waits for its cover. The barrier's track is the host's current
    // one afterwards, so a cover found before for another track went only into
    // the cache. A lookup asked for just now is given a moment to start first,
    // so that the barrier's does not replace it in the queue.
    void finish_lookups()
    {
        static int barriers;
        host->pump(100);
        const int before = published();
        const wchar_t barrier_file[] = L"C:\\Music\\barrier.mp3";
        host->library[barrier_file] =
            tagged_track(L"Barrier", catalogue_barrier_artist, L"Barrier " + std::to_wstring(++barriers));
        host->play(barrier_file);
        await_cover(before);
    }

    DiscordActivity last_activity() const
    {
        stub_sdk_event event{};
        EXPECT_TRUE(stub_sdk_event_at(stub_sdk_event_count() - 1, &event));
        EXPECT_EQ(event.kind, STUB_SDK_UPDATE_ACTIVITY);
        return event.activity;
    }

    std::unique_ptr<sim_host> host;
    bool started = false;
};

inline bool same_record(const DiscordActivity &a, const DiscordActivity &b)
{
    return memcmp(&a, &b, sizeof a) == 0;
}

// A parameterised test's name made from its case description.
inline std::string readable_test_name(std::string description)
{
    for (char &c : description) {
        c = isalnum(static_cast<unsigned char>(c)) ? c : '_';
    }
    return description;
}

// Runs a program of the build folder and waits for it (a minute at most);
// what it printed goes into `output`. Returns its exit code. The output goes
// through a file: a pipe would stay open as long as any process that
// inherited it, such as Wine's desktop process started by the child.
inline DWORD run_child(const std::string &command_line, std::string &output)
{
    char temp[MAX_PATH], output_path[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    GetTempFileNameA(temp, "out", 0, output_path);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE output_file = CreateFileA(output_path, GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_TEMPORARY, nullptr);
    std::string command = command_line;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output_file;
    startup.hStdError = output_file;
    PROCESS_INFORMATION process{};
    const bool created = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                        &startup, &process);
    CloseHandle(output_file);
    DWORD code = 0xFFFFFFFF;
    if (created) {
        WaitForSingleObject(process.hProcess, 60000);
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    HANDLE result = CreateFileA(output_path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    char buffer[4096];
    DWORD got;
    while (ReadFile(result, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        output.append(buffer, got);
    }
    CloseHandle(result);
    DeleteFileA(output_path);
    return code;
}
