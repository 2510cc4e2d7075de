#include "project/ProjectOutputs.h"

#include <algorithm>
#include <charconv>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <span>
#include <string>

#include "analysis/ParallelFor.h"

namespace tabulex {

namespace {

const char* kind_name(TDeclarationKind k)
{
    switch (k) {
    case TDeclarationKind::Unit:
        return "unit";
    case TDeclarationKind::Program:
        return "program";
    case TDeclarationKind::Library:
        return "library";
    case TDeclarationKind::Constant:
        return "constant";
    case TDeclarationKind::ResourceString:
        return "resourcestring";
    case TDeclarationKind::Type:
        return "type";
    case TDeclarationKind::Variable:
        return "variable";
    case TDeclarationKind::Local:
        return "local";
    case TDeclarationKind::Field:
        return "field";
    case TDeclarationKind::Property:
        return "property";
    case TDeclarationKind::Method:
        return "method";
    case TDeclarationKind::Routine:
        return "routine";
    case TDeclarationKind::Parameter:
        return "parameter";
    case TDeclarationKind::EnumValue:
        return "enumvalue";
    case TDeclarationKind::Label:
        return "label";
    }
    return "";
}

const char* file_kind_name(TProjectFileKind k)
{
    switch (k) {
    case TProjectFileKind::Program:
        return "program";
    case TProjectFileKind::Library:
        return "library";
    case TProjectFileKind::Unit:
        return "unit";
    case TProjectFileKind::Include:
        return "include";
    case TProjectFileKind::Other:
        return "other";
    }
    return "";
}

const char* section_name(TUsesSection s)
{
    return s == TUsesSection::Interface ? "interface" : "implementation";
}

/// A buffer that goes to the sink in large pieces.
class TBuffer {
public:
    explicit TBuffer(const TTextSink& sink) : sink_(sink) {}
    TBuffer(const TBuffer&) = delete;
    TBuffer& operator=(const TBuffer&) = delete;
    ~TBuffer() { flush(); }
    TBuffer& operator<<(std::string_view s)
    {
        text_ += s;
        if (text_.size() > (1u << 20))
            flush();
        return *this;
    }
    TBuffer& operator<<(long long n)
    {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
        return *this << std::string_view(digits, static_cast<std::size_t>(end - digits));
    }
    TBuffer& operator<<(int n) { return *this << static_cast<long long>(n); }
    TBuffer& operator<<(std::uint32_t n) { return *this << static_cast<long long>(n); }
    TBuffer& operator<<(std::size_t n) { return *this << static_cast<long long>(n); }
    /// A JSON string with its quotes.
    void string(std::string_view s);
    /// Sends what the buffer holds, then `text` as it stands.
    void send(std::string_view text)
    {
        flush();
        if (!text.empty())
            sink_(text);
    }
    void flush()
    {
        if (text_.empty())
            return;
        sink_(text_);
        text_.clear();
    }

private:
    const TTextSink& sink_;
    std::string text_;
};

// Length of the valid UTF-8 sequence at s[i], 0 when the bytes there are not one.
std::size_t utf8_length(std::string_view s, std::size_t i)
{
    const auto c = static_cast<unsigned char>(s[i]);
    const std::size_t n = c >= 0xF0 && c <= 0xF4  ? 4
                          : c >= 0xE0             ? 3
                          : c >= 0xC2 && c < 0xE0 ? 2
                                                  : 0;
    if (n == 0 || i + n > s.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
            return 0;
    return n;
}

// Room a JSON string of `s` takes at most, with its quotes: an escape is six bytes.
std::size_t json_string_room(std::string_view s)
{
    return 6 * s.size() + 2;
}

// Writes `s` as a JSON string with its quotes at `p`, which has json_string_room(s) bytes free;
// returns the end. Bytes that are not UTF-8 are taken for Latin-1.
char* put_json_string(char* p, std::string_view s)
{
    static const char kHex[] = "0123456789abcdef";
    *p++ = '"';
    // Names are plain ASCII as a rule: what needs no escape goes in at once.
    const auto plain = std::find_if(s.begin(), s.end(), [](char ch) {
        const auto c = static_cast<unsigned char>(ch);
        return c < 0x20 || c >= 0x80 || c == '"' || c == '\\';
    });
    p = std::copy(s.begin(), plain, p);
    for (auto i = static_cast<std::size_t>(plain - s.begin()); i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c == '"' || c == '\\') {
            *p++ = '\\';
            *p++ = static_cast<char>(c);
        } else if (c < 0x20) {
            p = std::copy_n("\\u00", 4, p);
            *p++ = kHex[c >> 4];
            *p++ = kHex[c & 15];
        } else if (c < 0x80) {
            *p++ = static_cast<char>(c);
        } else if (const std::size_t n = utf8_length(s, i); n > 0) {
            p = std::copy_n(s.data() + i, n, p);
            i += n - 1;
        } else {
            *p++ = static_cast<char>(0xC0 | (c >> 6));
            *p++ = static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    *p++ = '"';
    return p;
}

void TBuffer::string(std::string_view s)
{
    const std::size_t start = text_.size();
    text_.resize(start + json_string_room(s));
    char* const end = put_json_string(text_.data() + start, s);
    text_.resize(static_cast<std::size_t>(end - text_.data()));
}

void write_file(TBuffer& out, const TProjectIndex& index, std::uint32_t id)
{
    const TProjectFile& f = index.files()[id];
    auto path_of = [&](std::uint32_t file) {
        if (file == kNoId)
            out << "null";
        else
            out.string(index.files()[file].path);
    };
    out << "{\"id\":" << id << ",\"path\":";
    out.string(f.path);
    out << ",\"kind\":\"" << file_kind_name(f.kind) << "\",\"name\":";
    out.string(f.unit_name);
    out << ",\"lines\":" << f.line_count << ",\"readable\":" << (f.readable ? "true" : "false");
    out << ",\"initialization\":" << (f.has_initialization ? "true" : "false");
    out << ",\"finalization\":" << (f.has_finalization ? "true" : "false") << ",\"uses\":[";
    for (std::size_t i = 0; i < f.uses.size(); ++i) {
        const TProjectUses& u = f.uses[i];
        out << (i ? "," : "") << "{\"name\":";
        out.string(u.name);
        out << ",\"section\":\"" << section_name(u.section) << "\",\"line\":" << u.line
            << ",\"column\":" << u.column << ",\"path\":";
        path_of(u.file);
        out << "}";
    }
    out << "],\"includes\":[";
    for (std::size_t i = 0; i < f.includes.size(); ++i) {
        const TProjectInclude& inc = f.includes[i];
        out << (i ? "," : "") << "{\"name\":";
        out.string(inc.name);
        out << ",\"line\":" << inc.line << ",\"column\":" << inc.column << ",\"path\":";
        path_of(inc.file);
        out << ",\"problem\":"
            << (inc.problem == TIncludeProblem::Missing ? "\"missing\""
                : inc.problem == TIncludeProblem::Loop  ? "\"loop\""
                                                        : "null")
            << "}";
    }
    out << "],\"included_by\":[";
    for (std::size_t i = 0; i < f.included_by.size(); ++i) {
        out << (i ? "," : "");
        path_of(f.included_by[i]);
    }
    out << "],\"inactive_lines\":[";
    for (std::size_t i = 0; i < f.inactive_lines.size(); ++i)
        out << (i ? "," : "") << "[" << f.inactive_lines[i].first << "," << f.inactive_lines[i].last
            << "]";
    out << "],\"diagnostics\":[";
    for (std::size_t i = 0; i < f.diagnostics.size(); ++i) {
        out << (i ? "," : "") << "{\"line\":" << f.diagnostics[i].line << ",\"message\":";
        out.string(f.diagnostics[i].message);
        out << "}";
    }
    out << "]}";
}

/// The text of a piece of the declarations, written at a cursor: each declaration asks once
/// for the room its text can take, and is then written without a check per piece of text.
/// Millions of declarations and references make most of the index's bytes.
class TPieceText {
public:
    /// Where to write next, with at least `n` bytes free.
    char* room(std::size_t n)
    {
        if (capacity_ - size_ < n)
            grow(size_ + n);
        return data_.get() + size_;
    }
    /// Marks the text as ending at `end`, one past the last byte written after room().
    void written(const char* end) { size_ = static_cast<std::size_t>(end - data_.get()); }
    std::string_view text() const { return {data_.get(), size_}; }
    void clear() { size_ = 0; }

private:
    void grow(std::size_t needed)
    {
        const std::size_t capacity = std::max(needed, capacity_ * 2);
        auto bigger = std::make_unique_for_overwrite<char[]>(capacity);
        std::copy_n(data_.get(), size_, bigger.get());
        data_ = std::move(bigger);
        capacity_ = capacity;
    }

    std::unique_ptr<char[]> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

template <std::size_t N>
char* put(char* p, const char (&text)[N])
{
    return std::copy_n(text, N - 1, p);
}

char* put(char* p, std::string_view text)
{
    return std::copy(text.begin(), text.end(), p);
}

// A number takes at most an int's eleven bytes with its sign.
constexpr std::size_t kNumberRoom = 11;

// Ids, lines and columns, as 32-bit numbers: millions of them are written, and the 32-bit
// conversion is the quicker.
inline char* put_number(char* p, std::uint32_t n)
{
    return std::to_chars(p, p + kNumberRoom, n).ptr;
}

inline char* put_number(char* p, int n)
{
    if (n >= 0)
        return put_number(p, static_cast<std::uint32_t>(n));
    *p++ = '-';
    return put_number(p, 0u - static_cast<std::uint32_t>(n));
}

char* put_id(char* p, std::uint32_t id)
{
    return id == kNoId ? put(p, "null") : put_number(p, id);
}

// One reference as `[file,line,column,"kind"]`.
constexpr std::size_t kReferenceRoom = 2 + 3 * (kNumberRoom + 1) + 15;

char* put_reference(char* p, const TProjectReference& ref, bool first)
{
    static constexpr std::string_view kRefKinds[] = {"\"read\"]", "\"write\"]", "\"declaration\"]"};
    if (!first)
        *p++ = ',';
    *p++ = '[';
    p = put_number(p, ref.file);
    *p++ = ',';
    p = put_number(p, ref.line);
    *p++ = ',';
    p = put_number(p, ref.column);
    *p++ = ',';
    return put(p, kRefKinds[static_cast<int>(ref.kind)]);
}

// The room of a declaration's text without its name, kind and references: the keys and
// five numbers.
constexpr std::size_t kDeclarationRoom = 128 + 7 * kNumberRoom;

// `ahead_end` bounds the reference numbers that may be looked at ahead of their turn: a
// declaration's references lie all over the array of references, so each is asked for from
// memory a few places before it is formatted, and formatting does not wait on it.
void write_declaration(TPieceText& out, const TProjectIndex& index, const TProjectDeclaration& d,
                       const std::uint32_t* ahead_end)
{
    constexpr std::size_t kAhead = 16;
    const std::string_view kind = kind_name(d.kind);
    const std::span<const std::uint32_t> ids = index.references_of(d.id);
    char* p = out.room(kDeclarationRoom + json_string_room(d.name) + kind.size() +
                       ids.size() * kReferenceRoom);
    if (d.id != 0)
        p = put(p, ",\n");
    p = put(p, "{\"id\":");
    p = put_number(p, d.id);
    p = put(p, ",\"name\":");
    p = put_json_string(p, d.name);
    p = put(p, ",\"kind\":\"");
    p = put(p, kind);
    p = put(p, "\",\"scope\":");
    p = put_id(p, d.scope);
    p = put(p, ",\"member_of\":");
    p = put_id(p, d.member_of);
    p = put(p, ",\"file\":");
    p = put_id(p, d.file);
    p = put(p, ",\"line\":");
    p = put_number(p, d.line);
    p = put(p, ",\"column\":");
    p = put_number(p, d.column);
    p = put(p, ",\"references\":[");
    const TProjectReference* references = index.references().data();
    for (const std::uint32_t* id = ids.data(); id != ids.data() + ids.size(); ++id) {
#if defined(__GNUC__)
        if (ahead_end - id > static_cast<std::ptrdiff_t>(kAhead))
            __builtin_prefetch(references + id[kAhead]);
#endif
        p = put_reference(p, references[*id], id == ids.data());
    }
    out.written(put(p, "]}"));
}

// Where each piece of the declarations begins: pieces of about a megabyte of text each, so
// that the threads formatting them share the work evenly and none holds much memory (a
// declaration with a hundred thousand references is a piece of its own).
std::vector<std::size_t> declaration_pieces(const TProjectIndex& index)
{
    constexpr std::size_t kPieceBytes = std::size_t{1} << 20;
    constexpr std::size_t kDeclarationBytes = 120;  // about, without its references
    constexpr std::size_t kReferenceBytes = 20;
    std::vector<std::size_t> starts;
    std::size_t bytes = kPieceBytes;
    const std::vector<TProjectDeclaration>& declarations = index.declarations();
    for (std::size_t i = 0; i < declarations.size(); ++i) {
        if (bytes >= kPieceBytes) {
            starts.push_back(i);
            bytes = 0;
        }
        bytes +=
            kDeclarationBytes + index.references_of(declarations[i].id).size() * kReferenceBytes;
    }
    starts.push_back(declarations.size());
    return starts;
}

// The declarations are most of the index: two threads each format a piece at a time and send
// their pieces on in turn, so that one formats while the other sends. Each keeps its buffer
// from piece to piece, so that its memory is made once.
void write_declarations(TBuffer& out, const TProjectIndex& index)
{
    const std::vector<TProjectDeclaration>& declarations = index.declarations();
    const std::vector<std::size_t> starts = declaration_pieces(index);
    const std::size_t pieces = starts.size() - 1;
    out.flush();
    std::mutex mutex;
    std::condition_variable turn;
    std::size_t next_to_send = 0;
    bool failed = false;
    TPieceText texts[2];
    parallel_for_workers(pieces, 2, [&](unsigned worker, std::size_t piece) {
        TPieceText& text = texts[worker];
        try {
            text.clear();
            const std::size_t first = starts[piece];
            const std::size_t last = starts[piece + 1];
            const std::span<const std::uint32_t> ids =
                index.references_of(declarations[last - 1].id);
            for (std::size_t i = first; i < last; ++i)
                write_declaration(text, index, declarations[i], ids.data() + ids.size());
            std::unique_lock lock(mutex);
            turn.wait(lock, [&] { return failed || next_to_send == piece; });
            if (failed)
                return;
            out.send(text.text());
            ++next_to_send;
            turn.notify_all();
        } catch (...) {
            // The other thread must not wait for a piece that never comes.
            const std::lock_guard lock(mutex);
            failed = true;
            turn.notify_all();
            throw;
        }
    });
}

}  // namespace

void write_index_json(const TProjectIndex& index, const TTextSink& sink)
{
    TBuffer out(sink);
    out << "{\"format\":\"tabulex-project-index\",\"version\":1,\n\"files\":[\n";
    for (std::uint32_t i = 0; i < index.files().size(); ++i) {
        out << (i ? ",\n" : "");
        write_file(out, index, i);
    }
    out << "],\n\"declarations\":[\n";
    write_declarations(out, index);
    out << "],\n\"cycles\":[";
    for (std::size_t i = 0; i < index.unit_cycles().size(); ++i) {
        const TUnitCycle& c = index.unit_cycles()[i];
        out << (i ? "," : "") << "\n{\"section\":\"" << section_name(c.section) << "\",\"units\":[";
        for (std::size_t k = 0; k < c.files.size(); ++k) {
            out << (k ? "," : "");
            out.string(index.files()[c.files[k]].unit_name);
        }
        out << "],\"files\":[";
        for (std::size_t k = 0; k < c.files.size(); ++k)
            out << (k ? "," : "") << c.files[k];
        out << "]}";
    }
    out << "],\n\"unresolved\":" << index.unresolved_count() << "}\n";
}

void write_tags(const TProjectIndex& index, const TTextSink& sink)
{
    std::vector<std::string> lines;
    lines.reserve(index.declarations().size());
    for (const TProjectDeclaration& d : index.declarations()) {
        if (d.file == kNoId || d.name.empty() ||
            d.name.find_first_of("\t\r\n") != std::string::npos)
            continue;
        std::string line = d.name + '\t' + index.files()[d.file].path + '\t' +
                           std::to_string(d.line) + ";\"\tkind:" + kind_name(d.kind) +
                           "\tline:" + std::to_string(d.line);
        if (d.member_of != kNoId)
            line += std::string("\tclass:") + index.declarations()[d.member_of].name;
        else if (d.scope != kNoId)
            line += std::string("\tscope:") + index.declarations()[d.scope].name;
        lines.push_back(std::move(line));
    }
    std::sort(lines.begin(), lines.end());
    TBuffer out(sink);
    out << "!_TAG_FILE_FORMAT\t2\t/extended format/\n"
           "!_TAG_FILE_SORTED\t1\t/0=unsorted, 1=sorted, 2=foldcase/\n"
           "!_TAG_PROGRAM_NAME\ttabulex-cli\t//\n";
    for (const std::string& line : lines)
        out << line << "\n";
}

void write_check_notes(const TProjectIndex& index, const TTextSink& sink)
{
    TBuffer out(sink);
    for (const TProjectNote& n : index.notes()) {
        out << index.files()[n.file].path << "(" << n.line << "," << n.column << ") "
            << (n.severity == TNoteSeverity::Note ? "Note: " : "Hint: ") << n.text << "\n";
    }
}

}  // namespace tabulex
