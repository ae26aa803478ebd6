#pragma once
// Cuts and inflates the pieces of a script's "save" commands on a second
// thread while the first one writes the files: the pieces come out in script
// order, exactly as the commands would cut them one after the other, and the
// prepared ones together stay within a byte budget.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/commands.h"
#include "engine/extraction.h"

class TPiecePrefetch {
public:
    // Takes over the payload. lines must outlive this object; only the lines
    // whose action consumes the payload are looked at.
    TPiecePrefetch(const std::vector<std::string>& lines, TPayload payload, std::size_t budget);
    // Stops the thread; pieces not taken are dropped.
    ~TPiecePrefetch();
    TPiecePrefetch(const TPiecePrefetch&) = delete;
    TPiecePrefetch& operator=(const TPiecePrefetch&) = delete;

    // The piece of the next "save" command of the script, waiting for it if
    // needed. The piece given before is taken to be done with. What cutting
    // raised is raised here, at the command it belongs to. After the last
    // command: a data error, as an exhausted payload gives.
    TCutPiece Next();

private:
    struct TPrepared {
        TCutPiece Cut;
        std::exception_ptr Raised;
    };
    void Run(const std::vector<std::string>& lines, TPayload payload);
    // Waits until a piece of about size bytes fits the budget; false when stopping.
    bool WaitForRoom(std::size_t size);

    const std::size_t budget_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<TPrepared> ready_;
    std::size_t held_ = 0;     // bytes prepared and not yet done with
    std::size_t lastGiven_ = 0; // bytes of the piece Next gave last
    bool finished_ = false;     // no more pieces will come
    bool stopping_ = false;
    std::thread thread_;
};

// How many bytes of prepared pieces an installation keeps ahead of its writes.
const std::size_t PrefetchBudget = 4u << 20;

// The payload of a run whose pieces are prepared ahead of its commands.
TPayload PrefetchPieces(const std::vector<std::string>& lines, TPayload payload,
                        std::size_t budget = PrefetchBudget);
