// The host's title formatter, which the listener's templates go through: the
// plug-in answers the fields it knows through a tag function, the host the
// rest. Main thread only.
#pragma once

#include <optional>
#include <string>

// How the plug-in answers a field the host asks for.
struct host_tag_answer {
    enum kind_type { text, empty, not_mine } kind = not_mine;
    std::wstring value; // with `text`: not empty
};

// Answers the field `tag` from `context`; may throw (the host then sees an empty field).
using host_tag_answerer = host_tag_answer (*)(const wchar_t *tag, const void *context);

// Whether the host formats titles for plug-ins (IPC_FORMAT_TITLE_EXTENDED).
bool host_formats_titles();

// `spec` formatted by the host for the entry `file` (not empty), each field
// asked of `answer` first, the others answered by the host from the entry's
// tags. Nothing when the host cannot format (an older host, or one that
// leaves the result untouched).
std::optional<std::wstring> host_format_title(const std::wstring &file, const std::wstring &spec,
                                              host_tag_answerer answer, const void *context);
