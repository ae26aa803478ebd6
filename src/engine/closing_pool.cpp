#include "engine/closing_pool.h"

#include <utility>

TClosingPool::TClosingPool(TFinish finish, std::size_t threads, std::size_t slots)
    : finish_(std::move(finish)), slots_(slots == 0 ? 1 : slots)
{
    for (TSlot& slot : slots_) slot.Item.Path.reserve(260);
    for (std::size_t i = 0; i < (threads == 0 ? 1 : threads); ++i) threads_.emplace_back([this] { Run(); });
}

TClosingPool::~TClosingPool()
{
    {
        std::unique_lock<std::mutex> lock(mutex_);
        finished_.wait(lock, [this] { return pending_ == 0; });
        stopping_ = true;
    }
    queued_.notify_all();
    for (std::thread& thread : threads_) thread.join();
}

void TClosingPool::Add(std::uintptr_t handle, const std::string& path, bool replacing)
{
    std::unique_lock<std::mutex> lock(mutex_);
    finished_.wait(lock, [this] { return slots_[head_].State == TState::Free; });
    TSlot& slot = slots_[head_];
    slot.Item.Handle = handle;
    slot.Item.Path.assign(path);
    slot.Item.Replacing = replacing;
    slot.State = TState::Queued;
    head_ = (head_ + 1) % slots_.size();
    ++pending_;
    lock.unlock();
    queued_.notify_one();
}

std::vector<std::string> TClosingPool::TakeFailures()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(failures_, {});
}

std::vector<std::string> TClosingPool::Drain()
{
    {
        std::unique_lock<std::mutex> lock(mutex_);
        finished_.wait(lock, [this] { return pending_ == 0; });
    }
    return TakeFailures();
}

void TClosingPool::Run()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        queued_.wait(lock, [this] { return stopping_ || slots_[tail_].State == TState::Queued; });
        if (slots_[tail_].State != TState::Queued) return; // stopping with nothing left
        TSlot& slot = slots_[tail_];
        slot.State = TState::Working;
        tail_ = (tail_ + 1) % slots_.size();
        lock.unlock();
        // The slot is this thread's alone until it is freed again.
        const bool done = finish_(slot.Item);
        lock.lock();
        if (!done) failures_.push_back(slot.Item.Path);
        slot.State = TState::Free;
        --pending_;
        finished_.notify_all();
    }
}
