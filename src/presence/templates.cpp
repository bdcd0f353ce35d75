// Formatting the listener's templates through the host: the tag function's
// answers from the plug-in's own fields, and for a stream an entry name that
// is not its address.
#include "presence/templates.h"

#include "host/title_format.h"

namespace {

// What the host formats a stream's templates for: its address never reaches
// the host's formatter, whose own fields (the entry's name, folder and tags)
// the tag function answers as empty for a stream anyway.
constexpr wchar_t stream_entry_name[] = L"stream";

struct field_source {
    const title_fields *fields;
    const cfg_settings *settings;
    bool percent_encoded;
};

host_tag_answer answer_field(const wchar_t *tag, const void *context)
{
    const auto *source = static_cast<const field_source *>(context);
    title_field_answer answer =
        answer_title_field(*source->fields, *source->settings, tag, source->percent_encoded);
    switch (answer.kind) {
    case title_field_kind::text:
        return {host_tag_answer::text, std::move(answer.text)};
    case title_field_kind::empty:
        return {host_tag_answer::empty, {}};
    default:
        return {host_tag_answer::not_mine, {}};
    }
}

std::string formatted(const std::wstring &entry, const std::string &spec, const field_source &source)
{
    if (spec.empty()) {
        return {};
    }
    const std::optional<std::wstring> text =
        host_format_title(entry, utf8_to_utf16(spec), &answer_field, &source);
    return text ? utf16_to_utf8(*text) : std::string();
}

} // namespace

bool has_templates(const cfg_settings &settings)
{
    return !settings.title_line.empty() || !settings.artist_line.empty() ||
           settings.button_1 == cfg_button_own || settings.button_2 == cfg_button_own;
}

formatted_templates format_templates(const std::wstring &file, const title_fields &fields,
                                     const cfg_settings &settings)
{
    const std::wstring entry = fields.stream ? stream_entry_name : file;
    const field_source text_fields{&fields, &settings, false};
    const field_source address_fields{&fields, &settings, true};
    formatted_templates result;
    result.title_line = formatted(entry, settings.title_line, text_fields);
    result.artist_line = formatted(entry, settings.artist_line, text_fields);
    const struct {
        int32_t choice;
        const std::string &label;
        const std::string &address;
    } buttons[] = {{settings.button_1, settings.button_1_label, settings.button_1_address},
                   {settings.button_2, settings.button_2_label, settings.button_2_address}};
    for (size_t index = 0; index < std::size(buttons); ++index) {
        if (buttons[index].choice == cfg_button_own) {
            result.button_labels[index] = formatted(entry, buttons[index].label, text_fields);
            result.button_addresses[index] = formatted(entry, buttons[index].address, address_fields);
        }
    }
    return result;
}
