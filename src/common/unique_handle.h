// Move-only owner of a Windows handle whose invalid value is NULL, closed by
// `close_function`: one template for the kinds of handle the threads hold.
#pragma once

#include <windows.h>

#include <utility>

template <typename Handle, auto close_function> class unique_handle {
  public:
    unique_handle() = default;
    explicit unique_handle(Handle handle) : handle_(handle) {}
    ~unique_handle() { reset(); }
    unique_handle(const unique_handle &) = delete;
    unique_handle &operator=(const unique_handle &) = delete;
    unique_handle(unique_handle &&other) noexcept : handle_(other.release()) {}
    unique_handle &operator=(unique_handle &&other) noexcept
    {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

    // Gives the handle up without closing it.
    Handle release() { return std::exchange(handle_, nullptr); }

    void reset(Handle handle = nullptr)
    {
        if (handle_ != nullptr) {
            close_function(handle_);
        }
        handle_ = handle;
    }

  private:
    Handle handle_ = nullptr;
};

// Events, threads, pipes: kernel objects closed with CloseHandle.
using kernel_handle = unique_handle<HANDLE, &CloseHandle>;
