// Fuzz target of the text composition: any UTF-16 text becomes well-formed
// UTF-8; cut to any room, it stays within that room and is a prefix of the
// text (whole, or the most whole grapheme clusters that fit, followed by the
// ellipsis: the cut never ends inside a cluster); every composed line stays
// within the field, a one-character line is padded, and padding never makes a
// line too long.
#include "presence/compose.h"

#include "common/grapheme.h"
#include "well_formed_utf8.h"

#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void require(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

// Whether a cut after `length` bytes of `text` falls between two clusters.
bool is_cluster_boundary(std::string_view text, size_t length)
{
    size_t end = 0;
    while (end < length) {
        end = grapheme_cluster_end(text, end);
    }
    return end == length;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1) {
        return 0;
    }
    const size_t room = data[0] % 130;
    utf16_string text;
    for (size_t i = 1; i + 1 < size; i += 2) {
        text.push_back(static_cast<utf16_char>(data[i] | (data[i + 1] << 8)));
    }
    if (text.find(utf16_char{0}) != utf16_string::npos) {
        return 0; // the host's texts end at their first NUL
    }

    const std::string utf8 = utf16_to_utf8(text);
    require(is_well_formed_utf8(utf8));
    const std::string fitted = fit_text(utf8, room);
    require(fitted.size() <= room);
    require(is_well_formed_utf8(fitted));
    if (fitted != utf8 && !fitted.empty()) {
        const std::string_view ellipsis = "\u2026";
        require(fitted.size() >= ellipsis.size() && fitted.ends_with(ellipsis));
        const size_t kept = fitted.size() - ellipsis.size();
        require(utf8.starts_with(std::string_view(fitted).substr(0, kept)));
        require(is_cluster_boundary(utf8, kept));
        require(grapheme_cluster_end(utf8, kept) > room - ellipsis.size());
    }

    const cfg_settings settings;
    const utf16_view half(text.data(), text.size() / 2);
    std::string lines[] = {compose_state(settings, text, data[0] & 1 ? 1 : 3),
                           compose_details(settings, half, utf16_view(text).substr(half.size()))};
    for (std::string &line : lines) {
        require(line.size() <= field_text_limit);
        require(is_well_formed_utf8(line));
        const size_t before = line.size();
        pad_single_character(line);
        require(line.size() <= field_text_limit && line.size() >= before);
        require(is_well_formed_utf8(line));
    }
    return 0;
}
