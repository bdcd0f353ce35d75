// Move-only owner of a Windows handle, closed by `close_function`; its empty
// value is NULL unless `empty_value` names another (INVALID_HANDLE_VALUE for
// what CreateFileW opens): one template for the kinds of handle the plug-in holds.
#pragma once

#include <windows.h>

#include <utility>

// The value of a handle that owns nothing, for most kinds of handle.
template <typename Handle> constexpr Handle null_handle()
{
    return nullptr;
}

// The value CreateFileW returns when it opens nothing.
inline HANDLE invalid_handle_value()
{
    return INVALID_HANDLE_VALUE;
}

template <typename Handle, auto close_function, auto empty_value = &null_handle<Handle>> class unique_handle {
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
    explicit operator bool() const { return handle_ != empty_value(); }

    // Gives the handle up without closing it.
    Handle release() { return std::exchange(handle_, empty_value()); }

    void reset(Handle handle = empty_value())
    {
        if (handle_ != empty_value()) {
            close_function(handle_);
        }
        handle_ = handle;
    }

  private:
    Handle handle_ = empty_value();
};

// Events, threads: kernel objects closed with CloseHandle.
using kernel_handle = unique_handle<HANDLE, &CloseHandle>;
// Files and pipes opened with CreateFileW.
using file_handle = unique_handle<HANDLE, &CloseHandle, &invalid_handle_value>;
