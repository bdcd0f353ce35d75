// The "Share on Discord" switch through the shipped plug-in: its entry in the
// host's Options and right-click menus with the check mark, its entry in the
// hotkeys plug-in's list, what switching it off and on sends Discord and the
// cover services, the key in config.ini, and the entries gone after quit.
#include "files.h"
#include "rig.h"

#include <optional>

namespace {

const wchar_t share_entry[] = L"Share on Discord";
const char share_hotkey_id[] = "DiscordCorvane_ShareOnDiscord";
const wchar_t blue_file[] = L"C:\\Music\\blue.mp3";
const wchar_t rage_file[] = L"C:\\Music\\rage.mp3";

// The menus that hold the entry: the Options menu and the right-click menu.
constexpr WPARAM entry_menus[] = {WINAMP_MENU_OPTIONS, WINAMP_MENU_MAIN_POPUP};

class menu_rig : public plugin_rig {
  protected:
    void SetUp() override
    {
        plugin_rig::SetUp();
        root = fresh_test_folder();
        folder = root + L"\\Plugins\\tolvek";
        file = folder + L"\\config.ini";
        SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
        remove_user_settings();
    }

    void TearDown() override
    {
        plugin_rig::TearDown();
        remove_tree(root);
        remove_user_settings();
    }

    // Loads the plug-in into a Winamp 5.9 whose settings are under `root`.
    void load_here()
    {
        load();
        host->ini_directory_w = root;
        host->library[blue_file] = tagged_track(L"Blue", L"The Band", L"First Album");
        // An album the catalogue lacks: its lookup goes on to MusicBrainz.
        host->library[rage_file] = tagged_track(L"Tears of Rage", L"The Band", L"Basement Tapes 1967");
    }

    // How the entry shows in menu `which`: checked, unchecked, or none.
    std::optional<bool> entry_checked(WPARAM which) const
    {
        const std::optional<UINT> state = host->menu_item_state(which, share_entry);
        if (!state) {
            return std::nullopt;
        }
        return (*state & MF_CHECKED) != 0;
    }

    void expect_entries_checked(bool checked)
    {
        for (const WPARAM which : entry_menus) {
            EXPECT_EQ(entry_checked(which), std::optional<bool>(checked)) << "menu " << which;
        }
    }

    // Waits for Discord's activity to be cleared.
    void await_clear()
    {
        EXPECT_TRUE(pump_until([&] {
            return !discord->updates().empty() && discord->updates().back().clear;
        })) << "the activity is not cleared";
    }

    // Waits for the card of `state` ("Blue (Playing)").
    void await_card(const std::string &state)
    {
        EXPECT_TRUE(pump_until([&] {
            const auto updates = discord->updates();
            return !updates.empty() && !updates.back().clear && updates.back().activity.state == state;
        })) << "no card "
            << state;
    }

    bool file_says_sharing(int on) const
    {
        return read_file(file).find("\r\nShare on Discord=" + std::to_string(on) + "\r\n") !=
               std::string::npos;
    }

    // While off: a new track, a pause, a resume and time for the position
    // poll bring Discord and the cover services nothing, and the host is not
    // asked for its position.
    void expect_nothing_while_off(const wchar_t *new_file)
    {
        const int updates = published();
        const size_t requests = catalogue_request_count();
        host->received.clear();
        host->play(new_file);
        host->pump(500);
        host->pause();
        host->resume();
        host->pump(2500);
        EXPECT_EQ(published(), updates) << "nothing reaches Discord while off";
        EXPECT_EQ(catalogue_request_count(), requests) << "no cover service is asked while off";
        EXPECT_EQ(host->queries_received(IPC_GETOUTPUTTIME), 0) << "no position poll while off";
    }

