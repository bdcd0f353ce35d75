// Shared fixture of the integration tests: a simulated host with the shipped
// plug-in loaded, and a fake Discord whose received frames the tests read.
#pragma once

#include "catalogue.h"
#include "fake_discord.h"
#include "sim_host.h"
#include "version.h"

#include <gtest/gtest.h>

#include <psapi.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

// The settings dialog's caption: its template's, and the plug-in's version.
inline constexpr wchar_t settings_dialog_caption[] = L"Corvane Config " PLUGIN_VERSION_WIDE;

inline discord_activity idle_activity()
{
    discord_activity expected;
    expected.state = "(Idle)";
    expected.large_image = "winamp-logo";
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
        discord = std::make_unique<fake_discord>();
        catalogue_reset();
    }

    void TearDown() override
    {
        if (host && started) {
            host->quit_plugin();
        }
        host.reset();
        check_discord_faults();
        discord.reset();
    }

    // Whatever the test did, the plug-in never broke Discord's protocol.
    void check_discord_faults()
    {
        for (const std::string &fault : discord->faults()) {
            ADD_FAILURE() << "Discord protocol fault: " << fault;
        }
    }

    // A new Discord for the next life of the plug-in, with a rate window of its own.
    void new_discord()
    {
        check_discord_faults();
        discord = std::make_unique<fake_discord>();
    }

    // Creates the host and loads the plug-in, without starting it.
    void load(bool unicode_window = true)
    {
        host = std::make_unique<sim_host>(unicode_window);
        ASSERT_TRUE(host->load_plugin()) << "LoadLibrary error " << GetLastError();
    }

    // Loads and starts the plug-in; expects a successful start and, with
    // Discord there, the first activity.
    void start(bool unicode_window = true)
    {
        load(unicode_window);
        ASSERT_EQ(host->init_plugin(), 0);
        started = true;
        await_published(1);
    }

    // On the loaded host: "Blue" by The Band plays when the plug-in starts;
    // starts it and waits for the first activity.
    void start_with_blue_playing()
    {
        const wchar_t file[] = L"C:\\Music\\blue.mp3";
        host->library[file] = tagged_track(L"Blue", L"The Band", L"First Album");
        host->playing_file = file;
        host->playback_state = 1;
        ASSERT_EQ(host->init_plugin(), 0);
        started = true;
        await_published(1);
    }

    void quit()
    {
        host->quit_plugin();
        started = false;
    }

    // Activity updates (SET_ACTIVITY, clears included) Discord received.
    int published() const { return static_cast<int>(discord->updates().size()); }

    // Runs the host's message loop until `done()` holds or `timeout_ms` have passed; returns done().
    template <typename Condition> bool pump_until(Condition done, unsigned timeout_ms = 30000)
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

    // Runs the message loop until Discord has received `count` updates in all
    // (the rate may hold one back up to 20 s).
    void await_published(int count)
    {
        EXPECT_TRUE(pump_until([&] { return published() >= count; })) << "Discord received no update";
    }

    // The update that follows the first `before`, once Discord has it.
    discord_activity next_activity(int before)
    {
        await_published(before + 1);
        return last_activity();
    }

    // Runs the message loop for a while in which the plug-in would have sent
    // anything it had to send: for tests that expect nothing.
    void settle() { host->pump(300); }

    // Runs the message loop until an activity with a cover (an image other
    // than "winamp-logo") follows the first `after` updates; returns the last activity.
    discord_activity await_cover(int after)
    {
        EXPECT_TRUE(pump_until([&] {
            const auto updates = discord->updates();
            for (size_t i = after; i < updates.size(); ++i) {
                const std::string &image = updates[i].activity.large_image;
                if (!image.empty() && image != "winamp-logo") {
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
    // plays a track of its own, titled `title`, whose lookup the worker can
    // only start after theirs have ended and their outcomes were posted to
    // the main thread, waits until the catalogue has its request, then lets
    // the main thread take everything posted before. The barrier's track has
    // no album and the stub answers it with a clean miss: it is published
    // once, with the logo, and takes no more of Discord's rate than any other
    // track. That update is awaited too, unless Discord's rate holds it back
    // (a track played next then replaces it), so that the next update a test
    // awaits is not the barrier's. The barrier's track is the host's current
    // one afterwards, so a cover found before for another track went only
    // into the cache. A lookup asked for just now is given a moment to start
    // first, so that the barrier's does not replace it in the queue.
    void finish_lookups(const std::string &title = "Barrier")
    {
        static int barriers;
        host->pump(100);
        const int before = catalogue_barrier_requests();
        const wchar_t barrier_file[] = L"C:\\Music\\barrier.mp3";
        // An artist of its own each time: the outcome for the last one is remembered.
        host->library[barrier_file] =
            tagged_track(std::wstring(title.begin(), title.end()),
                         catalogue_barrier_artist + std::wstring(L" ") + std::to_wstring(++barriers), L"");
        host->play(barrier_file);
        EXPECT_TRUE(pump_until([&] { return catalogue_barrier_requests() > before; }))
            << "no barrier request";
        take_posted_messages();
        EXPECT_TRUE(pump_until([&] {
            const auto updates = discord->updates();
            if (!updates.empty() && updates.back().activity.state == title + " (Playing)") {
                return true;
            }
            const DWORD now = GetTickCount();
            return std::count_if(updates.begin(), updates.end(), [&](const received_frame &update) {
                       return now - update.arrival_ms < fake_discord_window_ms;
                   }) >= static_cast<std::ptrdiff_t>(fake_discord_window_updates);
        })) << "Discord never got the barrier's track";
    }

    // Runs the host's message loop until it has taken every message posted to
    // its thread so far: posts one more to the host's window and waits for it
    // (a thread takes the messages posted to it in order).
    void take_posted_messages()
    {
        static const UINT marker = RegisterWindowMessageW(L"Corvane test rig: posted messages taken");
        const size_t before = host->received.size();
        PostMessageW(host->window(), marker, 0, 0);
        EXPECT_TRUE(pump_until([&] {
            return std::any_of(host->received.begin() + before, host->received.end(),
                               [](const sim_message &message) { return message.message == marker; });
        })) << "the host's window never got the message posted to it";
    }

    // The activity of the newest update (empty for a clear).
    discord_activity last_activity() const
    {
        const auto updates = discord->updates();
        if (updates.empty()) {
            ADD_FAILURE() << "Discord received no update";
            return {};
        }
        EXPECT_FALSE(updates.back().clear);
        return updates.back().activity;
    }

    std::unique_ptr<fake_discord> discord;
    std::unique_ptr<sim_host> host;
    bool started = false;
};

// The memory the test process has to itself (the plug-in's included), in
// bytes: its commit charge, which Windows gives as PrivateUsage as well, where
// Wine leaves that 0.
inline SIZE_T private_bytes()
{
    PROCESS_MEMORY_COUNTERS counters{};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PagefileUsage;
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
// inherited it, such as Wine's desktop process started by the child. A test
// program run so writes no report: its results are the calling test's.
inline DWORD run_child(const std::string &command_line, std::string &output)
{
    char report[MAX_PATH] = "";
    const bool reporting = GetEnvironmentVariableA("GTEST_OUTPUT", report, MAX_PATH) > 0;
    SetEnvironmentVariableA("GTEST_OUTPUT", nullptr);
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
    if (reporting) {
        SetEnvironmentVariableA("GTEST_OUTPUT", report);
    }
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
