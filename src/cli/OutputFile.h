#pragma once
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <utility>

namespace tabulex {

/// The files a run reads, by device and inode, so that no output can replace one of them
/// whatever name leads to it (links, "..", another spelling of the path).
class TSourceIds {
public:
    /// Records the file at `path`; one that cannot be looked at is left out (reading it fails).
    void add(const std::string& path);
    /// Whether the open file `fd` is one of the recorded files.
    bool holds(int fd) const;
    /// Whether the file `info` describes is one of the recorded files.
    bool holds(const struct stat& info) const;

private:
    std::set<std::pair<std::uint64_t, std::uint64_t>> ids_;
};

/// An output file written through a buffer. Opening checks, on the open file itself, that it is
/// none of the run's sources before it empties it, so nothing can slip in between the check and
/// the writing.
class TOutputFile {
public:
    enum class TOpen { Ok, Failed, IsASource };

    TOutputFile() = default;
    ~TOutputFile();
    TOutputFile(const TOutputFile&) = delete;
    TOutputFile& operator=(const TOutputFile&) = delete;

    /// Opens or creates `path` without emptying it, refuses it when it is one of `sources`,
    /// else empties it.
    TOpen open(const std::string& path, const TSourceIds& sources);
    /// Adds `bytes` to the buffer, writing it out when full; failures are kept for close().
    void write(std::string_view bytes);
    /// Writes out the rest and closes. False when any write or the close failed.
    bool close();

private:
    void flush();

    int fd_ = -1;
    bool failed_ = false;
    std::string buffer_;
};

}  // namespace tabulex
