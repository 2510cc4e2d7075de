#include "project/ProjectFiles.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "analysis/FileBytes.h"

namespace tabulex::project {

namespace {
inline char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}
}  // namespace

std::size_t TNameHash::operator()(std::string_view s) const noexcept
{
    std::size_t h = 1469598103934665603ull;
    for (char c : s)
        h = (h ^ static_cast<unsigned char>(lower(c))) * 1099511628211ull;
    return h;
}

bool TNameEqual::operator()(std::string_view a, std::string_view b) const noexcept
{
    return same_name(a, b);
}

bool same_name(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

std::string lower_name(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = lower(c);
    return out;
}

std::string folder_of(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

namespace {
std::string join(const std::string& folder, std::string_view name)
{
    if (folder.empty() || folder == ".")
        return std::string(name);
    return folder + (folder.back() == '/' ? "" : "/") + std::string(name);
}

int count_lines(std::string_view bytes)
{
    int lines = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n' ||
            (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n')))
            ++lines;
    }
    if (!bytes.empty() && bytes.back() != '\n' && bytes.back() != '\r')
        ++lines;
    return lines;
}
}  // namespace

void TFileStore::note(TFileNotes& notes)
{
    const std::lock_guard lock(notes_mutex_);
    for (auto& [file, lines] : notes.inactive)
        files_[file].file.inactive_lines.push_back(lines);
    for (auto& [file, include] : notes.includes)
        files_[file].file.includes.push_back(std::move(include));
    for (const auto& [file, by] : notes.included_by) {
        auto& list = files_[file].file.included_by;
        if (std::find(list.begin(), list.end(), by) == list.end())
            list.push_back(by);
    }
    notes = TFileNotes();
}

void TFileStore::note_diagnostic(std::uint32_t file, TProjectDiagnostic diagnostic)
{
    const std::lock_guard lock(notes_mutex_);
    files_[file].file.diagnostics.push_back(std::move(diagnostic));
}

std::uint32_t TFileStore::add(const std::string& path, TProjectFileKind kind, bool read)
{
    {
        const std::shared_lock lock(mutex_);
        if (auto it = by_spelling_.find(path); it != by_spelling_.end())
            return it->second;
    }
    bool added = false;
    std::uint32_t id = kNoId;
    {
        const std::lock_guard lock(mutex_);
        // The same spelling leads to the same file; other spellings are compared in their
        // canonical form.
        if (auto it = by_spelling_.find(path); it != by_spelling_.end())
            return it->second;
        id = add_canonical(path, kind, added);
        by_spelling_.emplace(path, id);
    }
    // A new file is read outside the lock, which the other threads' look-ups need meanwhile.
    if (added && read)
        read_file(id);
    return id;
}

// The canonical form of a path, its folder's canonical form computed once per folder: a run
// adds thousands of files from a few hundred folders, and resolving every part of every path
// costs a system call per part. Only a file that is itself a symbolic link is resolved alone.
std::string TFileStore::canonical_key(const std::string& path)
{
    std::error_code ec;
    const std::size_t slash = path.rfind('/');
    const std::string_view leaf = slash == std::string::npos
                                      ? std::string_view(path)
                                      : std::string_view(path).substr(slash + 1);
    if (leaf.empty() || leaf == "." || leaf == ".." ||
        std::filesystem::symlink_status(path, ec).type() == std::filesystem::file_type::symlink) {
        std::string key = std::filesystem::weakly_canonical(path, ec).string();
        return ec ? path : key;
    }
    const std::string& folder = canonical_folder(folder_of(path));
    return folder + (!folder.empty() && folder.back() == '/' ? "" : "/") + std::string(leaf);
}

// The canonical form of a folder, made from its parent's, which is made once: only a folder that
// is itself a link, or a name such as "..", is resolved along its whole path.
const std::string& TFileStore::canonical_folder(const std::string& folder)
{
    if (auto it = canonical_folders_.find(folder); it != canonical_folders_.end())
        return it->second;
    const std::size_t slash = folder.rfind('/');
    const std::string_view leaf = slash == std::string::npos
                                      ? std::string_view()
                                      : std::string_view(folder).substr(slash + 1);
    std::error_code ec;
    std::string canonical;
    if (slash == std::string::npos || slash == 0 || leaf.empty() || leaf == "." || leaf == ".." ||
        std::filesystem::symlink_status(folder, ec).type() == std::filesystem::file_type::symlink) {
        canonical = std::filesystem::weakly_canonical(folder, ec).string();
        if (ec)
            canonical = folder;
    } else {
        const std::string& parent = canonical_folder(folder.substr(0, slash));
        canonical =
            parent + (!parent.empty() && parent.back() == '/' ? "" : "/") + std::string(leaf);
    }
    return canonical_folders_.emplace(folder, std::move(canonical)).first->second;
}

std::uint32_t TFileStore::add_canonical(const std::string& path, TProjectFileKind kind, bool& added)
{
    std::string key = canonical_key(path);
    if (auto it = by_path_.find(key); it != by_path_.end())
        return it->second;
    const auto id = static_cast<std::uint32_t>(files_.size());
    TEntry& entry = files_.emplace_back();
    by_path_.emplace(std::move(key), id);
    entry.file.path = path;
    entry.file.kind = kind;
    added = true;
    return id;
}

void TFileStore::read(TProjectFile& file)
{
    try {
        file.bytes = texts_->read(file.path);
    } catch (const EFOpenError& e) {
        file.readable = false;
        file.diagnostics.push_back({0, e.what()});
    }
    file.line_count = count_lines(file.bytes);
}

TFileStore::~TFileStore()
{
    stop_reading_ = true;
    finish_reading();
}

void TFileStore::finish_reading()
{
    if (reader_.joinable())
        reader_.join();
    if (stop_reading_)
        return;
    for (const std::uint32_t id : unread()) {
        files_[id].file.readable = false;
        files_[id].file.diagnostics.push_back({0, "Cannot read the file: not enough memory"});
    }
}

// A file too large for the memory left is left unread: the parser tries again when it comes
// to the file and says what failed.
void TFileStore::read_if_memory_allows(std::uint32_t id)
{
    try {
        read_file(id);
    } catch (const std::bad_alloc&) {}
}

std::vector<std::uint32_t> TFileStore::unread()
{
    const std::lock_guard lock(read_mutex_);
    std::vector<std::uint32_t> ids;
    for (std::uint32_t id = 0; id < files_.size(); ++id)
        if (files_[id].state == TReadState::Unread)
            ids.push_back(id);
    return ids;
}

// Reading is mostly waiting for the system, so two threads share the files.
void TFileStore::read_all()
{
    const std::vector<std::uint32_t> pending = unread();
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i; (i = next++) < pending.size();)
            read_if_memory_allows(pending[i]);
    };
    std::thread helper;
    try {
        helper = std::thread(work);
    } catch (const std::system_error&) {
        // No second thread to be had (a memory limit): this one reads them all.
    }
    work();
    if (helper.joinable())
        helper.join();
}

