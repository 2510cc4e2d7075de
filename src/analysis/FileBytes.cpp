#include "analysis/FileBytes.h"

#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace tabulex {

EFOpenError::EFOpenError(const std::string& path) : std::runtime_error("Cannot open file " + path)
{}

namespace {
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
}  // namespace

std::string read_file_bytes(const std::string& path)
{
    // Opened without blocking, so that a named pipe or a device without a writer is refused
    // below instead of hanging the open; a regular file reads the same either way.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw EFOpenError(path);
    std::unique_ptr<std::FILE, FileCloser> file(::fdopen(fd, "rb"));
    if (!file) {
        ::close(fd);
        throw EFOpenError(path);
    }
    struct stat info {};
    if (fstat(fileno(file.get()), &info) != 0 || !S_ISREG(info.st_mode))
        throw EFOpenError(path);
    // Refused before anything is allocated: a text too long for the lexer's offsets.
    if (static_cast<std::uint64_t>(info.st_size) > kMaxSourceBytes)
        throw EFOpenError(path);

    std::string bytes;
    bytes.resize(static_cast<std::size_t>(info.st_size));
    std::size_t got = bytes.empty() ? 0 : std::fread(bytes.data(), 1, bytes.size(), file.get());
    if (got != bytes.size()) {
        // The file shrank or failed while being read; keep reading what is left, report errors.
        if (std::ferror(file.get()))
            throw EFOpenError(path);
        bytes.resize(got);
    }
    // A file that grew while being read (or a special file reporting size 0) is read to its end.
    char chunk[65536];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
        if (n > kMaxSourceBytes - bytes.size())
            throw EFOpenError(path);
        bytes.append(chunk, n);
    }
    if (std::ferror(file.get()))
        throw EFOpenError(path);
    return bytes;
}

}  // namespace tabulex
