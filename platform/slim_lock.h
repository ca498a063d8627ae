#pragma once
// A lock and a condition over the system's slim reader/writer lock and condition variable, for
// the pools whose threads hand work to each other file by file. This toolchain's std::mutex and
// std::condition_variable are built on semaphores and events, so every wake-up and every
// contended lock is a system call (under Wine, a request to the server that also creates the
// files); these wait and wake in user mode and sleep on an address only when they must.

#include <windows.h>

#include <mutex>

class CSlimLock {
public:
    CSlimLock() = default;
    CSlimLock(const CSlimLock&) = delete;
    CSlimLock& operator=(const CSlimLock&) = delete;

    // Lockable, for std::lock_guard and std::unique_lock.
    void lock() { AcquireSRWLockExclusive(&m_lock); }
    bool try_lock() { return TryAcquireSRWLockExclusive(&m_lock) != FALSE; }
    void unlock() { ReleaseSRWLockExclusive(&m_lock); }

private:
    friend class CSlimCondition;
    SRWLOCK m_lock = SRWLOCK_INIT;
};

class CSlimCondition {
public:
    CSlimCondition() = default;
    CSlimCondition(const CSlimCondition&) = delete;
    CSlimCondition& operator=(const CSlimCondition&) = delete;

    // Returns with `lock` held and `ready()` true.
    template <class Ready>
    void wait(std::unique_lock<CSlimLock>& lock, Ready ready) {
        while (!ready())
            SleepConditionVariableSRW(&m_condition, &lock.mutex()->m_lock, INFINITE, 0);
    }
    void notify_one() { WakeConditionVariable(&m_condition); }
    void notify_all() { WakeAllConditionVariable(&m_condition); }

private:
    CONDITION_VARIABLE m_condition = CONDITION_VARIABLE_INIT;
};
