#pragma once
// Finishes written files on a few threads while the script's thread writes the
// next ones: closing a new file is where virus scanners do their work, which
// costs milliseconds per file on Windows. Finishing a file means closing its
// handle and, for a replacement, moving it into place; the operating system's
// part is handed in, so that the pool itself is portable.
//
// Only one thread (the one running the script) calls the public functions.
// The pool never touches the engine state: failures come back as paths with
// their error numbers.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "util/worker_thread.h"

// A written file waiting to be finished.
struct TPendingClose {
    std::uintptr_t Handle = 0;
    std::string Path;
    std::string Temporary;  // the file the handle writes when not empty, moved to Path
    bool Replacing = false; // that move replaces the file at Path
};

// A file whose finishing failed, and the system's error number.
struct TCloseFailure {
    std::string Path;
    std::uint32_t Error = 0;
};

class TClosingPool {
public:
    // 0 when the file was closed (and put in place), else the error number.
    using TFinish = std::function<std::uint32_t(const TPendingClose&)>;

    TClosingPool(TFinish finish, std::size_t threads = 3, std::size_t slots = 256);
    // Finishes every file added, then stops the threads.
    ~TClosingPool();
    TClosingPool(const TClosingPool&) = delete;
    TClosingPool& operator=(const TClosingPool&) = delete;

    // Hands a file over; waits while every slot is taken.
    void Add(std::uintptr_t handle, const std::string& path, const std::string& temporary, bool replacing);
    // The files whose finishing failed since the last call.
    std::vector<TCloseFailure> TakeFailures();
    // Waits until every file added so far is finished; then TakeFailures().
    std::vector<TCloseFailure> Drain();

private:
    enum class TState { Free, Queued, Working };
    struct TSlot {
        TPendingClose Item;
        TState State = TState::Free;
    };

    static void Run(void* pool);
    void Work();

    const TFinish finish_;
    // A ring of slots whose paths keep their memory: the closing threads
    // neither take nor give back heap blocks per file.
    std::vector<TSlot> slots_;
    WorkerLock mutex_;
    WorkerCondition queued_, finished_;
    std::size_t head_ = 0;    // the next slot to fill
    std::size_t tail_ = 0;    // the next slot to finish
    std::size_t pending_ = 0; // queued or being finished
    std::vector<TCloseFailure> failures_;
    bool stopping_ = false;
    std::vector<std::unique_ptr<WorkerThread>> threads_;
};
