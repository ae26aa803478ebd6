#include "mksetup/temporary_files.h"

#include <atomic>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

// Fixed slots, so that a signal handler can read them without locks or
// allocation: a path is complete before its slot is marked live.
constexpr int SlotCount = 8;
constexpr std::size_t LongestPath = 4096;
struct Slot {
    std::atomic<bool> Live{false};
    char Path[LongestPath];
};
Slot Slots[SlotCount];

} // namespace

TemporaryFile::TemporaryFile(std::string path) : path_(std::move(path)), slot_(-1)
{
    if (path_.size() >= LongestPath) return; // still removed by its owner
    for (int i = 0; i < SlotCount && slot_ < 0; ++i) {
        if (Slots[i].Live.load()) continue;
        std::memcpy(Slots[i].Path, path_.c_str(), path_.size() + 1);
        Slots[i].Live.store(true);
        slot_ = i;
    }
}

TemporaryFile::~TemporaryFile()
{
    if (!kept_) {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    if (slot_ >= 0) Slots[slot_].Live.store(false);
}

void TemporaryFile::Keep()
{
    kept_ = true;
    if (slot_ >= 0) Slots[slot_].Live.store(false);
    slot_ = -1;
}

void ForEachTemporaryPath(void (*remove)(const char* path))
{
    for (Slot& slot : Slots)
        if (slot.Live.load()) remove(slot.Path);
}
