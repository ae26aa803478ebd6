#include "engine/deferred_closes.h"

#include <windows.h>

#include "engine/closing_pool.h"
#include "engine/engine_state.h"
#include "engine/extraction.h"
#include "engine/run_log.h"
#include "util/file_replace.h"

namespace {

// Two to four threads: more gain nothing against one writing thread.
const std::size_t ClosingThreads = 3;

TClosingPool* ActivePool = nullptr;

std::uint32_t FinishOne(const TPendingClose& item)
{
    return FinishFileWrite(reinterpret_cast<HANDLE>(item.Handle), item.Path, item.Temporary, item.Replacing);
}

bool Report(const std::vector<TCloseFailure>& failures)
{
    for (const TCloseFailure& failure : failures) {
        ForgetWrittenFile(failure.Path);
        NoteWriteFailure(failure.Path, failure.Error);
        AddError("Write Error: " + failure.Path);
    }
    return failures.empty();
}

} // namespace

TDeferredCloses::TDeferredCloses() : pool_(std::make_unique<TClosingPool>(FinishOne, ClosingThreads))
{
    ActivePool = pool_.get();
}

TDeferredCloses::~TDeferredCloses()
{
    try {
        FinishPendingWrites();
    } catch (...) {
        // Reporting needs memory; the files are finished all the same.
    }
    ActivePool = nullptr;
}

bool FinishPendingWrites()
{
    return !ActivePool || Report(ActivePool->Drain());
}

bool ReportFinishedWrites()
{
    return !ActivePool || Report(ActivePool->TakeFailures());
}

bool DeferFinish(void* handle, const std::string& path, const std::string& temporary, bool replacing)
{
    if (!ActivePool) return false;
    ActivePool->Add(reinterpret_cast<std::uintptr_t>(handle), path, temporary, replacing);
    return true;
}
