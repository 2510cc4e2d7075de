#pragma once
#include <QByteArray>
#include <optional>

namespace tabulex {

/// Splay-tree prefix code over byte symbols with semi-splaying, as used for compressed
/// report pages. The code tree starts complete (internal nodes 0..255, leaves 256..511 for
/// the symbols 0..255) and adapts after every symbol, so no table is stored.

/// Compresses `data`; bits are packed from the least significant bit, the last partial
/// byte included.
QByteArray rpSplayCompress(const QByteArray& data);

/// Expands `size` symbols from `packed`; nothing when the bits run out or lead outside the
/// tree (corrupt input).
std::optional<QByteArray> rpSplayExpand(const QByteArray& packed, qsizetype size);

/// A stored compressed page: the 4-byte little-endian uncompressed length, then the code.
QByteArray rpCompressPage(const QByteArray& page);
/// The page of a stored compressed page; nothing when it is malformed.
std::optional<QByteArray> rpExpandPage(const QByteArray& stored);

}  // namespace tabulex
