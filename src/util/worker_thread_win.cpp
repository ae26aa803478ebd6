#include "util/worker_thread.h"

#include <windows.h>

namespace {

struct TStartInfo {
    void (*Run)(void*) = nullptr;
    void* Context = nullptr;
};

DWORD WINAPI ThreadStart(void* parameter)
{
    const auto* start = static_cast<const TStartInfo*>(parameter);
    start->Run(start->Context);
    return 0;
}

} // namespace

struct WorkerThread::TState {
    HANDLE Thread = nullptr;
    TStartInfo Start;
};

WorkerThread::WorkerThread() : state_(std::make_unique<TState>()) {}

WorkerThread::~WorkerThread()
{
    Join();
}

bool WorkerThread::Start(void (*run)(void*), void* context)
{
    if (state_->Thread) return false;
    state_->Start.Run = run;
    state_->Start.Context = context;
    state_->Thread = CreateThread(nullptr, 0, ThreadStart, &state_->Start, 0, nullptr);
    return state_->Thread != nullptr;
}

void WorkerThread::Join()
{
    if (!state_->Thread) return;
    WaitForSingleObject(state_->Thread, INFINITE);
    CloseHandle(state_->Thread);
    state_->Thread = nullptr;
}

struct WorkerLock::TState {
    SRWLOCK Lock = SRWLOCK_INIT;
};

WorkerLock::WorkerLock() : state_(std::make_unique<TState>()) {}
WorkerLock::~WorkerLock() = default;

void WorkerLock::lock()
{
    AcquireSRWLockExclusive(&state_->Lock);
}

void WorkerLock::unlock()
{
    ReleaseSRWLockExclusive(&state_->Lock);
}

struct WorkerCondition::TState {
    CONDITION_VARIABLE Condition = CONDITION_VARIABLE_INIT;
};

WorkerCondition::WorkerCondition() : state_(std::make_unique<TState>()) {}
WorkerCondition::~WorkerCondition() = default;

void WorkerCondition::Wait(WorkerLock& held)
{
    SleepConditionVariableSRW(&state_->Condition, &held.state_->Lock, INFINITE, 0);
}

void WorkerCondition::NotifyOne()
{
    WakeConditionVariable(&state_->Condition);
}

void WorkerCondition::NotifyAll()
{
    WakeAllConditionVariable(&state_->Condition);
}
