#include "container/piece_inflater.h"

#include <zlib.h>

#include <climits>
#include <cstring>

#include "container/zlib_wrapper.h"

struct TPieceInflater::TState {
    z_stream Stream;
    bool Ready = false;
};

TPieceInflater::TPieceInflater() : state_(std::make_unique<TState>())
{
    std::memset(&state_->Stream, 0, sizeof(state_->Stream));
    state_->Ready =
        inflateInit_(&state_->Stream, ZLibInterfaceVersion, static_cast<int>(sizeof(z_stream))) == Z_OK;
}

TPieceInflater::~TPieceInflater()
{
    if (state_->Ready) inflateEnd(&state_->Stream);
}

bool TPieceInflater::Inflate(const char* data, std::size_t size, char* out, std::size_t capacity,
                             std::size_t& produced)
{
    produced = 0;
    z_stream& stream = state_->Stream;
    if (!state_->Ready || size == 0 || size > UINT_MAX || capacity > UINT_MAX || inflateReset(&stream) != Z_OK)
        return false;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    stream.avail_in = static_cast<uInt>(size);
    stream.next_out = reinterpret_cast<Bytef*>(out);
    stream.avail_out = static_cast<uInt>(capacity);
    if (inflate(&stream, Z_FINISH) != Z_STREAM_END) return false;
    produced = capacity - stream.avail_out;
    return true;
}
