#pragma once
#include <memory>
#include <string>
#include <string_view>

namespace tabulex {

/// `data` compressed as a zlib stream (the PDF FlateDecode filter), at a level chosen for
/// speed: report pages repeat themselves so much that the fast levels already shrink them
/// to a small part of their size.
std::string rpDeflate(std::string_view data);

/// Compresses one stream after another as rpDeflate does, keeping its compressor and its
/// output buffer between them (a report compresses thousands of pages).
class TRpDeflater {
public:
    TRpDeflater();
    ~TRpDeflater();
    TRpDeflater(const TRpDeflater&) = delete;
    TRpDeflater& operator=(const TRpDeflater&) = delete;

    /// `data` compressed; the view is valid until the next call. Throws std::runtime_error
    /// when the compressor fails.
    std::string_view Deflate(std::string_view data);

private:
    struct TState;
    std::unique_ptr<TState> state_;
    std::string out_;
};

}  // namespace tabulex
