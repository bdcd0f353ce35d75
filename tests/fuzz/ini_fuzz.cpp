// Differential fuzz target: the INI reader and the reference INI library must
// make the same handler calls, in the same order, and give the same result.
#include "config/ini_reader.h"
#include "../unit/ini_harness.h"

#include <ini.h>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    if (run_reader(&ini_read_stream, text) != run_reader(&ini_parse_stream, text)) {
        std::abort();
    }
    return 0;
}
