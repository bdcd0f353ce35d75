// Plug-in thread: the DLL reference taken before the thread starts, the entry
// that runs the body, and the end through that reference.
#include "common/plugin_thread.h"

#include "common/guarded.h"

#include <memory>
#include <utility>

namespace {

// The JSON reader's nesting bound, which Discord's replies and the
// catalogue's answers reach, assumes a thread stack of 1 MiB.
constexpr SIZE_T thread_stack_bytes = 1 << 20;

// What the thread starts with; it owns this from its first instruction on.
struct thread_start {
    std::function<void()> body;
    HMODULE module = nullptr; // the thread's own reference to the DLL
};

DWORD WINAPI thread_main(void *parameter)
{
    HMODULE module;
    {
        std::unique_ptr<thread_start> start(static_cast<thread_start *>(parameter));
        module = start->module;
        guarded([&] { start->body(); });
    }
    // Ends through the thread's own reference to the DLL: when the host has
    // unloaded the plug-in meanwhile, this unmaps it, and nothing of it runs on.
    FreeLibraryAndExitThread(module, 0);
}

} // namespace

bool plugin_thread::start(std::function<void()> body)
{
    auto start = std::make_unique<thread_start>();
    start->body = std::move(body);
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&thread_main),
                            &start->module)) {
        return false;
    }
    thread_.reset(CreateThread(nullptr, thread_stack_bytes, &thread_main, start.get(),
                               STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    if (!thread_) {
        FreeLibrary(start->module);
        return false;
    }
    start.release(); // the thread owns it now
    return true;
}

void plugin_thread::stop(DWORD wait_ms)
{
    if (thread_) {
        WaitForSingleObject(thread_.get(), wait_ms);
    }
    thread_.reset();
}
