#include "files/OutputFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <system_error>
#include <unistd.h>

namespace tabulex {

namespace {

constexpr std::size_t kBufferSize = 1 << 18;
// Room left for the temporary file's suffix within a file name's 255 bytes.
constexpr std::size_t kTempStemMax = 200;

std::pair<std::uint64_t, std::uint64_t> idOf(const struct stat& info)
{
    return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

std::string joined(const std::string& folder, const std::string& name)
{
    if (folder.empty())
        return name;
    return folder.back() == '/' ? folder + name : folder + '/' + name;
}

// A name for the temporary file beside `name` that no other writer picks.
std::string temporaryName(const std::string& name)
{
    thread_local std::mt19937_64 random{std::random_device{}()};
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, ".%08llx.tmp",
                  static_cast<unsigned long long>(random() & 0xffffffffULL));
    return name.substr(0, kTempStemMax) + suffix;
}

}  // namespace

void TSourceIds::add(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return;
    const std::lock_guard lock(mutex_);
    std::vector<std::string>& paths = paths_[idOf(info)];
    for (const std::string& known : paths)
        if (known == path)
            return;
    paths.push_back(path);
}

bool TSourceIds::holds(int fd) const
{
    struct stat info {};
    return ::fstat(fd, &info) == 0 && holds(info);
}

bool TSourceIds::holds(const struct stat& info) const
{
    const auto id = idOf(info);
    std::vector<std::string> paths;
    {
        const std::lock_guard lock(mutex_);
        const auto found = paths_.find(id);
        if (found == paths_.end())
            return false;
        paths = found->second;
    }
    // Confirmed on the source's path as it is now.
    for (const std::string& path : paths) {
        struct stat now {};
        if (::stat(path.c_str(), &now) == 0 && idOf(now) == id)
            return true;
    }
    return false;
}

void TSourceIds::keepNamed(std::function<bool(std::string_view name)> named)
{
    named_ = std::move(named);
}

TOutputFile::~TOutputFile()
{
    abandon();
}

bool TOutputFile::fail(int error)
{
    if (error_ == 0 && reason_.empty())
        error_ = error != 0 ? error : EIO;
    abandon();
    return false;
}

bool TOutputFile::refuse(std::string reason)
{
    if (error_ == 0 && reason_.empty())
        reason_ = std::move(reason);
    abandon();
    return false;
}

std::string TOutputFile::reason() const
{
    if (!reason_.empty())
        return reason_;
    return error_ != 0 ? std::generic_category().message(error_) : std::string();
}

std::string TOutputFile::message() const
{
    return "Cannot create file " + path_ + ": " + reason();
}

void TOutputFile::reset(const std::string& path, const TSourceIds* sources)
{
    abandon();
    seekable_ = false;
    path_ = path;
    sources_ = sources;
    error_ = 0;
    reason_.clear();
}

bool TOutputFile::open(const std::string& path, const TSourceIds* sources)
{
    reset(path, sources);
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return openFolderOf(path) && prepare(sources);
    // A device or a pipe cannot be replaced: it is written as it is, also through a link.
    if (!S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode))
        return openInPlace(sources);
    struct stat name {};
    if (!S_ISREG(info.st_mode) || ::lstat(path.c_str(), &name) != 0 || !S_ISLNK(name.st_mode))
        return openFolderOf(path) && prepare(sources);
    // A link named on its own leads to the file the user means: that file is replaced, and
    // the link keeps leading to it.
    if (sources != nullptr && sources->holds(info))
        return refuse("it is a source of this run");
    char* real = ::realpath(path.c_str(), nullptr);
    if (real == nullptr)
        return fail(errno);
    const std::string target(real);
    std::free(real);
    return openFolderOf(target) && prepare(sources);
}

bool TOutputFile::openIn(const std::string& folder, const std::string& relative,
                         const TSourceIds* sources)
{
    reset(joined(folder, relative), sources);
    return enterFolders(folder, relative) && prepare(sources);
}

// The folder of an output named on its own, as the path names it.
bool TOutputFile::openFolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".")
                               : slash == 0               ? std::string("/")
                                                          : path.substr(0, slash);
    name_ = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name_.empty() || name_ == "." || name_ == "..")
        return fail(EISDIR);
    folder_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return folder_ >= 0 || fail(errno);
}

// Walks from `folder` down the folders of `relative`, making the missing ones; a link on the
// way is refused with its path.
bool TOutputFile::enterFolders(const std::string& folder, const std::string& relative)
{
    folder_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder_ < 0)
        return fail(errno);
    std::size_t start = 0;
    for (std::size_t slash; (slash = relative.find('/', start)) != std::string::npos;
         start = slash + 1) {
        const std::string part = relative.substr(start, slash - start);
        if (part.empty() || part == ".")
            continue;
        if (part == "..")
            return fail(EINVAL);
        constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
        int next = ::openat(folder_, part.c_str(), kFlags);
        // Several outputs (and several threads) may make the same folder at once.
        if (next < 0 && errno == ENOENT) {
            if (::mkdirat(folder_, part.c_str(), 0777) != 0 && errno != EEXIST)
                return fail(errno);
            next = ::openat(folder_, part.c_str(), kFlags);
        }
        if (next < 0) {
            const int error = errno;
            struct stat info {};
            if (::fstatat(folder_, part.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISLNK(info.st_mode))
                return refuse(joined(folder, relative.substr(0, slash)) + " is a link");
            return fail(error);
        }
        ::close(folder_);
        folder_ = next;
    }
    name_ = relative.substr(start);
    if (name_.empty() || name_ == "." || name_ == "..")
        return fail(EISDIR);
    return true;
}

