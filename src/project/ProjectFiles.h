#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "project/ProjectIndex.h"
#include "project/TextArena.h"

namespace tabulex::project {

/// Case-insensitive (ASCII) hashing and comparison of Pascal names.
struct TNameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const noexcept;
};
struct TNameEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const noexcept;
};
bool same_name(std::string_view a, std::string_view b);
std::string lower_name(std::string_view s);

/// What a preprocessor records on files as it reads them, handed to the store in one go when
/// it is done (hundreds of thousands of notes a large run, taken one lock at a time, kept the
/// threads waiting on each other).
struct TFileNotes {
    std::vector<std::pair<std::uint32_t, TLineRange>> inactive;  // file, lines
    std::vector<std::pair<std::uint32_t, TProjectInclude>> includes;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> included_by;  // file, including file
};

/// The files of a run: each read once, kept at a stable address while the index is built, and
/// found on the search paths without regard to case, as a compiler on a case-sensitive file
/// system finds them. Safe to use from the threads of a run: a reader reads the files ahead, and
/// the preprocessor of the next units runs beside the parser; what a preprocessor records on
/// files goes through note() and note_diagnostic().
class TFileStore {
public:
    TFileStore() = default;
    TFileStore(const TFileStore&) = delete;
    TFileStore& operator=(const TFileStore&) = delete;
    ~TFileStore();

    /// The file at `path`, read at once (or, with `read` false, when read_file asks for it).
    /// A file that cannot be read is kept, unreadable.
    std::uint32_t add(const std::string& path, TProjectFileKind kind, bool read = true);
    /// Reads the files added without reading, two at a time.
    void read_all();
    /// Reads the files added without reading on a thread of its own, in the order they were
    /// added.
    void read_in_background();
    /// File `id` with its bytes: read here if no thread has begun it, else when that thread is
    /// done. Its bytes, `readable` and `line_count` are only to be used through this call.
    TProjectFile& read_file(std::uint32_t id);
    /// Waits for the background reading to end: the files may then be moved out. A file still
    /// unread then ran out of memory each time it was tried, and is unreadable from here on.
    void finish_reading();
    /// File `id`, without a lock: files never move once added.
    TProjectFile& operator[](std::uint32_t id) { return files_[id].file; }
    /// Records `notes` on their files, and clears them.
    void note(TFileNotes& notes);
    void note_diagnostic(std::uint32_t file, TProjectDiagnostic diagnostic);
    std::size_t size() const { return files_.size(); }
    /// What the files' bytes view: to be kept as long as the files are.
    std::shared_ptr<const TTextArena> texts() const { return texts_; }

    /// `name` (as written in a directive or a `uses ... in` clause) in `folder`, tried as
    /// written and then without regard to case; empty when absent.
    std::string find_in(const std::string& folder, std::string_view name);
    /// The source of unit `name` in the folder of `near` or on `paths`; empty when absent.
    std::string find_unit(std::string_view name, const std::string& near,
                          const std::vector<std::string>& paths);

    /// A text that views into must outlive the run (a macro's body).
    const std::string& keep(std::string_view text)
    {
        const std::lock_guard lock(notes_mutex_);
        return kept_.emplace_back(text);
    }

private:
    const std::unordered_map<std::string, std::string>& listing(const std::string& folder);
    std::string find_in_folder(const std::string& folder, std::string_view name);
    std::uint32_t add_canonical(const std::string& path, TProjectFileKind kind, bool& added);
    std::string canonical_key(const std::string& path);
    const std::string& canonical_folder(const std::string& folder);
    std::vector<std::uint32_t> unread();
    void read_if_memory_allows(std::uint32_t id);
    void read(TProjectFile& file);

    enum class TReadState : std::uint8_t { Unread, Reading, Read };
    struct TEntry {
        TProjectFile file;
        std::atomic<TReadState> state{TReadState::Unread};  // changed under read_mutex_
    };

    /// The entries by id in chunks that are made once and never move, so that the threads of
    /// a run look a file up without taking a lock while another thread adds files (a lock
    /// taken for every look-up made the parser wait on the threads reading and preprocessing).
    class TTable {
    public:
        TTable() : chunks_(std::make_unique<std::unique_ptr<TEntry[]>[]>(kChunks)) {}
        TEntry& operator[](std::uint32_t id) { return chunks_[id / kChunk][id % kChunk]; }
        std::size_t size() const { return size_.load(std::memory_order_acquire); }
        /// The entry after the last; adding is serialized by the caller.
        TEntry& emplace_back();

    private:
        static constexpr std::size_t kChunk = 1024;
        static constexpr std::size_t kChunks = std::size_t{1} << 14;
        std::unique_ptr<std::unique_ptr<TEntry[]>[]> chunks_;
        std::atomic<std::size_t> size_{0};
    };

    // Each lock guards one thing, so that the threads of a run seldom wait on each other:
    // mutex_ the adding of files and the tables of their paths, read_mutex_ the files' read
    // states, listings_mutex_ the folders' listings, notes_mutex_ what the preprocessor and
    // the parser record on files as they go and the kept texts.
    std::shared_mutex mutex_;
    std::mutex read_mutex_;
    std::condition_variable read_;
    std::shared_mutex listings_mutex_;
    std::mutex notes_mutex_;
    TTable files_;
    std::deque<std::string> kept_;
    std::shared_ptr<TTextArena> texts_ = std::make_shared<TTextArena>();
    std::atomic<bool> stop_reading_{false};
    std::thread reader_;
    std::unordered_map<std::string, std::uint32_t> by_path_;  // canonical path
    std::unordered_map<std::string, std::uint32_t> by_spelling_;
    std::unordered_map<std::string, std::string> canonical_folders_;
    std::unordered_map<std::string, std::unordered_map<std::string, std::string>> listings_;
};

/// The folder part of a path ("." when it has none).
std::string folder_of(const std::string& path);

}  // namespace tabulex::project
