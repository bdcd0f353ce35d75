// Fuzz target of the frame reader and the reply readers: any bytes, fed in
// pieces whose sizes the input chooses, give whole frames within the payload
// bound or a protocol error, and every payload reads as a reply or as nothing.
#include "discord/frames.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0) {
        return 0;
    }
    // The first byte sets the size of the pieces the rest arrives in.
    const size_t piece = static_cast<size_t>(data[0]) + 1;
    const std::string_view bytes(reinterpret_cast<const char *>(data + 1), size - 1);
    frame_reader reader;
    for (size_t at = 0; at < bytes.size(); at += piece) {
        reader.feed(bytes.substr(at, piece));
        while (std::optional<frame> whole = reader.next()) {
            if (whole->opcode > FRAME_PONG || whole->payload.size() > frame_max_payload || reader.failed()) {
                std::abort();
            }
            if (whole->opcode == FRAME_CLOSE) {
                read_close(whole->payload);
            } else {
                read_reply(whole->payload);
            }
        }
    }
    return 0;
}
