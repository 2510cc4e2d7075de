#include "report/output/TRpDeflate.h"

#include <stdexcept>
#include <zlib.h>

namespace tabulex {

std::string rpDeflate(std::string_view data)
{
    TRpDeflater deflater;
    return std::string(deflater.Deflate(data));
}

struct TRpDeflater::TState {
    z_stream stream{};
    bool ready = false;
};

TRpDeflater::TRpDeflater() : state_(std::make_unique<TState>())
{
    state_->ready = deflateInit(&state_->stream, Z_BEST_SPEED) == Z_OK;
}

TRpDeflater::~TRpDeflater()
{
    if (state_->ready)
        deflateEnd(&state_->stream);
}

std::string_view TRpDeflater::Deflate(std::string_view data)
{
    z_stream& stream = state_->stream;
    if (!state_->ready || deflateReset(&stream) != Z_OK)
        throw std::runtime_error("compression failed");
    const uLong bound = deflateBound(&stream, static_cast<uLong>(data.size()));
    // The buffer only grows: resizing it would clear the bytes each time.
    if (out_.size() < bound)
        out_.resize(bound);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out_.data());
    stream.avail_out = static_cast<uInt>(out_.size());
    if (deflate(&stream, Z_FINISH) != Z_STREAM_END)
        throw std::runtime_error("compression failed");
    return std::string_view(out_.data(), stream.total_out);
}

}  // namespace tabulex