// What stands at the output's name now may be replaced: no source, no link, no folder.
bool TOutputFile::refusedNow(const TSourceIds* sources)
{
    struct stat info {};
    if (::fstatat(folder_, name_.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? false : !fail(errno);
    if (S_ISLNK(info.st_mode)) {
        // A link to a source says so: that is what the output would have destroyed.
        struct stat target {};
        if (sources != nullptr && ::fstatat(folder_, name_.c_str(), &target, 0) == 0 &&
            sources->holds(target))
            return !refuse("it is a source of this run");
        return !refuse("it is a link");
    }
    if (sources != nullptr && sources->holds(info))
        return !refuse("it is a source of this run");
    if (S_ISDIR(info.st_mode))
        return !fail(EISDIR);
    if (!S_ISREG(info.st_mode))
        return !refuse("it is not a regular file");
    if (sources != nullptr && sources->keepsName(name_))
        return !refuse("it has the name of a source file");
    return false;
}

bool TOutputFile::prepare(const TSourceIds* sources)
{
    if (refusedNow(sources))
        return false;
    struct stat old {};
    const bool replacing = ::fstatat(folder_, name_.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0;
    // An output that may not be written (read-only) stays refused, as when written in place.
    if (replacing && ::faccessat(folder_, name_.c_str(), W_OK, AT_EACCESS) != 0)
        return fail(errno);
    for (int attempt = 0; attempt < 16; ++attempt) {
        temp_ = temporaryName(name_);
        fd_ = ::openat(folder_, temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                       0666);
        if (fd_ >= 0 || errno != EEXIST)
            break;
    }
    if (fd_ < 0) {
        const int error = errno;
        temp_.clear();
        // A folder that takes no new file but holds a file that may be written: that file is
        // written in place, as it always could be, though not whole or not at all.
        if ((error == EACCES || error == EPERM) && replacing && S_ISREG(old.st_mode))
            return writeInPlace(old, sources);
        return fail(error);
    }
    if (replacing) {
        // The new file keeps the old one's permissions (and owner, where that may be given).
        (void)::fchmod(fd_, old.st_mode & 07777);
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid())
            (void)::fchown(fd_, old.st_uid, old.st_gid);
    }
    buffer_.reserve(kBufferSize);
    return true;
}

bool TOutputFile::writeInPlace(const struct stat& checked, const TSourceIds* sources)
{
    fd_ = ::openat(folder_, name_.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
    struct stat info {};
    if (fd_ < 0 || ::fstat(fd_, &info) != 0)
        return fail(errno);
    // Still the file looked at, and no source since.
    if (info.st_dev != checked.st_dev || info.st_ino != checked.st_ino ||
        (sources != nullptr && sources->holds(info)))
        return refuse("it changed while it was opened");
    if (::ftruncate(fd_, 0) != 0)
        return fail(errno);
    seekable_ = true;
    buffer_.reserve(kBufferSize);
    return true;
}

bool TOutputFile::openInPlace(const TSourceIds* sources)
{
    fd_ = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd_ < 0)
        return fail(errno);
    struct stat info {};
    if (::fstat(fd_, &info) != 0)
        return fail(errno);
    if (sources != nullptr && sources->holds(info))
        return refuse("it is a source of this run");
    if (S_ISREG(info.st_mode)) {
        // It became a file after all: replaced whole, as any file.
        ::close(fd_);
        fd_ = -1;
        return openFolderOf(path_) && prepare(sources);
    }
    buffer_.reserve(kBufferSize);
    return true;
}

void TOutputFile::write(std::string_view bytes)
{
    if (fd_ < 0 || failed())
        return;
    if (buffer_.size() + bytes.size() > kBufferSize) {
        flush();
        // A piece as large as the buffer goes out as it is, without a copy.
        if (bytes.size() >= kBufferSize) {
            writeOut(bytes);
            return;
        }
    }
    buffer_.append(bytes);
}

void TOutputFile::flush()
{
    writeOut(buffer_);
    buffer_.clear();
}

void TOutputFile::writeOut(std::string_view bytes)
{
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0 && !failed()) {
        const ssize_t n = ::write(fd_, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error_ = n < 0 ? errno : ENOSPC;
            break;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

bool TOutputFile::rewind()
{
    if (fd_ < 0 || failed())
        return false;
    buffer_.clear();
    if (temp_.empty() && !seekable_)
        return fail(ESPIPE);  // a device cannot take back what it was given
    if (::ftruncate(fd_, 0) != 0 || ::lseek(fd_, 0, SEEK_SET) != 0)
        return fail(errno);
    return true;
}

bool TOutputFile::close()
{
    if (fd_ < 0)
        return failed() ? false : fail(EBADF);
    flush();
    if (failed())
        return fail(error_);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0)
        return fail(errno);
    if (!temp_.empty()) {
        // Whatever took the output's name meanwhile is looked at again before it goes.
        if (refusedNow(sources_))
            return false;
        if (::renameat(folder_, temp_.c_str(), folder_, name_.c_str()) != 0)
            return fail(errno);
        temp_.clear();
    }
    closeDescriptors();
    return true;
}

void TOutputFile::abandon()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!temp_.empty() && folder_ >= 0)
        ::unlinkat(folder_, temp_.c_str(), 0);
    temp_.clear();
    closeDescriptors();
    buffer_.clear();
}

void TOutputFile::closeDescriptors()
{
    if (folder_ >= 0)
        ::close(folder_);
    folder_ = -1;
}

std::string write_output_in(const std::string& folder, const std::string& relative,
                            std::string_view bytes, const TSourceIds* sources)
{
    TOutputFile file;
    if (file.openIn(folder, relative, sources)) {
        file.write(bytes);
        if (file.close())
            return {};
    }
    return file.reason();
}

}  // namespace tabulex
