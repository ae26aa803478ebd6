#include "util/worker_thread.h"

#include <condition_variable>
#include <system_error>
#include <thread>

struct WorkerThread::TState {
    std::thread Thread;
};

WorkerThread::WorkerThread() : state_(std::make_unique<TState>()) {}

WorkerThread::~WorkerThread()
{
    Join();
}

bool WorkerThread::Start(void (*run)(void*), void* context)
{
    if (state_->Thread.joinable()) return false;
    try {
        state_->Thread = std::thread(run, context);
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void WorkerThread::Join()
{
    if (state_->Thread.joinable()) state_->Thread.join();
}

struct WorkerLock::TState {
    std::mutex Mutex;
};

WorkerLock::WorkerLock() : state_(std::make_unique<TState>()) {}
WorkerLock::~WorkerLock() = default;

void WorkerLock::lock()
{
    state_->Mutex.lock();
}

void WorkerLock::unlock()
{
    state_->Mutex.unlock();
}

struct WorkerCondition::TState {
    std::condition_variable Condition;
};

WorkerCondition::WorkerCondition() : state_(std::make_unique<TState>()) {}
WorkerCondition::~WorkerCondition() = default;

void WorkerCondition::Wait(WorkerLock& held)
{
    // The caller's lock is the std::mutex inside; it stays held on return.
    std::unique_lock<std::mutex> inner(held.state_->Mutex, std::adopt_lock);
    state_->Condition.wait(inner);
    inner.release();
}

void WorkerCondition::NotifyOne()
{
    state_->Condition.notify_one();
}

void WorkerCondition::NotifyAll()
{
    state_->Condition.notify_all();
}
