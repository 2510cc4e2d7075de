#include "report/output/TRpDeflate.h"

#include <stdexcept>
#include <zlib.h>

namespace tabulex {

std::string rpDeflate(std::string_view data)
{
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string out(size, '\0');
    const int result = compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                                 reinterpret_cast<const Bytef*>(data.data()),
                                 static_cast<uLong>(data.size()), Z_BEST_SPEED);
    if (result != Z_OK)
        throw std::runtime_error("compression failed");
    out.resize(size);
    return out;
}

}  // namespace tabulex
