#pragma once
// The closing threads of one run of the script. While a TDeferredCloses
// exists, WriteWholeFile hands each written file to them instead of closing it
// itself. Windows builds only.
#include <memory>
#include <string>

class TClosingPool;

class TDeferredCloses {
public:
    TDeferredCloses();
    // Finishes every pending file (reporting failures) before it returns.
    ~TDeferredCloses();
    TDeferredCloses(const TDeferredCloses&) = delete;
    TDeferredCloses& operator=(const TDeferredCloses&) = delete;

private:
    std::unique_ptr<TClosingPool> pool_;
};

// Called before anything touches the written files again: waits for every
// pending file and reports each that could not be finished ("Write Error: "
// and its path, which leaves the written files). False when one failed.
bool FinishPendingWrites();

// Failures of files finished meanwhile, reported without waiting.
bool ReportFinishedWrites();

// Hands a written file over (as FinishFileWrite takes it); false when no
// closing threads run (the caller finishes it itself).
bool DeferFinish(void* handle, const std::string& path, const std::string& temporary, bool replacing);
