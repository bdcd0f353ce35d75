// Timed run of the simulated host (a benchmark, not a test): how long the
// host's main thread is blocked per playback-status notification, for a
// track without a cover lookup, the first lookup (with its TLS handshake),
// repeated lookups on the open connection, and a stalled catalogue.
#include "../integration/catalogue.h"
#include "sim_host.h"
#include "stub_sdk_control.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double now_ms()
{
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double blocked_ms(sim_host &host, const std::wstring &file)
{
    host.playing_file = file;
    host.playback_state = 1;
    const double begin = now_ms();
    host.notify_status();
    return now_ms() - begin;
}

double median(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

} // namespace

int main()
{
    if (!catalogue_trust_test_ca()) {
        std::fprintf(stderr, "run under tests/private-net-run\n");
        return 1;
    }
    catalogue_reset();
    sim_host host;
    constexpr int tracks = 300;
    for (int i = 0; i < tracks; ++i) {
        sim_track tagged;
        tagged.tags = {{L"title", L"Track " + std::to_wstring(i)},
                       {L"artist", L"Artist " + std::to_wstring(i)},
                       {L"album", L"Album"}};
        host.library[L"tagged" + std::to_wstring(i)] = tagged;
        sim_track untagged;
        untagged.extended = false;
        untagged.display_title = L"Untagged " + std::to_wstring(i);
        host.library[L"untagged" + std::to_wstring(i)] = untagged;
    }
    if (!host.load_plugin() || host.init_plugin() != 0) {
        std::fprintf(stderr, "the plug-in did not start\n");
        return 1;
    }

    const double first = blocked_ms(host, L"tagged0");
    std::vector<double> repeated, no_lookup, stalled;
    for (int i = 1; i < tracks; ++i) {
        repeated.push_back(blocked_ms(host, L"tagged" + std::to_wstring(i)));
        no_lookup.push_back(blocked_ms(host, L"untagged" + std::to_wstring(i)));
    }
    catalogue_respond(R"({"stall":true})");
    for (int i = 0; i < 3; ++i) {
        stalled.push_back(blocked_ms(host, L"tagged" + std::to_wstring(i)));
    }
    catalogue_reset();
    host.quit_plugin();

    const double baseline = median(no_lookup);
    std::printf("host main thread blocked per status notification (median of %d where repeated)\n",
                tracks - 1);
    std::printf("  %-34s %9.3f ms  (baseline)\n", "no cover lookup", baseline);
    std::printf("  %-34s %9.3f ms  %8.1fx baseline\n", "first lookup (TLS handshake)", first,
                first / baseline);
    std::printf("  %-34s %9.3f ms  %8.1fx baseline\n", "repeated lookups (open connection)", median(repeated),
                median(repeated) / baseline);
    std::printf("  %-34s %9.3f ms  %8.1fx baseline\n", "stalled catalogue", median(stalled),
                median(stalled) / baseline);
    std::printf("  repeated / first: %.3f\n", median(repeated) / first);
    return 0;
}
