#include "report/output/TRpSplayCompression.h"

#include <QtEndian>
#include <array>
#include <cstdint>

namespace tabulex {

namespace {

constexpr int kRoot = 0;
constexpr int kInternalNodes = 256;  // nodes 0..255
constexpr int kFirstLeaf = 256;      // leaf of symbol s is s + 256
// Node 255 is internal, so its right child 512 exists in the arrays but is never a symbol.
constexpr int kNodeSlots = 513;

/// The adaptive code tree shared by the compressor and the expander.
class SplayTree {
public:
    SplayTree()
    {
        for (int i = 0; i < kNodeSlots; ++i)
            up_[i] = i == kRoot ? kRoot : (i - 1) / 2;
        for (int i = 0; i < kInternalNodes; ++i) {
            left_[i] = 2 * i + 1;
            right_[i] = 2 * i + 2;
        }
    }

    int Left(int node) const { return left_[node]; }
    int Right(int node) const { return right_[node]; }
    int Up(int node) const { return up_[node]; }

    /// Semi-splays the tree at the leaf of `symbol`: walking up, each pair of nodes on the
    /// path is rotated so that the leaf's depth is roughly halved.
    void Splay(int symbol)
    {
        int a = symbol + kFirstLeaf;
        do {
            const int c = up_[a];
            if (c == kRoot) {
                a = c;
                continue;
            }
            const int d = up_[c];
            int b = left_[d];
            if (c == b) {
                b = right_[d];
                right_[d] = a;
            } else {
                left_[d] = a;
            }
            if (a == left_[c])
                left_[c] = b;
            else
                right_[c] = b;
            up_[a] = d;
            up_[b] = c;
            a = d;
        } while (a != kRoot);
    }

private:
    std::array<int, kInternalNodes> left_{};
    std::array<int, kInternalNodes> right_{};
    std::array<int, kNodeSlots> up_{};
};

/// Packs bits into bytes from the least significant bit up.
class BitWriter {
public:
    void Put(bool bit)
    {
        if (bit)
            current_ |= static_cast<std::uint8_t>(1u << count_);
        if (++count_ == 8)
            flush();
    }
    QByteArray Finish()
    {
        if (count_ > 0)
            flush();
        return std::move(out_);
    }

private:
    void flush()
    {
        out_.append(static_cast<char>(current_));
        current_ = 0;
        count_ = 0;
    }
    QByteArray out_;
    std::uint8_t current_ = 0;
    int count_ = 0;
};

class BitReader {
public:
    explicit BitReader(const QByteArray& in) : in_(in) {}
    /// Next bit, or -1 when the input is exhausted.
    int Get()
    {
        if (byte_ >= in_.size())
            return -1;
        const int bit = (static_cast<std::uint8_t>(in_[byte_]) >> count_) & 1;
        if (++count_ == 8) {
            count_ = 0;
            ++byte_;
        }
        return bit;
    }

private:
    const QByteArray& in_;
    qsizetype byte_ = 0;
    int count_ = 0;
};

}  // namespace

QByteArray rpSplayCompress(const QByteArray& data)
{
    SplayTree tree;
    BitWriter writer;
    // The path from a leaf is at most one node per internal node long.
    std::array<bool, kInternalNodes + 2> path{};
    for (const char c : data) {
        const int symbol = static_cast<std::uint8_t>(c);
        int depth = 0;
        for (int a = symbol + kFirstLeaf; a != kRoot; a = tree.Up(a))
            path[static_cast<std::size_t>(depth++)] = tree.Right(tree.Up(a)) == a;
        // The code runs from the root down, the reverse of the walk.
        while (depth > 0)
            writer.Put(path[static_cast<std::size_t>(--depth)]);
        tree.Splay(symbol);
    }
    return writer.Finish();
}

std::optional<QByteArray> rpSplayExpand(const QByteArray& packed, qsizetype size)
{
    // Every symbol takes at least one bit: a larger size cannot be right.
    if (size < 0 || size / 8 > packed.size())
        return std::nullopt;
    SplayTree tree;
    BitReader reader(packed);
    QByteArray out;
    out.reserve(size);
    for (qsizetype i = 0; i < size; ++i) {
        int node = kRoot;
        while (node < kFirstLeaf) {
            const int bit = reader.Get();
            if (bit < 0)
                return std::nullopt;
            node = bit != 0 ? tree.Right(node) : tree.Left(node);
        }
        const int symbol = node - kFirstLeaf;
        if (symbol > 255)
            return std::nullopt;
        out.append(static_cast<char>(symbol));
        tree.Splay(symbol);
    }
    return out;
}

QByteArray rpCompressPage(const QByteArray& page)
{
    QByteArray stored(4, '\0');
    qToLittleEndian<std::uint32_t>(static_cast<std::uint32_t>(page.size()), stored.data());
    stored.append(rpSplayCompress(page));
    return stored;
}

std::optional<QByteArray> rpExpandPage(const QByteArray& stored)
{
    if (stored.size() < 4)
        return std::nullopt;
    const auto size = qFromLittleEndian<std::uint32_t>(stored.constData());
    return rpSplayExpand(stored.mid(4), static_cast<qsizetype>(size));
}

}  // namespace tabulex
