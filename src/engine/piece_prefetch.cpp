#include "engine/piece_prefetch.h"

#include <algorithm>

#include "engine/command_text.h"
#include "engine/setup_script.h"
#include "util/ansi_strings.h"

namespace {

bool ConsumesPayload(const TParams& params)
{
    const TScriptAction action = LineAction(params);
    return action == TScriptAction::Save || action == TScriptAction::SaveIfNotExists;
}

// What a command's piece will take at most while it is prepared: the bytes it
// cuts off and what they inflate to, as the command states them.
std::size_t StatedSize(const TParams& params)
{
    const std::int32_t origLen = TextToIntOrMinusOne(ParamValue(params, "OrigLen"));
    const std::int32_t comprLen = TextToIntOrMinusOne(ParamValue(params, "ComprLen"));
    return static_cast<std::size_t>(std::max(origLen, 0)) + static_cast<std::size_t>(std::max(comprLen, 0));
}

} // namespace

TPiecePrefetch::TPiecePrefetch(const std::vector<std::string>& lines, TPayload payload, std::size_t budget)
    : budget_(budget)
{
    thread_ = std::thread([this, &lines, moved = std::move(payload)]() mutable { Run(lines, std::move(moved)); });
}

TPiecePrefetch::~TPiecePrefetch()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

bool TPiecePrefetch::WaitForRoom(std::size_t size)
{
    std::unique_lock<std::mutex> lock(mutex_);
    // A piece larger than the budget waits until nothing else is held.
    changed_.wait(lock, [&] { return stopping_ || held_ == 0 || held_ + size <= budget_; });
    return !stopping_;
}

void TPiecePrefetch::Run(const std::vector<std::string>& lines, TPayload payload)
{
    for (const std::string& line : lines) {
        const TParams params = SplitCommaText(line);
        if (!ConsumesPayload(params)) continue;
        if (!WaitForRoom(StatedSize(params))) return;
        TPrepared prepared;
        try {
            prepared.Cut = CutPiece(params, payload);
        } catch (...) {
            prepared.Raised = std::current_exception();
        }
        std::lock_guard<std::mutex> lock(mutex_);
        held_ += prepared.Cut.Piece.size();
        const bool last = prepared.Raised != nullptr;
        ready_.push_back(std::move(prepared));
        changed_.notify_all();
        if (last) break; // the run ends at that command
    }
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
    changed_.notify_all();
}

TCutPiece TPiecePrefetch::Next()
{
    std::unique_lock<std::mutex> lock(mutex_);
    held_ -= lastGiven_;
    lastGiven_ = 0;
    changed_.notify_all();
    changed_.wait(lock, [&] { return !ready_.empty() || finished_; });
    if (ready_.empty()) {
        TCutPiece exhausted;
        exhausted.ErrorStart = "data error in ";
        return exhausted;
    }
    TPrepared prepared = std::move(ready_.front());
    ready_.pop_front();
    if (prepared.Raised) std::rethrow_exception(prepared.Raised);
    lastGiven_ = prepared.Cut.Piece.size();
    return std::move(prepared.Cut);
}

TPayload PrefetchPieces(const std::vector<std::string>& lines, TPayload payload, std::size_t budget)
{
    TPayload prefetched;
    prefetched.Prefetch = std::make_shared<TPiecePrefetch>(lines, std::move(payload), budget);
    return prefetched;
}
