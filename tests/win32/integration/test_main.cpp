// Entry point of the plug-in's tests. Under GoogleTest's sharding protocol
// (GTEST_TOTAL_SHARDS, GTEST_SHARD_INDEX) every test still runs in exactly one
// shard, but the shards share them by expected time rather than in turn: the
// tests that wait for a real clock go first, each to the shard with the least
// waiting so far, and the others follow one by one the same way, so that no
// shard gets two of the long waits while another gets none. New tests join
// by themselves. A shard writes its report as <program>.<index>.xml when
// GTEST_OUTPUT names a folder, so that shards side by side keep theirs apart.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Tests that wait for a real clock (Discord's 20-second rate window, the
// minute after which a failed lookup is asked again, READY late or never,
// retries, stalls and time-outs of the cover services, hundreds of lookups),
// by the start of their full name, with about the seconds each takes under
// emulated 32-bit Wine. Every other test counts as one second.
struct long_wait {
    std::string_view name_start;
    int seconds;
};
constexpr long_wait long_waits[] = {
    {"cover_rig.failures_are_asked_again_after_a_minute_and_answers_never", 65},
    {"connection_rig.ready_late_is_waited_for_and_ready_never_is_given_up_and_tried_again", 22},
    {"connection_rig.twenty_track_changes_in_two_seconds_keep_to_the_rate_and_end_with_the_last_track", 22},
    {"cover_rig.pause_resume_and_another_track_of_the_album_show_the_cover_without_a_request", 21},
    {"connection_rig.discord_started_after_the_player_shows_the_current_track_within_seconds", 21},
    {"cover_rig.while_a_lookup_stalls_only_the_newest_track_waits_and_then_gets_its_cover", 21},
    {"connection_rig.refused_handshakes_are_retried_ever_later_until_ready_resets_the_wait", 21},
    {"plugin_rig.lookups_past_the_caches_bound_leave_handles_and_memory_flat", 20},
    {"connection_rig.discord_started_before_the_player_gets_the_handshake_and_then_the_track", 18},
    {"track_rig.a_seek_no_message_tells_of_moves_the_time_bar_and_nothing_is_read_while_paused", 12},
    {"dialog_rig.the_status_line_follows_the_connection_while_the_dialog_is_open", 12},
    {"cover_rig.a_stalled_service_gives_the_player_back_within_seconds", 12},
    {"connection_rig.a_refused_update_goes_out_once_more_without_the_newer_fields_then_only_when_it_changes",
     26},
    {"cover_handshake.a_stalled_handshake_gives_the_player_back_within_seconds", 11},
    {"cover_rig.a_trickling_reply_is_given_up_at_the_lookups_deadline", 11},
    {"connection_rig.a_flood_of_pings_from_a_peer_that_reads_nothing_leaves_the_players_memory_flat", 10},
};

int expected_seconds(const std::string &name)
{
    for (const long_wait &wait : long_waits) {
        if (name.starts_with(wait.name_start)) {
            return wait.seconds;
        }
    }
    return 1;
}

int environment_number(const char *name)
{
    const char *value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::atoi(value) : -1;
}

void unset_environment(const char *name)
{
    _putenv((std::string(name) + "=").c_str());
    SetEnvironmentVariableA(name, nullptr);
}

// Names the report after the shard when it would be named after the program.
void name_report_after_shard(int index)
{
    const std::string output = GTEST_FLAG_GET(output);
    if (!output.starts_with("xml:") || (!output.ends_with("/") && !output.ends_with("\\"))) {
        return;
    }
    char module[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, module, MAX_PATH);
    std::string program(module, length);
    program = program.substr(program.find_last_of("\\/") + 1);
    program = program.substr(0, program.rfind('.'));
    GTEST_FLAG_SET(output, output + program + "." + std::to_string(index) + ".xml");
}

// Replaces GoogleTest's sharding in turn by sharing by expected time, unless
// a filter chooses the tests (then GoogleTest shares those in turn).
void share_by_expected_time(int total, int index)
{
    if (GTEST_FLAG_GET(filter) != "*") {
        return;
    }
    std::vector<std::string> names;
    const testing::UnitTest &tests = *testing::UnitTest::GetInstance();
    for (int suite = 0; suite < tests.total_test_suite_count(); ++suite) {
        const testing::TestSuite &test_suite = *tests.GetTestSuite(suite);
        for (int test = 0; test < test_suite.total_test_count(); ++test) {
            const std::string name =
                std::string(test_suite.name()) + "." + test_suite.GetTestInfo(test)->name();
            if (name.find("DISABLED_") == std::string::npos) {
                names.push_back(name);
            }
        }
    }
    std::stable_sort(names.begin(), names.end(), [](const std::string &a, const std::string &b) {
        return expected_seconds(a) > expected_seconds(b);
    });
    std::vector<int> seconds(total);
    std::string filter;
    for (const std::string &name : names) {
        const auto least = std::min_element(seconds.begin(), seconds.end()) - seconds.begin();
        seconds[least] += expected_seconds(name);
        if (least == index) {
            filter += (filter.empty() ? "" : ":") + name;
        }
    }
    GTEST_FLAG_SET(filter, filter.empty() ? "-*" : filter);
    // Neither GoogleTest nor a child process shares these tests again.
    unset_environment("GTEST_TOTAL_SHARDS");
    unset_environment("GTEST_SHARD_INDEX");
}

} // namespace

int main(int argc, char **argv)
{
    const int total = environment_number("GTEST_TOTAL_SHARDS");
    const int index = environment_number("GTEST_SHARD_INDEX");
    const bool sharded = total > 1 && index >= 0 && index < total;
    if (sharded) {
        name_report_after_shard(index);
    }
    testing::InitGoogleTest(&argc, argv);
    if (sharded) {
        share_by_expected_time(total, index);
    }
    return RUN_ALL_TESTS();
}
