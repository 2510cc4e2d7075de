#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

#include "project/ProjectIndex.h"

namespace tabulex::project {

/// The names of every scope of a run in one open-addressing hash table: (scope table, name)
/// to the symbols declared under that name, in the order they were declared. Names compare
/// without regard to ASCII case; the views must outlive the table.
class TNameTable {
public:
    std::uint32_t new_table() { return tables_++; }
    /// Makes room for `names` entries at once.
    void reserve(std::size_t names);
    std::size_t size() const { return used_; }
    void insert(std::uint32_t table, std::string_view name, std::uint32_t symbol);
    /// The first symbol declared under `name` in `table`, or kNoId.
    std::uint32_t find(std::uint32_t table, std::string_view name) const;
    /// Every symbol declared under `name` in `table`, first declared first.
    template <class F>
    void each(std::uint32_t table, std::string_view name, F&& f) const
    {
        const std::uint32_t h = hash(table, name);
        for (std::size_t i = h & mask_; slots_[i].symbol != kNoId; i = (i + 1) & mask_)
            if (matches(slots_[i], h, table, name))
                f(slots_[i].symbol);
    }

private:
    struct TSlot {
        const char* name = nullptr;
        std::uint32_t length = 0;
        std::uint32_t hash = 0;
        std::uint32_t table = 0;
        std::uint32_t symbol = kNoId;
    };
    static std::uint32_t hash(std::uint32_t table, std::string_view name);
    static bool matches(const TSlot& s, std::uint32_t h, std::uint32_t table,
                        std::string_view name);
    void grow();
    static std::vector<TSlot> empty_slots(std::size_t size);

    std::vector<TSlot> slots_ = std::vector<TSlot>(1024);
    std::size_t mask_ = 1023;
    std::size_t used_ = 0;
    std::uint32_t tables_ = 0;
};

}  // namespace tabulex::project
