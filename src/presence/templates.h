// The listener's templates formatted by the host for the playing entry: the
// title and artist lines, and the label and address of a button of their
// own. Main thread only.
#pragma once

#include "config/settings.h"
#include "presence/card.h"
#include "presence/title_fields.h"

#include <string>

// The settings' templates for the entry `file`, whose own fields are
// `fields`: what the host made of each (the address's fields percent-encoded),
// or an empty text for a template that is empty, that the host cannot format
// (an older host) or whose button is not the listener's own.
formatted_templates format_templates(const std::wstring &file, const title_fields &fields,
                                     const cfg_settings &settings);

// Whether `settings` have any template to format.
bool has_templates(const cfg_settings &settings);
