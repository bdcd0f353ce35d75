// Holds a slim reader/writer lock exclusively for the lifetime of a scope:
// the lock of the state a thread of the plug-in shares with the main thread.
#pragma once

#include <windows.h>

class exclusive_lock {
  public:
    explicit exclusive_lock(SRWLOCK &lock) : lock_(&lock) { AcquireSRWLockExclusive(lock_); }
    ~exclusive_lock() { ReleaseSRWLockExclusive(lock_); }
    exclusive_lock(const exclusive_lock &) = delete;
    exclusive_lock &operator=(const exclusive_lock &) = delete;

  private:
    SRWLOCK *lock_;
};
