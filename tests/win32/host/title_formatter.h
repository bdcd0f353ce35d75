// The simulated host's title formatter: IPC_FORMAT_TITLE_EXTENDED as the real
// host answers it, for the syntax the tests use: %tag% (the plug-in's tag
// function first, then the entry's name, folder and tags), [ … ] shown only
// when a field inside was found, '…' literal text, $if, $if2 and $upper.
#pragma once

#include "winamp_gen.h"

#include <functional>
#include <optional>
#include <string>

// What the host itself answers for `tag` of the entry (its name, folder, or
// with extended information its tags); nothing when it has no such field.
using sim_host_field = std::function<std::optional<std::wstring>(const std::wstring &tag)>;

// Formats `request->spec` into `request->out` as the host does; a request
// without an entry (NULL or empty filename) is left untouched.
void sim_format_title(waFormatTitleExtended *request, const sim_host_field &host_field);
