#pragma once
#include <string>
#include <string_view>

namespace tabulex {

/// `data` compressed as a zlib stream (the PDF FlateDecode filter), at a level chosen for
/// speed: report pages repeat themselves so much that the fast levels already shrink them
/// to a small part of their size.
std::string rpDeflate(std::string_view data);

}  // namespace tabulex
