#include "analysis/FileBytes.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "analysis/LargePages.h"
#include "analysis/SourceEncoding.h"

namespace tabulex {

EFOpenError::EFOpenError(const std::string& path) : std::runtime_error("Cannot open file " + path)
{}

namespace {
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

struct FdCloser {
    int fd;
    ~FdCloser()
    {
        if (fd >= 0)
            ::close(fd);
    }
};
}  // namespace

std::optional<std::string_view> read_regular_file(const std::string& path, const TRoomFor& room)
{
    // Opened without blocking, as read_file_bytes opens it.
    const FdCloser file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    struct stat info {};
    if (file.fd < 0 || ::fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    const auto size = static_cast<std::size_t>(info.st_size);
    if (size > kMaxSourceBytes)
        return std::nullopt;
    char* const data = room(size + 1);
    if (data == nullptr)
        return std::nullopt;
    // One byte more than the size is asked for: a file that grew since fstat fills it. A read
    // that ends exactly at the size has met the end, and needs no second read to find it.
    std::size_t got = 0;
    while (got < size + 1) {
        const ssize_t n = ::read(file.fd, data + got, size + 1 - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
        if (got == size)
            break;
    }
    if (got != size)
        return std::nullopt;  // shrunk, grown or failed while being read
    data[size] = '\0';
    return std::string_view(data, size);
}

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

    // Backed by large pages where the system allows: a text of tens of megabytes then costs a
    // handful of page faults instead of thousands, which is most of the time its read takes.
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(info.st_size));
    advise_large_pages(bytes.data(), bytes.capacity());
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
    if (has_utf16_mark(bytes)) {
        bytes = utf16_as_utf8(bytes);
        if (bytes.size() > kMaxSourceBytes)
            throw EFOpenError(path);
    }
    return bytes;
}

bool has_utf16_mark(std::string_view bytes)
{
    return bytes.size() >= 2 && ((bytes[0] == '\xFF' && bytes[1] == '\xFE') ||
                                 (bytes[0] == '\xFE' && bytes[1] == '\xFF'));
}

std::string utf16_as_utf8(std::string_view bytes)
{
    constexpr char32_t kReplacement = 0xFFFD;
    const bool bigEndian = bytes.size() >= 2 && bytes[0] == '\xFE';
    const auto unit = [&](std::size_t at) -> char32_t {
        const auto first = static_cast<unsigned char>(bytes[at]);
        const auto second = static_cast<unsigned char>(bytes[at + 1]);
        return bigEndian ? (first << 8 | second) : (second << 8 | first);
    };
    std::string out = "\xEF\xBB\xBF";
    out.reserve(bytes.size() * 3 / 2 + 3);
    std::size_t at = 2;
    for (; at + 1 < bytes.size(); at += 2) {
        const char32_t c = unit(at);
        if (c < 0xD800 || c > 0xDFFF) {
            append_utf8(out, c);
            continue;
        }
        // A high surrogate and the low one after it make one character beyond the BMP.
        if (c <= 0xDBFF && at + 3 < bytes.size()) {
            const char32_t low = unit(at + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                append_utf8(out, 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00));
                at += 2;
                continue;
            }
        }
        append_utf8(out, kReplacement);
    }
    if (at < bytes.size())
        append_utf8(out, kReplacement);
    return out;
}

std::optional<std::size_t> find_nul_byte(std::string_view bytes)
{
    const std::size_t at = bytes.find('\0');
    if (at == std::string_view::npos)
        return std::nullopt;
    return at;
}

}  // namespace tabulex
