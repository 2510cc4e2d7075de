#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

#include "project/LargeArrays.h"
#include "project/ProjectIndex.h"

namespace tabulex::project {

/// The names of every scope of a run: each scope table is a small open-addressing hash table
/// of its own (at most three quarters full), from a name to the symbols declared under it in the
/// order they were declared. The tables share one pool, so that the scopes a parser looks in at a
/// time (the routine's, its class's, the unit's) stay close in memory. Names compare without regard
/// to ASCII case; the views must outlive the table.
class TNameTable {
public:
    std::uint32_t new_table()
    {
        tables_.emplace_back();
        return static_cast<std::uint32_t>(tables_.size() - 1);
    }
    /// Makes room for about `names` entries at once; with `later`, as reserve_large does.
    void reserve(std::size_t names, std::vector<TPageRange>* later = nullptr);
    std::size_t size() const { return used_; }
    /// The hash of a name as the table uses it: one hash serves every table a name is looked
    /// up in.
    static std::uint32_t hash(std::string_view name);

    void insert(std::uint32_t table, std::string_view name, std::uint32_t symbol)
    {
        insert(table, name, hash(name), symbol);
    }
    void insert(std::uint32_t table, std::string_view name, std::uint32_t hash,
                std::uint32_t symbol);
    /// The first symbol declared under `name` in `table`, or kNoId.
    std::uint32_t find(std::uint32_t table, std::string_view name) const
    {
        return find(table, name, hash(name));
    }
    std::uint32_t find(std::uint32_t table, std::string_view name, std::uint32_t hash) const
    {
        std::uint32_t found = kNoId;
        visit(table, name, hash, [&](std::uint32_t symbol) {
            found = symbol;
            return false;
        });
        return found;
    }
    /// Every symbol declared under `name` in `table`, first declared first.
    template <class F>
    void each(std::uint32_t table, std::string_view name, F&& f) const
    {
        visit(table, name, hash(name), [&](std::uint32_t symbol) {
            f(symbol);
            return true;
        });
    }

private:
    struct TKey {
        std::uint32_t hash = 0;
        std::uint32_t symbol = kNoId;  // kNoId: an empty slot
    };
    struct TName {
        const char* data = nullptr;
        std::size_t length = 0;
    };
    struct TTable {
        std::uint32_t first = 0;     // its slots in the pool: first .. first + capacity
        std::uint32_t capacity = 0;  // a power of two, or 0
        std::uint32_t used = 0;
    };
    static bool same(const TName& n, std::string_view name);

    // Calls f with each symbol under the name until it returns false.
    template <class F>
    void visit(std::uint32_t table, std::string_view name, std::uint32_t hash, F&& f) const
    {
        if (table >= tables_.size())
            return;
        const TTable& t = tables_[table];
        if (t.used == 0)
            return;
        const std::uint32_t mask = t.capacity - 1;
        for (std::uint32_t i = hash & mask;; i = (i + 1) & mask) {
            const TKey& k = keys_[t.first + i];
            if (k.symbol == kNoId)
                return;
            if (k.hash == hash && same(names_[t.first + i], name) && !f(k.symbol))
                return;
        }
    }
    void grow(std::uint32_t table);
    std::uint32_t room(std::uint32_t capacity);

    std::vector<TKey> keys_;
    std::vector<TName> names_;  // beside keys_, read only when a hash matches
    std::vector<TTable> tables_;
    std::vector<std::uint32_t> spare_[32];  // room left by tables that grew, by log2 capacity
    std::size_t used_ = 0;
};

}  // namespace tabulex::project
