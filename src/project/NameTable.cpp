#include "project/NameTable.h"

#include <cstring>

#include "project/LargeArrays.h"
#include "project/ProjectFiles.h"

namespace tabulex::project {

// Eight bytes at a time; setting bit 5 of every byte folds ASCII letters to lower case (it
// also folds a few other bytes together, which only costs a comparison).
std::uint32_t TNameTable::hash(std::uint32_t table, std::string_view name)
{
    std::uint64_t h =
        0x9E3779B97F4A7C15ull ^ (static_cast<std::uint64_t>(table) << 17) ^ name.size();
    std::size_t i = 0;
    for (; i + 8 <= name.size(); i += 8) {
        std::uint64_t chunk;
        std::memcpy(&chunk, name.data() + i, 8);
        h = (h ^ (chunk | 0x2020202020202020ull)) * 0xFF51AFD7ED558CCDull;
        h ^= h >> 29;
    }
    std::uint64_t rest = 0;
    for (std::size_t k = 0; i + k < name.size(); ++k)
        rest |= static_cast<std::uint64_t>(static_cast<unsigned char>(name[i + k]) | 0x20)
                << (8 * k);
    h = (h ^ rest) * 0xC4CEB9FE1A85EC53ull;
    return static_cast<std::uint32_t>(h ^ (h >> 32));
}

bool TNameTable::matches(const TSlot& s, std::uint32_t h, std::uint32_t table,
                         std::string_view name)
{
    return s.hash == h && s.table == table && s.length == name.size() &&
           same_name(std::string_view(s.name, s.length), name);
}

std::vector<TNameTable::TSlot> TNameTable::empty_slots(std::size_t size)
{
    std::vector<TSlot> slots;
    reserve_large(slots, size);
    slots.resize(size);
    return slots;
}

void TNameTable::reserve(std::size_t names)
{
    if (used_ == 0 && names * 2 > slots_.size()) {
        std::size_t size = slots_.size();
        while (names * 2 > size)
            size *= 2;
        slots_ = empty_slots(size);
        mask_ = size - 1;
    }
}

void TNameTable::insert(std::uint32_t table, std::string_view name, std::uint32_t symbol)
{
    if ((used_ + 1) * 2 > slots_.size())
        grow();
    const std::uint32_t h = hash(table, name);
    std::size_t i = h & mask_;
    while (slots_[i].symbol != kNoId)
        i = (i + 1) & mask_;
    slots_[i] = {name.data(), static_cast<std::uint32_t>(name.size()), h, table, symbol};
    ++used_;
}

std::uint32_t TNameTable::find(std::uint32_t table, std::string_view name) const
{
    const std::uint32_t h = hash(table, name);
    for (std::size_t i = h & mask_; slots_[i].symbol != kNoId; i = (i + 1) & mask_)
        if (matches(slots_[i], h, table, name))
            return slots_[i].symbol;
    return kNoId;
}

// Doubles the table. Entries of one key keep their order: they are met in probe order, and
// the old table is walked from the start of each run of full slots, so an entry is always
// re-placed after those of its key that came before it.
void TNameTable::grow()
{
    std::vector<TSlot> old = empty_slots(slots_.size() * 2);
    old.swap(slots_);
    mask_ = slots_.size() - 1;
    // Start just after an empty slot so that no run of full slots is split at the wrap.
    std::size_t start = 0;
    while (old[start].symbol != kNoId)
        ++start;
    for (std::size_t n = 0; n < old.size(); ++n) {
        const TSlot& s = old[(start + n) % old.size()];
        if (s.symbol == kNoId)
            continue;
        std::size_t i = s.hash & mask_;
        while (slots_[i].symbol != kNoId)
            i = (i + 1) & mask_;
        slots_[i] = s;
    }
}

}  // namespace tabulex::project
