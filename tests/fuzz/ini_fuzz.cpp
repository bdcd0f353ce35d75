// Differential fuzz target: the INI reader and the reference INI library must
// make the same handler calls, in the same order, and give the same result;
// so must the reader taking whole lines, on a text without a line the
// reference library splits.
#include "config/ini_reader.h"
#include "../unit/ini_harness.h"

#include <ini.h>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    const ini_outcome reference = run_reader(&ini_parse_stream, text);
    if (run_reader(&ini_read_default_lines, text) != reference) {
        std::abort();
    }
    if (longest_line(text) < ini_line_size - 1) {
        ini_outcome whole;
        whole.result = ini_read_whole_lines(text, &recording_handler, &whole);
        if (whole != reference) {
            std::abort();
        }
    }
    return 0;
}
