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
