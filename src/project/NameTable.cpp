#include "project/NameTable.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "project/LargeArrays.h"
#include "project/ProjectFiles.h"

namespace tabulex::project {

// Eight bytes at a time; setting bit 5 of every byte folds ASCII letters to lower case (it
// also folds a few other bytes together, which only costs a comparison).
std::uint32_t TNameTable::hash(std::string_view name)
{
    std::uint64_t h = 0x9E3779B97F4A7C15ull ^ name.size();
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

bool TNameTable::same(const TName& n, std::string_view name)
{
    return n.length == name.size() && same_name(std::string_view(n.data, n.length), name);
}

void TNameTable::reserve(std::size_t names, std::vector<TPageRange>* later)
{
    // Tables at most three quarters full, most of them small.
    reserve_large(keys_, names * 2, later);
    reserve_large(names_, names * 2, later);
    tables_.reserve(names / 4);
}

void TNameTable::insert(std::uint32_t table, std::string_view name, std::uint32_t h,
                        std::uint32_t symbol)
{
    if (table >= tables_.size())
        return;
    if ((tables_[table].used + 1) * 4 > tables_[table].capacity * 3)
        grow(table);
    TTable& t = tables_[table];
    const std::uint32_t mask = t.capacity - 1;
    std::uint32_t i = h & mask;
    while (keys_[t.first + i].symbol != kNoId)
        i = (i + 1) & mask;
    keys_[t.first + i] = {h, symbol};
    names_[t.first + i] = {name.data(), name.size()};
    ++t.used;
    ++used_;
}

// Room for a table of `capacity` slots (a power of two): room a table left as it grew, or
// new room at the end of the pool.
std::uint32_t TNameTable::room(std::uint32_t capacity)
{
    std::vector<std::uint32_t>& spare = spare_[std::countr_zero(capacity)];
    if (!spare.empty()) {
        const std::uint32_t first = spare.back();
        spare.pop_back();
        std::fill_n(keys_.begin() + first, capacity, TKey{});
        return first;
    }
    const auto first = static_cast<std::uint32_t>(keys_.size());
    room_for(keys_, capacity);
    room_for(names_, capacity);
    keys_.resize(keys_.size() + capacity);
    names_.resize(names_.size() + capacity);
    return first;
}

// Moves the table to twice the room. Entries of one name keep their order: they are met in
// probe order, and the old room is walked from the start of a run of full slots, so an entry
// is always placed after those of its name that came before it.
void TNameTable::grow(std::uint32_t table)
{
    const TTable old = tables_[table];
    const std::uint32_t capacity = old.capacity == 0 ? 4 : old.capacity * 2;
    const std::uint32_t first = room(capacity);
    const std::uint32_t mask = capacity - 1;
    std::uint32_t start = 0;
    while (old.used > 0 && keys_[old.first + start].symbol != kNoId)
        ++start;
    for (std::uint32_t n = 0; old.used > 0 && n < old.capacity; ++n) {
        const std::uint32_t from = old.first + (start + n) % old.capacity;
        const TKey key = keys_[from];
        if (key.symbol == kNoId)
            continue;
        std::uint32_t i = key.hash & mask;
        while (keys_[first + i].symbol != kNoId)
            i = (i + 1) & mask;
        keys_[first + i] = key;
        names_[first + i] = names_[from];
    }
    tables_[table] = {first, capacity, old.used};
    if (old.capacity != 0)
        spare_[std::countr_zero(old.capacity)].push_back(old.first);
}

}  // namespace tabulex::project
