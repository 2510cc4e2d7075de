#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace tabulex {

/// The files a run reads, so that no output ever replaces one of them whatever name leads to
/// it (links, "..", another spelling of the path). Files are told apart by device and inode;
/// when an output matches a recorded identity, the path it was recorded for is looked at again,
/// so that an identity a source has given up (an editor saving it by rename) and a new file has
/// taken does not count. Safe to use from several threads.
class TSourceIds {
public:
    /// Records the file at `path`; one that cannot be looked at is left out (reading it fails).
    /// Recording a path again (after reading it) adds the file that is there now.
    void add(const std::string& path);
    /// Whether the file `info` describes is one of the sources as they are now.
    bool holds(const struct stat& info) const;
    /// The same for the open file `fd`.
    bool holds(int fd) const;

    /// Keeps, besides the sources, every existing file whose name `named` accepts (files
    /// named as sources, which an output given in their place would destroy). Set it before
    /// the run's outputs are written.
    void keepNamed(std::function<bool(std::string_view name)> named);
    /// Whether an existing file called `name` is kept that way.
    bool keepsName(std::string_view name) const { return named_ && named_(name); }

private:
    using TId = std::pair<std::uint64_t, std::uint64_t>;
    mutable std::mutex mutex_;
    std::map<TId, std::vector<std::string>> paths_;  // identity -> paths recorded with it
    std::function<bool(std::string_view name)> named_;
};

/// One output file of the program, written so that nothing is lost:
///
/// - never over a source of the run: the file about to be replaced is compared with the
///   sources when the output is opened and again just before it is replaced;
/// - never through a link planted in an output folder: below an output folder, an output whose
///   name is a link is refused and no folder is entered through a link, so that nothing can
///   send an output elsewhere;
/// - whole or not at all: the bytes go to a new temporary file beside the output, which is
///   renamed over it only when everything was written. A failure removes the temporary file
///   and leaves the old output as it was.
///
/// A device or a pipe named as the output (/dev/null, /dev/stdout) cannot be replaced and is
/// written as it is; so is an existing file that may be written in a folder that takes no new
/// file, which could be written before and still can, though not whole or not at all. Failures keep
/// the reason: the system's ("No space left on device") or why the output was refused ("it is a
/// source of this run").
class TOutputFile {
public:
    TOutputFile() = default;
    /// An output that was not closed is abandoned.
    ~TOutputFile();
    TOutputFile(const TOutputFile&) = delete;
    TOutputFile& operator=(const TOutputFile&) = delete;

    /// Prepares the output `path`, named on its own: the folders leading to it are followed, and
    /// so is a link at its name, whose file is replaced (the link stays). `sources` may be null.
    /// False with a reason when the output cannot or must not be written.
    bool open(const std::string& path, const TSourceIds* sources = nullptr);
    /// Prepares the output `relative` ("sub/Unit1.pas.txt") below the existing output folder
    /// `folder`, making the folders between them when missing; none of them may be a link.
    bool openIn(const std::string& folder, const std::string& relative,
                const TSourceIds* sources = nullptr);

    /// Adds `bytes`, writing them out when the buffer is full; a failure is kept for close().
    void write(std::string_view bytes);
    /// Whether a write has failed.
    bool failed() const { return error_ != 0 || !reason_.empty(); }
    /// Drops what was written so far, for a writer that starts over. False when it cannot.
    bool rewind();
    /// Writes out the rest and puts the output in place. False with a reason when anything
    /// failed; the old output is then left as it was.
    bool close();
    /// Drops what was written; the old output is left as it was.
    void abandon();

    /// The path as given (the folder joined with the relative name for openIn).
    const std::string& path() const { return path_; }
    /// Why opening, writing or closing failed; empty while nothing has.
    std::string reason() const;
    /// "Cannot create file PATH: REASON".
    std::string message() const;

private:
    void reset(const std::string& path, const TSourceIds* sources);
    bool openFolderOf(const std::string& path);
    bool enterFolders(const std::string& folder, const std::string& relative);
    bool prepare(const TSourceIds* sources);
    bool openInPlace(const TSourceIds* sources);
    bool writeInPlace(const struct stat& checked, const TSourceIds* sources);
    bool refusedNow(const TSourceIds* sources);
    bool fail(int error);
    bool refuse(std::string reason);
    void flush();
    void writeOut(std::string_view bytes);
    void closeDescriptors();

    std::string path_;
    std::string name_;       // the output's name in its folder
    std::string temp_;       // the temporary file's name there; empty when written in place
    bool seekable_ = false;  // written in place, yet a file that can be emptied again
    int folder_ = -1;
    int fd_ = -1;
    const TSourceIds* sources_ = nullptr;
    int error_ = 0;       // errno of the first failure
    std::string reason_;  // or why the output was refused
    std::string buffer_;
};

/// Writes `bytes` as the output `relative` below `folder` (see TOutputFile::openIn). Returns
/// the reason of a failure, empty on success.
std::string write_output_in(const std::string& folder, const std::string& relative,
                            std::string_view bytes, const TSourceIds* sources);

}  // namespace tabulex
