// The process-wide settings record, all flags on until the settings file says otherwise.
#include "config/settings.h"

cfg_settings config;
