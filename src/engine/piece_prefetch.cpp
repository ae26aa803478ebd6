#include "engine/piece_prefetch.h"

#include <algorithm>
#include <utility>

#include "engine/command_text.h"
#include "engine/setup_script.h"
#include "util/exception.h"

namespace {

bool ConsumesPayload(const TParams& params)
{
    const TScriptAction action = LineAction(params);
    return action == TScriptAction::Save || action == TScriptAction::SaveIfNotExists;
}

} // namespace

TPiecePrefetch::TPiecePrefetch(const std::vector<std::string>& lines, TPayload payload, const TLimits& limits)
    : limits_(limits), payload_(std::move(payload)), slots_(limits.Slots)
{
    std::size_t largest = 0;
    for (const std::string& line : lines) {
        const TParams params = SplitCommaText(line);
        if (!ConsumesPayload(params)) continue;
        requests_.push_back(PieceRequestOf(params));
        if (requests_.back().OrigLen > 0)
            largest = std::max(largest, static_cast<std::size_t>(requests_.back().OrigLen));
    }
    // No larger a ring than the pieces need (a small product's install
    // touches little memory), and never below 2 MB.
    const std::size_t wanted = std::max<std::size_t>(2u << 20, 2 * largest);
    if (wanted < limits_.RingSize) limits_.RingSize = wanted;
    ring_ = std::make_unique<char[]>(limits_.RingSize);
    if (!thread_.Start([](void* self) { static_cast<TPiecePrefetch*>(self)->Run(); }, this))
        throw Exception("no thread for the installation's pieces");
}

TPiecePrefetch::~TPiecePrefetch()
{
    {
        std::lock_guard<WorkerLock> lock(mutex_);
        stopping_ = true;
    }
    changed_.NotifyAll();
    thread_.Join();
}

void TPiecePrefetch::Run()
{
    for (std::size_t piece = 0; piece < requests_.size(); ++piece) {
        const TPieceRequest& request = requests_[piece];
        std::size_t index = 0;
        bool skip = false;
        {
            std::lock_guard<WorkerLock> lock(mutex_);
            changed_.Wait(mutex_, [&] { return stopping_ || ready_ < slots_.size(); });
            if (stopping_) return;
            index = (first_ + ready_) % slots_.size();
            skip = piece < skip_.size() && skip_[piece];
        }
        // The slot is this thread's alone until ready_ counts it.
        TSlot& slot = slots_[index];
        slot = TSlot();
        if (skip)
            PassOver(request, slot);
        else if (!Prepare(request, slot))
            return;
        {
            std::lock_guard<WorkerLock> lock(mutex_);
            ++ready_;
        }
        changed_.NotifyAll();
        if (slot.Raised) break; // the run ends at that command
    }
    {
        std::lock_guard<WorkerLock> lock(mutex_);
        finished_ = true;
    }
    changed_.NotifyAll();
}

bool TPiecePrefetch::Prepare(const TPieceRequest& request, TSlot& slot)
{
    slot.ErrorStart = PieceRequestError(request, payload_);
    if (slot.ErrorStart) return true;
    const std::size_t length = request.Length();
    char* room = nullptr;
    try {
        if (!request.Compressed) {
            if (!WaitForRoom(length, slot, room)) return false;
            slot.Size = TakePayloadPieceInto(payload_, room, length);
            if (slot.Size < length) {
                slot.Size = 0;
                slot.ErrorStart = "data error in ";
            }
            return true;
        }
        // The room for the result comes first, so that a large piece's
        // compressed bytes are not held while it waits.
        const std::size_t stated = static_cast<std::size_t>(request.OrigLen);
        if (!WaitForRoom(stated, slot, room)) return false;
        std::string& input = length <= limits_.RingSize / 2 ? compressed_ : largeCompressed_;
        input.resize(length);
        if (TakePayloadPieceInto(payload_, &input[0], length) < length) {
            slot.ErrorStart = "data error in ";
            return true;
        }
        if (!inflater_.Inflate(input.data(), length, room, stated, slot.Size)) {
            // A stated size that is wrong, or damage: the plain way gives the
            // result or raises its failure.
            std::string whole = DecompressString(input, stated);
            std::lock_guard<WorkerLock> lock(mutex_);
            largeHeld_ += whole.size();
            slot.LargeCharge += whole.size();
            slot.Large = std::move(whole);
            slot.InRing = false;
            slot.Size = slot.Large.size();
        }
        if (slot.Size == 0) slot.ErrorStart = "decompress error in ";
    } catch (...) {
        slot.Raised = std::current_exception();
    }
    return true;
}