    std::wstring root, folder, file;
};

TEST_F(menu_rig, the_menu_entry_switches_sharing_off_and_on_with_its_check_mark_and_the_file)
{
    load_here();
    start_with_blue_playing();
    await_cover(1); // Blue's lookup has ended
    expect_entries_checked(true);

    ASSERT_TRUE(host->click_menu_item(WINAMP_MENU_OPTIONS, share_entry));
    await_clear();
    expect_entries_checked(false);
    EXPECT_TRUE(file_says_sharing(0)) << read_file(file);
    expect_nothing_while_off(rage_file);

    ASSERT_TRUE(host->click_menu_item(WINAMP_MENU_MAIN_POPUP, share_entry));
    await_card("Tears of Rage (Playing)");
    expect_entries_checked(true);
    EXPECT_TRUE(file_says_sharing(1)) << read_file(file);
    // Switched on, the track's cover is looked up; it arrives before quit,
    // which leaves no lookup running.
    await_cover(published());
}

// Switched off while a lookup waits for MusicBrainz's answer, no service is
// asked after it (here the Cover Art Archive); switched on again, the album
// is asked anew and its cover shows.
TEST_F(menu_rig, switched_off_during_a_lookup_no_further_service_is_asked)
{
    catalogue_respond(R"({"musicbrainz":{"delay":2}})");
    load_here();
    host->playing_file = rage_file;
    host->playback_state = 1;
    ASSERT_EQ(host->init_plugin(), 0);
    started = true;
    ASSERT_TRUE(pump_until([] { return catalogue_requests(musicbrainz_host).size() == 1; }));
    ASSERT_TRUE(host->click_menu_item(WINAMP_MENU_OPTIONS, share_entry));
    await_clear();
    host->pump(3000); // MusicBrainz answers meanwhile
    EXPECT_EQ(catalogue_requests(cover_art_archive_host).size(), 0u) << "nothing asked after the switch";

    catalogue_respond("{}");
    const int before = published();
    ASSERT_TRUE(host->click_menu_item(WINAMP_MENU_OPTIONS, share_entry));
    EXPECT_NE(await_cover(before).large_image, "winamp-logo");
    EXPECT_EQ(catalogue_requests(cover_art_archive_host).size(), 1u) << "the album asked anew";
}

TEST_F(menu_rig, the_hotkey_is_listed_and_switches_sharing_as_the_menu_entry_does)
{
    load_here();
    start_with_blue_playing();
    await_cover(1);
    ASSERT_EQ(host->hotkeys.size(), 1u);
    EXPECT_EQ(host->hotkeys[0].name, L"Discord Corvane: share on Discord (on/off)");
    EXPECT_EQ(host->hotkeys[0].id, share_hotkey_id);
    EXPECT_EQ(host->hotkeys[0].message, static_cast<UINT>(WM_COMMAND));

    ASSERT_TRUE(host->press_hotkey(share_hotkey_id));
    await_clear();
    expect_entries_checked(false);
    EXPECT_TRUE(file_says_sharing(0)) << read_file(file);
    expect_nothing_while_off(rage_file);

    ASSERT_TRUE(host->press_hotkey(share_hotkey_id));
    await_card("Tears of Rage (Playing)");
    expect_entries_checked(true);
    EXPECT_TRUE(file_says_sharing(1)) << read_file(file);
    await_cover(published());
}

TEST_F(menu_rig, without_the_hotkeys_plug_in_the_menu_entry_alone_switches_sharing)
{
    load_here();
    host->hotkeys_plugin = false;
    start_with_blue_playing();
    host->pump(300);
    EXPECT_TRUE(host->hotkeys.empty());
    EXPECT_FALSE(host->press_hotkey(share_hotkey_id));

    ASSERT_TRUE(host->click_menu_item(WINAMP_MENU_MAIN_POPUP, share_entry));
    await_clear();
    expect_entries_checked(false);
    ASSERT_TRUE(host->click_menu_item(WINAMP_MENU_OPTIONS, share_entry));
    await_card("Blue (Playing)");
    expect_entries_checked(true);
    await_cover(1); // no lookup is left running at quit
}

TEST_F(menu_rig, switched_off_in_the_file_nothing_is_sent_until_it_is_switched_on)
{
    write_file(file, "[Display configuration]\r\nShare on Discord=0\r\n");
    load_here();
    host->playing_file = blue_file;
    host->playback_state = 1;
    ASSERT_EQ(host->init_plugin(), 0);
    started = true;
    EXPECT_TRUE(pump_until([&] { return discord->connected(); })) << "the plug-in still connects";
    host->pump(2500);
    EXPECT_EQ(published(), 0);
    EXPECT_EQ(catalogue_request_count(), 0u);
    expect_entries_checked(false);

    ASSERT_TRUE(host->click_menu_item(WINAMP_MENU_OPTIONS, share_entry));
    await_card("Blue (Playing)");
    // The cover found meanwhile may follow it at once.
    const auto first = discord->updates().front();
    EXPECT_FALSE(first.clear) << "the card at once, nothing before it";
    EXPECT_EQ(first.activity.state, "Blue (Playing)") << "the card at once, nothing before it";
    expect_entries_checked(true);
    await_cover(1);
}

TEST_F(menu_rig, quit_takes_the_entries_out_of_both_menus)
{
    load_here();
    ASSERT_EQ(host->init_plugin(), 0);
    started = true;
    await_published(1);
    for (const WPARAM which : entry_menus) {
        EXPECT_TRUE(entry_checked(which).has_value()) << "menu " << which;
    }
    const int options_items = GetMenuItemCount(host->menu(WINAMP_MENU_OPTIONS));
    const int popup_items = GetMenuItemCount(host->menu(WINAMP_MENU_MAIN_POPUP));

    quit();
    for (const WPARAM which : entry_menus) {
        EXPECT_FALSE(entry_checked(which).has_value()) << "menu " << which;
    }
    EXPECT_EQ(GetMenuItemCount(host->menu(WINAMP_MENU_OPTIONS)), options_items - 1);
    EXPECT_EQ(GetMenuItemCount(host->menu(WINAMP_MENU_MAIN_POPUP)), popup_items - 1);
}

} // namespace
