// Fuzz target of the INI editor: whatever the text, the edited text read again
// gives the edited entries their values and every other entry its value.
#include "../unit/ini_edit_check.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0) {
        return 0;
    }
    // The first byte chooses the edits, the rest is the text.
    static const char *const names[] = {"Display title", "a", "Hide while paused", "b"};
    static const char *const values[] = {"0", "x; y #z", "\"q\"", ""};
    std::vector<ini_entry_edit> edits;
    for (int i = 0; i < 4; ++i) {
        if ((data[0] >> i & 1) != 0) {
            edits.push_back({names[i], values[(data[0] >> (4 + i / 2)) & 3]});
        }
    }
    const std::string section = (data[0] & 0x80) != 0 ? "s" : "Display configuration";
    const std::string text(reinterpret_cast<const char *>(data + 1), size - 1);
    const std::string edited = ini_edit_entries(text, section, edits);
    if (final_values(edited) != expected_after_edit(text, section, edits)) {
        std::abort();
    }
    return 0;
}