void TPiecePrefetch::PassOver(const TPieceRequest& request, TSlot& slot)
{
    slot.ErrorStart = PieceRequestError(request, payload_);
    if (slot.ErrorStart) return;
    try {
        // The payload stream is one stream: its bytes are still read, in
        // pieces of a bounded buffer, but a compressed piece is not inflated.
        compressed_.resize(64 * 1024);
        for (std::size_t left = request.Length(); left > 0;) {
            const std::size_t count = left < compressed_.size() ? left : compressed_.size();
            if (TakePayloadPieceInto(payload_, &compressed_[0], count) < count) {
                slot.ErrorStart = "data error in ";
                return;
            }
            left -= count;
        }
        slot.Skipped = true;
    } catch (...) {
        slot.Raised = std::current_exception();
    }
}

void TPiecePrefetch::SkipPieces(const std::vector<std::size_t>& pieces)
{
    std::lock_guard<WorkerLock> lock(mutex_);
    skip_.assign(requests_.size(), 0);
    for (std::size_t piece : pieces)
        if (piece < skip_.size()) skip_[piece] = 1;
}

bool TPiecePrefetch::WaitForRoom(std::size_t size, TSlot& slot, char*& room)
{
    const std::size_t ringSize = limits_.RingSize;
    if (size > ringSize / 2) {
        {
            // A large piece waits until it fits the budget, or until no other is held.
            std::lock_guard<WorkerLock> lock(mutex_);
            changed_.Wait(mutex_, [&] {
                return stopping_ || largeHeld_ == 0 || largeHeld_ + size <= limits_.LargeBudget;
            });
            if (stopping_) return false;
            largeHeld_ += size;
            slot.LargeCharge = size;
        }
        slot.Large.resize(size);
        room = &slot.Large[0];
        return true;
    }
    std::lock_guard<WorkerLock> lock(mutex_);
    std::size_t offset = 0, charge = 0;
    const auto fits = [&] {
        if (ringUsed_ == 0) ringHead_ = ringTail_ = 0;
        if (ringUsed_ == 0 || ringHead_ > ringTail_) {
            if (ringSize - ringHead_ >= size) {
                offset = ringHead_;
                charge = size;
                return true;
            }
            if (ringTail_ >= size) { // the end is skipped; the piece starts the ring again
                offset = 0;
                charge = ringSize - ringHead_ + size;
                return true;
            }
            return false;
        }
        if (ringTail_ - ringHead_ < size) return false;
        offset = ringHead_;
        charge = size;
        return true;
    };
    changed_.Wait(mutex_, [&] { return stopping_ || fits(); });
    if (stopping_) return false;
    ringHead_ = offset + size;
    ringUsed_ += charge;
    slot.InRing = true;
    slot.Offset = offset;
    slot.RingEnd = offset + size;
    slot.RingCharge = charge;
    room = ring_.get() + offset;
    return true;
}

void TPiecePrefetch::Release(TSlot& slot)
{
    if (slot.RingCharge > 0) {
        ringTail_ = slot.RingEnd;
        ringUsed_ -= slot.RingCharge;
    }
    largeHeld_ -= slot.LargeCharge;
}

TPieceView TPiecePrefetch::Next()
{
    std::string done; // a large piece is freed outside the lock
    std::lock_guard<WorkerLock> lock(mutex_);
    if (given_) {
        TSlot& slot = slots_[first_];
        Release(slot);
        done.swap(slot.Large);
        first_ = (first_ + 1) % slots_.size();
        --ready_;
        given_ = false;
        changed_.NotifyAll();
    }
    changed_.Wait(mutex_, [&] { return ready_ > 0 || finished_; });
    TPieceView view;
    if (ready_ == 0) {
        view.ErrorStart = "data error in ";
        return view;
    }
    TSlot& slot = slots_[first_];
    given_ = true;
    if (slot.Raised) std::rethrow_exception(slot.Raised);
    view.Data = slot.InRing ? ring_.get() + slot.Offset : slot.Large.data();
    view.Size = slot.Size;
    view.ErrorStart = slot.ErrorStart;
    view.Skipped = slot.Skipped;
    return view;
}

TPayload PrefetchPieces(const std::vector<std::string>& lines, TPayload payload,
                        const TPiecePrefetch::TLimits& limits)
{
    TPayload prefetched;
    prefetched.Prefetch = std::make_shared<TPiecePrefetch>(lines, std::move(payload), limits);
    return prefetched;
}
