#include "project/ProjectOutputs.h"

#include <algorithm>
#include <charconv>
#include <deque>
#include <future>
#include <string>
#include <system_error>

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

/// A buffer that goes to the sink in large pieces, or, made without a sink, keeps the text
/// for whoever takes it.
class TBuffer {
public:
    /// A buffer without a sink that writes into `room` (its text dropped, its memory kept).
    explicit TBuffer(std::string room) : text_(std::move(room)) { text_.clear(); }
    explicit TBuffer(const TTextSink& sink) : sink_(&sink) {}
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
    void id(std::uint32_t id)
    {
        if (id == kNoId)
            *this << "null";
        else
            *this << id;
    }
    /// Sends what the buffer holds, then `text` as it stands.
    void send(std::string_view text)
    {
        flush();
        if (sink_ != nullptr && !text.empty())
            (*sink_)(text);
    }
    std::string take() { return std::move(text_); }
    void flush()
    {
        if (sink_ == nullptr || text_.empty())
            return;
        (*sink_)(text_);
        text_.clear();
    }

private:
    const TTextSink* sink_ = nullptr;
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

void TBuffer::string(std::string_view s)
{
    static const char kHex[] = "0123456789abcdef";
    text_ += '"';
    // Names are plain ASCII as a rule: what needs no escape goes in at once.
    const auto plain = std::find_if(s.begin(), s.end(), [](char ch) {
        const auto c = static_cast<unsigned char>(ch);
        return c < 0x20 || c >= 0x80 || c == '"' || c == '\\';
    });
    text_.append(s.begin(), plain);
    for (auto i = static_cast<std::size_t>(plain - s.begin()); i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c == '"' || c == '\\') {
            text_ += '\\';
            text_ += static_cast<char>(c);
        } else if (c < 0x20) {
            text_ += "\\u00";
            text_ += kHex[c >> 4];
            text_ += kHex[c & 15];
        } else if (c < 0x80) {
            text_ += static_cast<char>(c);
        } else if (const std::size_t n = utf8_length(s, i); n > 0) {
            text_.append(s.substr(i, n));
            i += n - 1;
        } else {
            text_ += static_cast<char>(0xC0 | (c >> 6));
            text_ += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    text_ += '"';
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

// One reference as `[file,line,column,"kind"]`, made in one piece: millions of them make most
// of the index's bytes.
void write_reference(TBuffer& out, const TProjectReference& ref, bool first)
{
    static constexpr std::string_view kRefKinds[] = {"\"read\"]", "\"write\"]", "\"declaration\"]"};
    char row[64];
    char* p = row;
    if (!first)
        *p++ = ',';
    *p++ = '[';
    constexpr int kDigits = 11;  // an int's, with its sign
    p = std::to_chars(p, p + kDigits, ref.file).ptr;
    *p++ = ',';
    p = std::to_chars(p, p + kDigits, ref.line).ptr;
    *p++ = ',';
    p = std::to_chars(p, p + kDigits, ref.column).ptr;
    *p++ = ',';
    const std::string_view kind = kRefKinds[static_cast<int>(ref.kind)];
    p = std::copy(kind.begin(), kind.end(), p);
    out << std::string_view(row, static_cast<std::size_t>(p - row));
}

// `ahead_end` bounds the reference numbers that may be looked at ahead of their turn: a
// declaration's references lie all over the array of references, so each is asked for from
// memory a few places before it is formatted, and formatting does not wait on it.
void write_declaration(TBuffer& out, const TProjectIndex& index, const TProjectDeclaration& d,
                       const std::uint32_t* ahead_end)
{
    constexpr std::size_t kAhead = 16;
    out << "{\"id\":" << d.id << ",\"name\":";
    out.string(d.name);
    out << ",\"kind\":\"" << kind_name(d.kind) << "\",\"scope\":";
    out.id(d.scope);
    out << ",\"member_of\":";
    out.id(d.member_of);
    out << ",\"file\":";
    out.id(d.file);
    out << ",\"line\":" << d.line << ",\"column\":" << d.column << ",\"references\":[";
    const TProjectReference* references = index.references().data();
    const std::span<const std::uint32_t> ids = index.references_of(d.id);
    for (const std::uint32_t* id = ids.data(); id != ids.data() + ids.size(); ++id) {
#if defined(__GNUC__)
        if (ahead_end - id > static_cast<std::ptrdiff_t>(kAhead))
            __builtin_prefetch(references + id[kAhead]);
#endif
        write_reference(out, references[*id], id == ids.data());
    }
    out << "]}";
}

// The declarations are most of the index: they are formatted a piece at a time on threads of
// their own, a few pieces ahead, while this thread sends the pieces on in order. The pieces'
// buffers go round again, so that their memory is made once.
void write_declarations(TBuffer& out, const TProjectIndex& index)
{
    constexpr std::size_t kPiece = 4096;
    constexpr std::size_t kAhead = 4;
    const std::vector<TProjectDeclaration>& declarations = index.declarations();
    auto format = [&](std::size_t first, std::string room) {
        TBuffer piece(std::move(room));
        const std::size_t last = std::min(first + kPiece, declarations.size());
        const std::span<const std::uint32_t> ids = index.references_of(declarations[last - 1].id);
        for (std::size_t i = first; i < last; ++i) {
            piece << (declarations[i].id ? ",\n" : "");
            write_declaration(piece, index, declarations[i], ids.data() + ids.size());
        }
        return piece.take();
    };
    std::deque<std::future<std::string>> pending;
    std::vector<std::string> spare;
    for (std::size_t next = 0; next < declarations.size() || !pending.empty();) {
        for (; pending.size() < kAhead && next < declarations.size(); next += kPiece) {
            std::string room;
            if (!spare.empty()) {
                room = std::move(spare.back());
                spare.pop_back();
            }
            try {
                pending.push_back(std::async(std::launch::async, format, next, std::move(room)));
            } catch (const std::system_error&) {
                // No thread to be had (a memory limit): this one formats the piece.
                pending.push_back(std::async(std::launch::deferred, format, next, std::string()));
            }
        }
        std::string text = pending.front().get();
        pending.pop_front();
        out.send(text);
        spare.push_back(std::move(text));
    }
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
