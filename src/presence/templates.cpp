// Formatting the listener's templates through the host: the tag function's
// answers from the plug-in's own fields, and for a stream an entry name that
// is not its address.
#include "presence/templates.h"

#include "host/playback.h"
#include "host/title_format.h"

namespace {

// What the host formats a stream's templates for: its address never reaches
// the host's formatter, whose own fields (the entry's name, folder and tags)
// the tag function answers as empty for a stream anyway.
constexpr wchar_t stream_entry_name[] = L"stream";

struct field_source {
    const std::wstring *file;
    const title_fields *fields;
    const cfg_settings *settings;
    bool percent_encoded;
};

// What the host would answer itself for a file's `tag`: its name, its
// folder's name, or its tag as the input plug-ins answer it.
std::wstring host_field(const std::wstring &file, std::wstring_view tag)
{
    if (same_field_name(tag, "filename")) {
        return file;
    }
    if (same_field_name(tag, "folder")) {
        const size_t name_start = file.find_last_of(L"\\/");
        const std::wstring folder = file.substr(0, name_start == std::wstring::npos ? 0 : name_start);
        return folder.substr(folder.find_last_of(L"\\/") + 1); // npos + 1: the whole
    }
    return host_read_tag(file, same_field_name(tag, "tracknumber") ? L"track" : std::wstring(tag).c_str());
}

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
        break;
    }
    if (!source->percent_encoded) {
        return {host_tag_answer::not_mine, {}};
    }
    // In an address every field is percent-encoded, the host's too.
    const std::wstring value = host_field(*source->file, tag);
    if (value.empty()) {
        return {host_tag_answer::empty, {}};
    }
    return {host_tag_answer::text, percent_encoded_field(value)};
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
    const field_source text_fields{&file, &fields, &settings, false};
    const field_source address_fields{&file, &fields, &settings, true};
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