// The files in the order they were added, beside the parser, which reads a file itself when
// it comes to one first.
void TFileStore::read_in_background()
{
    auto work = [this, pending = unread()] {
        for (std::size_t i = 0; i < pending.size() && !stop_reading_; ++i)
            read_if_memory_allows(pending[i]);
    };
    try {
        reader_ = std::thread(std::move(work));
    } catch (const std::system_error&) {
        // No thread to be had (a memory limit): each file is read when it is needed.
    }
}

TProjectFile& TFileStore::read_file(std::uint32_t id)
{
    TEntry& entry = files_[id];
    if (entry.state.load(std::memory_order_acquire) == TReadState::Read)
        return entry.file;
    std::unique_lock lock(read_mutex_);
    // Read here when no thread has begun it, or again when the thread that began it ran out of
    // memory.
    while (entry.state != TReadState::Read) {
        if (entry.state == TReadState::Reading) {
            read_.wait(lock);
            continue;
        }
        entry.state = TReadState::Reading;
        lock.unlock();
        try {
            read(entry.file);
        } catch (...) {
            lock.lock();
            entry.state = TReadState::Unread;
            read_.notify_all();
            throw;
        }
        lock.lock();
        entry.state = TReadState::Read;
        read_.notify_all();
    }
    return entry.file;
}

TFileStore::TEntry& TFileStore::TTable::emplace_back()
{
    const std::size_t id = size();
    if (id >= kChunk * kChunks)
        throw std::length_error("Too many files");
    if (id % kChunk == 0)
        chunks_[id / kChunk] = std::make_unique<TEntry[]>(kChunk);
    TEntry& entry = (*this)[static_cast<std::uint32_t>(id)];
    size_.store(id + 1, std::memory_order_release);
    return entry;
}

// A folder is listed once, outside the lock, so that a slow directory holds up no other thread.
const std::unordered_map<std::string, std::string>& TFileStore::listing(const std::string& folder)
{
    {
        const std::shared_lock lock(listings_mutex_);
        if (auto it = listings_.find(folder); it != listings_.end())
            return it->second;
    }
    std::unordered_map<std::string, std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator d(folder.empty() ? "." : folder, ec), end;
         !ec && d != end; d.increment(ec)) {
        const std::string name = d->path().filename().string();
        names.try_emplace(lower_name(name), name);
    }
    const std::lock_guard lock(listings_mutex_);
    return listings_.try_emplace(folder, std::move(names)).first->second;
}

std::string TFileStore::find_in(const std::string& folder, std::string_view name)
{
    // Paths written for Windows (`uses X in 'sub\x.pas'`, `{$I ..\inc\x.inc}`) name the
    // same files here.
    std::string path(name);
    std::replace(path.begin(), path.end(), '\\', '/');
    return find_in_folder(folder, path);
}

std::string TFileStore::find_in_folder(const std::string& folder, std::string_view name)
{
    if (name.empty())
        return {};
    if (name.front() == '/') {
        std::error_code ec;
        return std::filesystem::is_regular_file(std::string(name), ec) ? std::string(name)
                                                                       : std::string();
    }
    // A name with folders in it: look up the last part in the folder it names.
    const std::size_t slash = name.rfind('/');
    if (slash != std::string_view::npos)
        return find_in_folder(join(folder, name.substr(0, slash)), name.substr(slash + 1));
    const auto& files = listing(folder);
    if (auto it = files.find(lower_name(name)); it != files.end())
        return join(folder, it->second);
    return {};
}

std::string TFileStore::find_unit(std::string_view name, const std::string& near,
                                  const std::vector<std::string>& paths)
{
    const std::string base(name);
    auto in_folder = [&](const std::string& folder) {
        for (const char* ext : {".pas", ".pp", ".p"}) {
            std::string found = find_in(folder, base + ext);
            if (!found.empty())
                return found;
        }
        return std::string();
    };
    std::string found = in_folder(near);
    for (std::size_t i = 0; found.empty() && i < paths.size(); ++i)
        found = in_folder(paths[i]);
    return found;
}

}  // namespace tabulex::project
