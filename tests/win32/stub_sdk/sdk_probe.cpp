// Calls DiscordCreate, with the flags given as the first argument, while the
// stand-in SDK plays a Discord that is not running; prints the result.
#include "stub_sdk_control.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: sdk_probe FLAGS\n");
        return 2;
    }
    stub_sdk_set_discord_running(0);
    DiscordCreateParams params{};
    params.flags = std::strtoull(argv[1], nullptr, 10);
    IDiscordCore *core = nullptr;
    const EDiscordResult result = DiscordCreate(DISCORD_VERSION, &params, &core);
    std::printf("DiscordCreate result %d\n", static_cast<int>(result));
    return 0;
}
