// The host's descriptor of the plug-in: filled by the host before init, read
// by the modules that ask the host's main window or use the DLL's instance.
#pragma once

#include "winamp_gen.h"

extern winampGeneralPurposePlugin plugin;
