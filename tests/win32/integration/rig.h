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

    void quit()
    {
        host->quit_plugin();
        started = false;
    }

    int published() const { return stub_sdk_event_count(); }

    // Pumps the host's messages until `done` holds, for at most `milliseconds`;
    // returns whether it held.
    template <typename Condition> bool pump_until(Condition done, unsigned milliseconds)
    {
        for (unsigned waited = 0; !done(); waited += 50) {
            if (waited >= milliseconds) {
                return false;
            }
            host->pump(50);
        }
        return true;
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
