#pragma once
// Cuts and inflates the pieces of a script's "save" commands on a second
// thread while the first one writes the files: the pieces come out in script
// order, exactly as the commands would cut them one after the other. Pieces
// up to 8 MB go into one ring of memory taken at the start, larger ones stay
// within a byte budget, and the thread takes nothing else from the heap per piece: a
// heap that two threads use at once for many small blocks, as Wine's does,
// keeps growing with every file.
#include <cstddef>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "container/piece_inflater.h"
#include "container/zlib_wrapper.h"
#include "engine/commands.h"
#include "engine/extraction.h"
#include "util/worker_thread.h"

// One prepared piece as the first thread sees it; valid until the next one.
struct TPieceView {
    const char* Data = nullptr;
    std::size_t Size = 0;
    const char* ErrorStart = nullptr; // "data error in " and the like; nullptr on success
    bool Skipped = false;             // passed over undecoded, as SkipPieces asked; no data
};

class TPiecePrefetch {
public:
    // How much memory the pieces prepared ahead may take.
    struct TLimits {
        // For pieces up to half of it: at most this, at least twice the
        // largest piece or 2 MB. A block of its own for every piece costs,
        // under Wine, a fresh mapping with a page fault for every page and a
        // zero fill each time; the ring's pages are touched once.
        std::size_t RingSize = 16u << 20;
        std::size_t LargeBudget = 8u << 20;  // larger pieces together, or one alone
        std::size_t Slots = 4096;            // pieces prepared ahead at the most
    };

    // Takes over the payload; only the lines whose action consumes it are read.
    TPiecePrefetch(const std::vector<std::string>& lines, TPayload payload, const TLimits& limits);
    // Stops the thread; pieces not taken are dropped.
    ~TPiecePrefetch();
    TPiecePrefetch(const TPiecePrefetch&) = delete;
    TPiecePrefetch& operator=(const TPiecePrefetch&) = delete;

    // The piece of the next "save" command of the script, waiting for it if
    // needed. The piece given before is taken to be done with. What cutting
    // raised is raised here, at the command it belongs to. After the last
    // command: a data error, as an exhausted payload gives.
    TPieceView Next();

    // The pieces of these numbers (counted from 0 over the commands that
    // consume the payload) are passed over without being decoded, when they
    // are not prepared yet: their files are not written.
    void SkipPieces(const std::vector<std::size_t>& pieces);

private:
    struct TSlot {
        std::size_t Size = 0;
        bool InRing = false;       // the bytes are in the ring from Offset on, else in Large
        std::size_t Offset = 0;
        std::size_t RingEnd = 0;   // where its room in the ring ends
        std::size_t RingCharge = 0; // ring bytes it holds, a skipped end of the ring included
        std::string Large;
        std::size_t LargeCharge = 0;
        const char* ErrorStart = nullptr;
        bool Skipped = false;
        std::exception_ptr Raised;
    };

    void Run();
    // False when stopping.
    bool Prepare(const TPieceRequest& request, TSlot& slot);
    // Moves the payload past the piece, keeping nothing of it.
    void PassOver(const TPieceRequest& request, TSlot& slot);
    // Room for size bytes: in the ring, or in slot.Large. False when stopping.
    bool WaitForRoom(std::size_t size, TSlot& slot, char*& room);
    void Release(TSlot& slot);

    TLimits limits_; // the ring as large as the pieces need
    std::vector<TPieceRequest> requests_;
    TPayload payload_;
    std::unique_ptr<char[]> ring_;
    std::vector<TSlot> slots_;
    TPieceInflater inflater_;
    std::string compressed_; // the compressed bytes of the piece being prepared
    std::string largeCompressed_; // the same for a piece beyond half the ring

    WorkerLock mutex_;
    WorkerCondition changed_;
    std::size_t ringHead_ = 0, ringTail_ = 0, ringUsed_ = 0;
    std::size_t largeHeld_ = 0;
    std::size_t first_ = 0, ready_ = 0; // slots in use: the oldest, how many
    bool given_ = false;                // the oldest is the one Next gave last
    bool finished_ = false;
    std::vector<char> skip_; // by piece number
    bool stopping_ = false;
    WorkerThread thread_;
};

// The payload of a run whose pieces are prepared ahead of its commands.
TPayload PrefetchPieces(const std::vector<std::string>& lines, TPayload payload,
                        const TPiecePrefetch::TLimits& limits = TPiecePrefetch::TLimits());
