#include "container/piece_inflater.h"

#include <libdeflate.h>

struct TPieceInflater::TState {
    struct TFree {
        void operator()(libdeflate_decompressor* decompressor) const { libdeflate_free_decompressor(decompressor); }
    };
    std::unique_ptr<libdeflate_decompressor, TFree> Decompressor{libdeflate_alloc_decompressor()};
};

TPieceInflater::TPieceInflater() : state_(std::make_unique<TState>()) {}

TPieceInflater::~TPieceInflater() = default;

bool TPieceInflater::Inflate(const char* data, std::size_t size, char* out, std::size_t capacity,
                             std::size_t& produced)
{
    produced = 0;
    // Without a decompressor (no memory) every piece goes the plain way,
    // which reports the shortage.
    if (!state_->Decompressor || size == 0) return false;
    std::size_t consumed = 0, written = 0;
    // Asking for the sizes lets the stream end early in both buffers: bytes
    // behind it are ignored, and a result shorter than the room is fine.
    if (libdeflate_zlib_decompress_ex(state_->Decompressor.get(), data, size, out, capacity, &consumed, &written) !=
        LIBDEFLATE_SUCCESS)
        return false;
    produced = written;
    return true;
}
