// The host's main window and the plug-in's DLL, as start-up remembered them.
#include "plugin/host.h"

namespace {

HWND main_window;
HINSTANCE dll;

} // namespace

void host_remember(HWND window, HINSTANCE plugin)
{
    main_window = window;
    dll = plugin;
}

HWND host_window()
{
    return main_window;
}

HINSTANCE plugin_dll()
{
    return dll;
}
