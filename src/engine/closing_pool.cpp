#include "engine/closing_pool.h"

#include <utility>

TClosingPool::TClosingPool(TFinish finish, std::size_t threads, std::size_t slots)
    : finish_(std::move(finish)), slots_(slots == 0 ? 1 : slots)
{
    for (TSlot& slot : slots_) {
        slot.Item.Path.reserve(260);
        slot.Item.Temporary.reserve(260);
    }
    for (std::size_t i = 0; i < (threads == 0 ? 1 : threads); ++i) {
        threads_.push_back(std::make_unique<WorkerThread>());
        if (!threads_.back()->Start(&TClosingPool::Run, this)) {
            threads_.pop_back();
            break;
        }
    }
}

TClosingPool::~TClosingPool()
{
    {
        std::lock_guard<WorkerLock> lock(mutex_);
        finished_.Wait(mutex_, [this] { return pending_ == 0; });
        stopping_ = true;
    }
    queued_.NotifyAll();
    for (auto& thread : threads_) thread->Join();
}

void TClosingPool::Add(std::uintptr_t handle, const std::string& path, const std::string& temporary, bool replacing)
{
    if (threads_.empty()) { // no thread could be started: finish it here
        const TPendingClose item{handle, path, temporary, replacing};
        if (const std::uint32_t error = finish_(item)) {
            std::lock_guard<WorkerLock> lock(mutex_);
            failures_.push_back({path, error});
        }
        return;
    }
    {
        std::lock_guard<WorkerLock> lock(mutex_);
        finished_.Wait(mutex_, [this] { return slots_[head_].State == TState::Free; });
        TSlot& slot = slots_[head_];
        slot.Item.Handle = handle;
        slot.Item.Path.assign(path);
        slot.Item.Temporary.assign(temporary);
        slot.Item.Replacing = replacing;
        slot.State = TState::Queued;
        head_ = (head_ + 1) % slots_.size();
        ++pending_;
    }
    queued_.NotifyOne();
}

std::vector<TCloseFailure> TClosingPool::TakeFailures()
{
    std::lock_guard<WorkerLock> lock(mutex_);
    return std::exchange(failures_, {});
}

std::vector<TCloseFailure> TClosingPool::Drain()
{
    {
        std::lock_guard<WorkerLock> lock(mutex_);
        finished_.Wait(mutex_, [this] { return pending_ == 0; });
    }
    return TakeFailures();
}

void TClosingPool::Run(void* pool)
{
    static_cast<TClosingPool*>(pool)->Work();
}

void TClosingPool::Work()
{
    mutex_.lock();
    for (;;) {
        queued_.Wait(mutex_, [this] { return stopping_ || slots_[tail_].State == TState::Queued; });
        if (slots_[tail_].State != TState::Queued) break; // stopping with nothing left
        TSlot& slot = slots_[tail_];
        slot.State = TState::Working;
        tail_ = (tail_ + 1) % slots_.size();
        mutex_.unlock();
        // The slot is this thread's alone until it is freed again.
        const std::uint32_t error = finish_(slot.Item);
        mutex_.lock();
        if (error) failures_.push_back({slot.Item.Path, error});
        slot.State = TState::Free;
        --pending_;
        finished_.NotifyAll();
    }
    mutex_.unlock();
}
