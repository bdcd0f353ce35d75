// The plug-in's message-only window on the host's main thread. The host's
// message loop dispatches a message of a window like any other, whereas what
// a loop does with a message without one (a thread timer's, a thread
// message) is up to the host. Nothing of the host's is touched to have it.
#include "host/main_loop.h"

#include "common/guarded.h"
#include "host/host.h"

#include <windows.h>

namespace {

constexpr wchar_t window_class_name[] = L"DiscordCorvaneMainLoop";
constexpr UINT_PTR tick_timer_id = 1;
constexpr UINT mark_message = WM_APP;
HWND window;
HINSTANCE window_instance;
// While ticking, what a tick calls; null otherwise, so that a tick already
// queued when the ticks stopped calls nothing.
void (*tick_callback)();
// A mark is posted and not yet handled.
bool mark_waiting;

LRESULT CALLBACK window_procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_TIMER && wparam == tick_timer_id) {
        if (tick_callback != nullptr) {
            guarded([] { tick_callback(); });
        }
        return 0;
    }
    if (message == mark_message) {
        mark_waiting = false;
        return 0;
    }
    return DefWindowProcW(hwnd, message, wparam, lparam);
}

} // namespace

bool main_loop_open()
{
    if (window != nullptr) {
        return true;
    }
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = &window_procedure;
    window_class.hInstance = plugin_dll();
    window_class.lpszClassName = window_class_name;
    if (RegisterClassExW(&window_class) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        return false;
    }
    window = CreateWindowExW(0, window_class_name, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, plugin_dll(),
                             nullptr);
    if (window == nullptr) {
        UnregisterClassW(window_class_name, plugin_dll());
        return false;
    }
    window_instance = plugin_dll();
    return true;
}

void main_loop_close()
{
    main_loop_ticks_stop();
    // A posted mark dies with the window.
    mark_waiting = false;
    if (window == nullptr) {
        return;
    }
    DestroyWindow(window);
    window = nullptr;
    UnregisterClassW(window_class_name, window_instance);
}

void main_loop_ticks_start(unsigned interval_ms, void (*tick)())
{
    if (tick_callback != nullptr || window == nullptr) {
        return;
    }
    if (SetTimer(window, tick_timer_id, interval_ms, nullptr) != 0) {
        tick_callback = tick;
    }
}

void main_loop_ticks_stop()
{
    if (tick_callback != nullptr) {
        KillTimer(window, tick_timer_id);
        tick_callback = nullptr;
    }
}

bool main_loop_mark()
{
    if (window == nullptr || !PostMessageW(window, mark_message, 0, 0)) {
        return false;
    }
    mark_waiting = true;
    return true;
}

bool main_loop_marked()
{
    return mark_waiting;
}
