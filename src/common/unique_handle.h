// Move-only owner of a Windows handle, closed by `close_function`; `empty`
// names the value that holds nothing (NULL for most kinds, INVALID_HANDLE_VALUE
// for files): one template for the kinds of handle the plug-in holds.
#pragma once

#include <windows.h>

#include <utility>

template <typename Handle, auto close_function, Handle (*empty)() = nullptr> class unique_handle {
  public:
    unique_handle() : handle_(empty_value()) {}
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
    explicit operator bool() const { return handle_ != empty_value(); }

    // Gives the handle up without closing it.
    Handle release() { return std::exchange(handle_, empty_value()); }

    void reset() { reset(empty_value()); }
    void reset(Handle handle)
    {
        if (handle_ != empty_value()) {
            close_function(handle_);
        }
        handle_ = handle;
    }

    static Handle empty_value()
    {
        if constexpr (empty != nullptr) {
            return empty();
        } else {
            return Handle{};
        }
    }

  private:
    Handle handle_;
};

// Events, threads, pipes: kernel objects closed with CloseHandle.
using kernel_handle = unique_handle<HANDLE, &CloseHandle>;

// Files: CreateFileW's failure is INVALID_HANDLE_VALUE, not NULL.
inline HANDLE invalid_file_handle()
{
    return INVALID_HANDLE_VALUE;
}
using file_handle = unique_handle<HANDLE, &CloseHandle, &invalid_file_handle>;
