#pragma once
// A helper thread, a lock and a condition, as the engine's helper threads use
// them. On Windows they are the system's own (CreateThread, SRWLOCK,
// CONDITION_VARIABLE): std::thread and its kin bring the POSIX thread layer
// and about 40 KB into the installer's image. Elsewhere they are std::thread,
// std::mutex and std::condition_variable, which the thread sanitizer knows.
#include <memory>
#include <mutex>

class WorkerThread {
public:
    WorkerThread();
    // Waits for a thread still running.
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Runs run(context) on a new thread; false when none could be started.
    bool Start(void (*run)(void* context), void* context);
    // Waits until the thread has ended; returns at once when none runs.
    void Join();

private:
    struct TState;
    std::unique_ptr<TState> state_;
};

// A lock for std::lock_guard, hence the lower-case names. (std::unique_lock
// would bring std::system_error along.)
class WorkerLock {
public:
    WorkerLock();
    ~WorkerLock();
    WorkerLock(const WorkerLock&) = delete;
    WorkerLock& operator=(const WorkerLock&) = delete;

    void lock();
    void unlock();

private:
    friend class WorkerCondition;
    struct TState;
    std::unique_ptr<TState> state_;
};

class WorkerCondition {
public:
    WorkerCondition();
    ~WorkerCondition();
    WorkerCondition(const WorkerCondition&) = delete;
    WorkerCondition& operator=(const WorkerCondition&) = delete;

    // Releases the held lock while waiting; it is held again on return. May
    // return without a notification, as every condition variable may.
    void Wait(WorkerLock& held);
    template <class TPredicate>
    void Wait(WorkerLock& held, TPredicate ready)
    {
        while (!ready()) Wait(held);
    }
    void NotifyOne();
    void NotifyAll();

private:
    struct TState;
    std::unique_ptr<TState> state_;
};
