#include "project/Preprocessor.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <new>
#include <type_traits>

#include "analysis/ParallelFor.h"
#include "project/LargeArrays.h"

namespace tabulex::project {

/// One file being read: the main file or an include file.
struct TTokenStream::TFrame {
    std::uint32_t file = kNoId;
    TPasLex lex;
    const char* text = "";  // what the lexer walks
    bool started = false;
    int inactive_from = 0;  // first line of the inactive stretch being read, 0 when active
    const TToken* expansion = nullptr;  // for a macro's body: the name it stands in for
    TToken at;                          // (its place is the name's)
};

/// One `{$IF...}` group that is open.
struct TTokenStream::TCondition {
    bool outer_active = true;  // whether the code around the group is active
    bool taken = false;        // a branch was active already
    bool active = false;       // the current branch is active
    bool has_else = false;
    std::uint32_t file = kNoId;
    int line = 0;
    int balance = 0;            // blocks opened minus blocks closed in the current branch
    std::vector<int> balances;  // of the branches before it
    std::vector<bool> records;  // the blocks open in the branch: true for a record
    int class_state = 0;        // 1 after `= class`, 2 in its parents, 3 after them
};

namespace {

std::string_view trim(std::string_view s)
{
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ')
        s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ')
        s.remove_suffix(1);
    return s;
}

std::string_view first_word(std::string_view s)
{
    s = trim(s);
    std::size_t n = 0;
    while (n < s.size() && (std::isalnum(static_cast<unsigned char>(s[n])) || s[n] == '_'))
        ++n;
    return s.substr(0, n);
}

/// A small evaluator of `{$IF}` expressions over the lexer's tokens, with Pascal's
/// precedence: relations, then `or`/`xor`/`+`/`-`, then `and`/`*`/`div`, then `not`/`-`.
class TExpression {
public:
    TExpression(std::string_view text, const TDefines& defines) : text_(text), defines_(defines)
    {
        lex_.SetText(text_.c_str());
        skip();
    }
    long long value() { return relation(); }

private:
    void skip()
    {
        while (lex_.TokenKind() == tkSpace || lex_.TokenKind() == tkCRLF)
            lex_.Next();
    }
    void advance()
    {
        lex_.Next();
        skip();
    }
    TTokenKind kind() const { return lex_.TokenKind(); }

    // Arithmetic that wraps around instead of overflowing.
    static long long wrap(long long a, long long b, char op)
    {
        const auto x = static_cast<unsigned long long>(a);
        const auto y = static_cast<unsigned long long>(b);
        return static_cast<long long>(op == '+' ? x + y : op == '-' ? x - y : x * y);
    }

    long long relation()
    {
        long long left = additive();
        for (;;) {
            const TTokenKind k = kind();
            if (k != tkEqual && k != tkNotEqual && k != tkLess && k != tkLessEqual &&
                k != tkGreater && k != tkGreaterEqual)
                return left;
            advance();
            const long long right = additive();
            switch (k) {
            case tkEqual:
                left = left == right;
                break;
            case tkNotEqual:
                left = left != right;
                break;
            case tkLess:
                left = left < right;
                break;
            case tkLessEqual:
                left = left <= right;
                break;
            case tkGreater:
                left = left > right;
                break;
            default:
                left = left >= right;
                break;
            }
        }
    }
    long long additive()
    {
        long long left = multiplicative();
        for (;;) {
            const TTokenKind k = kind();
            if (k != tkOr && k != tkXor && k != tkPlus && k != tkMinus)
                return left;
            advance();
            const long long right = multiplicative();
            if (k == tkOr)
                left = (left != 0) || (right != 0);
            else if (k == tkXor)
                left = (left != 0) != (right != 0);
            else
                left = k == tkPlus ? wrap(left, right, '+') : wrap(left, right, '-');
        }
    }
    long long multiplicative()
    {
        long long left = unary();
        for (;;) {
            const TTokenKind k = kind();
            if (k != tkAnd && k != tkStar && k != tkDiv && k != tkMod)
                return left;
            advance();
            const long long right = unary();
            if (k == tkAnd)
                left = (left != 0) && (right != 0);
            else if (k == tkStar)
                left = wrap(left, right, '*');
            else
                left = right == 0 || (right == -1 && left == LLONG_MIN)
                           ? 0
                           : (k == tkDiv ? left / right : left % right);
        }
    }
    // Prefix operators are gathered first and applied from the innermost out, so that a long
    // row of them needs no recursion.
    long long unary()
    {
        std::vector<TTokenKind> prefixes;
        while (kind() == tkNot || kind() == tkMinus) {
            prefixes.push_back(kind());
            advance();
        }
        long long v = factor();
        for (auto p = prefixes.rbegin(); p != prefixes.rend(); ++p)
            v = *p == tkNot ? v == 0 : wrap(0, v, '-');
        return v;
    }
    long long factor()
    {
        const TTokenKind k = kind();
        if (k == tkParenOpen) {
            advance();
            if (++depth_ > 200)  // nested past reason: give up on the expression
                return 0;
            const long long v = relation();
            --depth_;
            if (kind() == tkParenClose)
                advance();
            return v;
        }
        if (k == tkNumber || k == tkFloat) {
            const std::string_view t = lex_.TokenView();
            long long v = 0;
            std::from_chars(t.data(), t.data() + t.size(), v);
            advance();
            return v;
        }
        if (k == tkNull)
            return 0;
        const std::string word = lex_.TokenText();
        advance();
        if (kind() == tkParenOpen)
            return function(word);
        if (same_name(word, "true"))
            return 1;
        auto it = defines_.symbols.find(word);
        return it == defines_.symbols.end() ? 0 : it->second;
    }
    // defined(X), undefined(X); anything else (declared, sizeof, option) is taken as 0.
    long long function(const std::string& word)
    {
        advance();
        const std::string arg = lex_.TokenText();
        int depth = 1;
        while (kind() != tkNull && depth > 0) {
            if (kind() == tkParenOpen)
                ++depth;
            else if (kind() == tkParenClose)
                --depth;
            advance();
        }
        const bool defined = defines_.symbols.count(arg) != 0;
        if (same_name(word, "defined"))
            return defined;
        if (same_name(word, "undefined"))
            return !defined;
        return 0;
    }

    std::string text_;
    const TDefines& defines_;
    TPasLex lex_;
    int depth_ = 0;
};

}  // namespace

TDefines initial_defines(const TProjectOptions& options)
{
    TDefines d;
    for (std::string_view s : predefined_symbols(options.compiler))
        d.symbols.emplace(std::string(s), 1);
    if (options.compiler == TCompiler::Fpc) {
        d.symbols["FPC_FULLVERSION"] = 30202;
        d.symbols["FPC_VERSION"] = 3;
        d.symbols["FPC_RELEASE"] = 2;
        d.symbols["FPC_PATCH"] = 2;
    } else {
        d.symbols["CompilerVersion"] = 35;
        d.symbols["RTLVersion"] = 35;
    }
    for (const std::string& name : options.defines)
        d.symbols[name] = 1;
    return d;
}

TTokenStream::TTokenStream(TFileStore& files, const TProjectOptions& options, std::uint32_t file)
    : files_(files),
      options_(options),
      defines_(initial_defines(options)),
      delphi_(options.compiler == TCompiler::Delphi),
      object_(delphi_)
{
    auto frame = std::make_unique<TFrame>();
    frame->file = file;
    frame->text = files_.read_file(file).bytes.data();
    frame->lex.SetText(frame->text);
    frames_.push_back(std::move(frame));
    read(current_);
}

TTokenStream::TTokenStream(TFileStore& files, const TProjectOptions& options, TTokenRow recorded)
    : files_(files), options_(options), recorded_(std::move(recorded))
{
    if (recorded_.blocks.empty())
        return;  // no tokens: current_ is the end
    at_ = recorded_.blocks.front()->tokens;
    block_end_ = at_ + (recorded_.blocks.size() == 1 ? recorded_.last : TTokenBlock::kSize);
}

TTokenStream::~TTokenStream()
{
    try {
        files_.note(file_notes_);
    } catch (const std::bad_alloc&) {
        // What was noted is lost with the unit's other work when the memory runs out.
    }
}

TTokenBlock* TTokenPool::take()
{
    {
        const std::lock_guard lock(mutex_);
        if (!free_.empty()) {
            TTokenBlock* const block = free_.back();
            free_.pop_back();
            return block;
        }
    }
    // Made outside the lock, which the parser's give_back needs meanwhile.
    auto block = std::make_unique<TTokenBlock>();
    TTokenBlock* const taken = block.get();
    const std::lock_guard lock(mutex_);
    made_.push_back(std::move(block));
    return taken;
}

void TTokenPool::prefill(std::size_t count)
{
    if (!slab_.empty() || count == 0)
        return;
    TLargePageMap slab(count * sizeof(TTokenBlock));
    if (slab.empty())
        return;
    static_assert(std::is_trivially_destructible_v<TTokenBlock>);
    auto* const blocks = reinterpret_cast<TTokenBlock*>(slab.data());
    // Making a block writes all of it: half of them on each of two threads.
    const auto make = [blocks](std::size_t first, std::size_t last) {
        for (std::size_t i = first; i < last; ++i)
            new (blocks + i) TTokenBlock;
    };
    const std::size_t bounds[] = {0, count / 2, count};
    parallel_for(2, 2, [&](std::size_t half) { make(bounds[half], bounds[half + 1]); });
    const std::lock_guard lock(mutex_);
    slab_ = std::move(slab);
    for (std::size_t i = 0; i < count; ++i)
        free_.push_back(blocks + i);
}

void TTokenPool::give_back(TTokenRow& row)
{
    const std::lock_guard lock(mutex_);
    free_.insert(free_.end(), row.blocks.begin(), row.blocks.end());
    row.blocks.clear();
    row.last = 0;
}

TTokenRow TTokenStream::record(TFileStore& files, const TProjectOptions& options,
                               std::uint32_t file, TTokenPool& pool)
{
    TTokenRow row;
    TTokenStream stream(files, options, file);
    row.blocks.push_back(pool.take());
    TToken* token = &(row.blocks.back()->tokens[row.last++] = stream.current_);
    while (token->kind != tkNull) {
        if (row.last == TTokenBlock::kSize) {
            row.blocks.push_back(pool.take());
            row.last = 0;
        }
        token = &row.blocks.back()->tokens[row.last++];
        stream.read(*token);
    }
    return row;
}

const TToken& TTokenStream::peek()
{
    if (!recorded_.blocks.empty()) {
        if (at_ + 1 < block_end_)
            return at_[1];
        if (block_ + 1 < recorded_.blocks.size())
            return recorded_.blocks[block_ + 1]->tokens[0];
        return *at_;
    }
    if (!has_ahead_) {
        read(ahead_);
        has_ahead_ = true;
    }
    return ahead_;
}

// The next token beyond the current block, or of a stream that is read as it goes.
void TTokenStream::next_unbuffered()
{
    if (!recorded_.blocks.empty()) {
        if (block_ + 1 < recorded_.blocks.size()) {
            ++block_;
            at_ = recorded_.blocks[block_]->tokens;
            block_end_ =
                at_ + (block_ + 1 == recorded_.blocks.size() ? recorded_.last : TTokenBlock::kSize);
        }
        return;
    }
    if (has_ahead_) {
        current_ = ahead_;
        has_ahead_ = false;
        return;
    }
    read(current_);
}

inline bool TTokenStream::active() const
{
    return conditions_.empty() || conditions_.back().active;
}

// Follows the blocks the innermost open conditional's branch opens and closes: begin, try, asm,
// case (not the variant part of a record), record, and the bodies of classes, objects and
// interfaces (not `class;`, `class of`, nor `class(TParent);`). `previous` is the token before.
void TTokenStream::count_block_word(TTokenKind previous, TTokenKind kind)
{
    TCondition& c = conditions_.back();
    auto open = [&](bool record) {
        ++c.balance;
        c.records.push_back(record);
    };
    if (c.class_state == 2) {
        if (kind == tkParenClose)
            c.class_state = 3;
        return;
    }
    if (c.class_state != 0) {
        const bool body = kind != tkSemiColon && kind != tkOf && kind != tkParenOpen;
        c.class_state = kind == tkParenOpen && c.class_state == 1 ? 2 : 0;
        if (!body)
            return;
        open(false);
    }
    switch (kind) {
    case tkClass:
    case tkObject:
    case tkInterface:
    case tkDispinterface:
        if (previous == tkEqual || previous == tkPacked)
            c.class_state = 1;
        break;
    case tkRecord:
        open(true);
        break;
    case tkCase:
        if (c.records.empty() || !c.records.back())
            open(false);
        break;
    case tkBegin:
    case tkTry:
    case tkAsm:
        open(false);
        break;
    case tkEnd:
        --c.balance;
        if (!c.records.empty())
            c.records.pop_back();
        break;
    default:
        break;
    }
}

// Writes the next token straight into `t`, field by field: a token made aside and copied in
// would be read back whole right after its fields were written one at a time, which stalls
// the processor on every token.
void TTokenStream::read(TToken& t)
{
    for (;;) {
        if (frames_.empty()) {
            t = TToken{};
            return;
        }
        TFrame& frame = *frames_.back();
        if (frame.started)
            frame.lex.Next();
        frame.started = true;
        TPasLex& lex = frame.lex;
        const TTokenKind kind = lex.TokenKind();
        switch (kind) {
        case tkNull: {
            if (frame.inactive_from > 0)
                file_notes_.inactive.push_back(
                    {frame.file,
                     {frame.inactive_from, std::max(frame.inactive_from, lex.LineNumber() + 1)}});
            frame.inactive_from = 0;
            if (frame.expansion != nullptr) {
                frames_.pop_back();
                continue;
            }
            if (frames_.size() == 1) {
                t = TToken{};
                t.file = frame.file;
                t.line = lex.LineNumber() + 1;
                frame.started = false;  // stay at the end
                return;
            }
            frames_.pop_back();
            continue;
        }
        case tkSpace:
        case tkCRLF:
        case tkCRLFInComment:
        case tkAnsiComment:
        case tkSlashesComment:
            continue;
        case tkBorComment:
            continue;
        case tkDirective:
        case tkDirectiveR:
            handle_directive(frame);
            continue;
        default:
            break;
        }
        if (kind == tkOtherChar && lex.TokenPosition() < 3 &&
            std::string_view(frame.text).starts_with("\xEF\xBB\xBF"))
            continue;  // the UTF-8 byte order mark
        // Blocks are counted only inside a conditional: most code is outside any.
        const TTokenKind previous = previous_kind_;
        previous_kind_ = kind;
        if (!conditions_.empty())
            count_block_word(previous, kind);
        if (!active())
            continue;
        t.kind = kind;
        // `&name` is a name even when it is spelt like a keyword.
        if (kind == tkSymbol && lex.TokenView() == "&") {
            const char after = frame.text[lex.RunPosition()];
            if (std::isalpha(static_cast<unsigned char>(after)) || after == '_') {
                lex.Next();
                t.kind = tkIdentifier;
            }
        }
        t.text = lex.TokenView();
        t.file = frame.file;
        t.line = lex.LineNumber() + 1;
        t.column = lex.TokenPosition() - lex.LineStart() + 1;
        if (frame.expansion != nullptr) {
            t.line = frame.at.line;
            t.column = frame.at.column;
        }
        if (kind == tkIdentifier && macros_on_ && !macros_.empty() && frames_.size() < 32) {
            if (auto it = macros_.find(t.text); it != macros_.end()) {
                auto body = std::make_unique<TFrame>();
                body->file = frame.file;
                body->at = t;
                body->expansion = &body->at;
                body->text = it->second->c_str();
                body->lex.SetText(body->text);
                frames_.push_back(std::move(body));
                continue;
            }
        }
        t.flags = static_cast<std::uint8_t>(
            (hints_ ? 0 : TToken::kHintsOff) | (notes_ ? 0 : TToken::kNotesOff) |
            (delphi_ ? TToken::kDelphi : 0) | (object_ ? TToken::kObject : 0));
        return;
    }
}

// Reads the directive's whole text (a directive written over several lines reaches its closer
// on a later line, through tokens the lexer takes as code) and applies it.
bool TTokenStream::handle_directive(TFrame& frame)
{
    TPasLex& lex = frame.lex;
    const int line = lex.LineNumber() + 1;
    const int column = lex.TokenPosition() - lex.LineStart() + 1;
    std::string_view text = lex.TokenView();
    const bool paren = text.starts_with("(*");
    std::string joined;
    if (!(paren ? text.ends_with("*)") : text.ends_with("}"))) {
        joined = text;
        for (;;) {
            lex.Next();
            const TTokenKind k = lex.TokenKind();
            if (k == tkNull)
                break;
            joined +=
                (k == tkCRLF || k == tkCRLFInComment) ? std::string_view(" ") : lex.TokenView();
            if (!paren && k == tkBraceClose)
                break;
            if (paren && k == tkParenClose && joined.ends_with("*)"))
                break;
        }
        text = joined;
    }
    text.remove_prefix(paren ? 3 : 2);
    if (text.ends_with(paren ? "*)" : "}"))
        text.remove_suffix(paren ? 2 : 1);
    directive(frame, text, line, column);
    return true;
}

void TTokenStream::directive(TFrame& frame, std::string_view body, int line, int column)
{
    const std::string_view name = first_word(body);
    const std::string_view arg = trim(trim(body).substr(name.size()));
    static constexpr std::string_view kConditionals[] = {"IFDEF", "IFNDEF", "IF",    "IFOPT",
                                                         "ELSE",  "ELSEIF", "ENDIF", "IFEND"};
    for (std::string_view c : kConditionals)
        if (same_name(name, c)) {
            conditional(frame, c, arg, line);
            return;
        }
    if (!active())
        return;
    if (same_name(name, "DEFINE")) {
        const std::string_view symbol = first_word(arg);
        long long value = 1;
        if (const std::size_t assign = arg.find(":="); assign != std::string_view::npos) {
            const std::string_view v = trim(arg.substr(assign + 2));
            std::from_chars(v.data(), v.data() + v.size(), value);
        }
        if (!symbol.empty())
            defines_.symbols[std::string(symbol)] = value;
        if (const std::size_t assign = arg.find(":=");
            assign != std::string_view::npos && !symbol.empty())
            macros_[std::string(symbol)] = &files_.keep(trim(arg.substr(assign + 2)));
    } else if (same_name(name, "UNDEF")) {
        defines_.symbols.erase(std::string(first_word(arg)));
        macros_.erase(std::string(first_word(arg)));
    } else if ((same_name(name, "I") || same_name(name, "INCLUDE")) && !arg.empty() &&
               arg[0] != '+' && arg[0] != '-' && arg[0] != '%') {
        include(frame, arg, line, column);
    } else if (same_name(name, "MODE")) {
        const std::string_view mode = first_word(arg);
        delphi_ = same_name(mode, "delphi") || same_name(mode, "delphiunicode");
        object_ = delphi_ || same_name(mode, "objfpc");
        for (const char* m : {"FPC_DELPHI", "FPC_OBJFPC", "FPC_TP", "FPC_GPC", "FPC_MACPAS"})
            defines_.symbols.erase(m);
        defines_.symbols["FPC_" + lower_name(mode)] = 1;
    } else if (same_name(name, "MACRO")) {
        macros_on_ = !same_name(first_word(arg), "OFF");
    } else if (same_name(name, "HINTS") || same_name(name, "NOTES")) {
        (same_name(name, "HINTS") ? hints_ : notes_) = !same_name(first_word(arg), "OFF");
    } else if (same_name(name, "PUSH")) {
        switch_stack_.emplace_back(hints_, notes_);
    } else if (same_name(name, "POP") && !switch_stack_.empty()) {
        std::tie(hints_, notes_) = switch_stack_.back();
        switch_stack_.pop_back();
    }
}

void TTokenStream::conditional(TFrame& frame, std::string_view name, std::string_view arg, int line)
{
    const bool was_active = active();
    if (name.starts_with("IF") && name != "IFEND") {
        TCondition c;
        c.outer_active = was_active;
        c.file = frame.file;
        c.line = line;
        bool value = false;
        if (name == "IFDEF" || name == "IFNDEF")
            value = defines_.symbols.count(std::string(first_word(arg))) != 0;
        else if (name == "IF" && was_active)
            value = evaluate(arg);
        if (name == "IFNDEF")
            value = !value;
        c.active = was_active && value;
        c.taken = c.active;
        conditions_.push_back(std::move(c));
    } else if (conditions_.empty()) {
        return;  // an ELSE or ENDIF without its IF
    } else if (name == "ELSE" || name == "ELSEIF") {
        TCondition& c = conditions_.back();
        c.balances.push_back(c.balance);
        c.balance = 0;
        c.records.clear();
        c.class_state = 0;
        c.has_else = true;
        const bool value = name == "ELSE" || (c.outer_active && !c.taken && evaluate(arg));
        c.active = c.outer_active && !c.taken && value;
        c.taken = c.taken || c.active;
    } else {
        TCondition c = std::move(conditions_.back());
        conditions_.pop_back();
        c.balances.push_back(c.balance);
        const auto [low, high] = std::minmax_element(c.balances.begin(), c.balances.end());
        if (c.has_else && *low != *high) {
            files_.note_diagnostic(
                c.file,
                {c.line, "begin/end unbalanced between the branches of this conditional: one "
                         "branch opens " +
                             std::to_string(*high - *low) + " block(s) more than another"});
        }
        // The enclosing branch counts the group once, by its first branch.
        if (!conditions_.empty())
            conditions_.back().balance += c.balances.front();
    }
    const bool now_active = active();
    if (was_active && !now_active)
        frame.inactive_from = line + 1;
    if (!was_active && now_active && frame.inactive_from > 0) {
        if (line - 1 >= frame.inactive_from)
            file_notes_.inactive.push_back({frame.file, {frame.inactive_from, line - 1}});
        frame.inactive_from = 0;
    }
}

bool TTokenStream::evaluate(std::string_view expression) const
{
    return TExpression(expression, defines_).value() != 0;
}

void TTokenStream::include(TFrame& frame, std::string_view arg, int line, int column)
{
    std::string_view name = arg;
    if (name.front() == '\'') {
        name.remove_prefix(1);
        name = name.substr(0, name.find('\''));
    } else {
        name = name.substr(0, name.find_first_of(" \t"));
    }
    TProjectInclude inc;
    inc.line = line;
    inc.column = column;
    inc.name = std::string(name);
    const std::string here = folder_of(files_[frame.file].path);
    std::string found;
    auto search = [&](const std::string& candidate) {
        found = files_.find_in(here, candidate);
        for (std::size_t i = 0; found.empty() && i < options_.include_paths.size(); ++i)
            found = files_.find_in(options_.include_paths[i], candidate);
    };
    search(inc.name);
    const bool has_extension = inc.name.find('.', inc.name.rfind('/') + 1) != std::string::npos;
    for (const char* ext : {".inc", ".pp", ".pas"})
        if (found.empty() && !has_extension)
            search(inc.name + ext);
    const std::uint32_t including = frame.file;
    if (found.empty()) {
        inc.problem = TIncludeProblem::Missing;
        files_.note_diagnostic(including, {line, "include file not found: " + inc.name});
        file_notes_.includes.push_back({including, std::move(inc)});
        return;
    }
    const std::uint32_t id = files_.add(found, TProjectFileKind::Include);
    inc.file = id;
    const bool loop =
        std::any_of(frames_.begin(), frames_.end(), [id](const auto& f) { return f->file == id; });
    if (loop) {
        inc.problem = TIncludeProblem::Loop;
        files_.note_diagnostic(including, {line, "include loop: " + inc.name});
    }
    file_notes_.includes.push_back({including, std::move(inc)});
    file_notes_.included_by.push_back({id, including});
    if (loop)
        return;
    const TProjectFile& included = files_.read_file(id);
    if (!included.readable)
        return;
    auto next = std::make_unique<TFrame>();
    next->file = id;
    next->text = included.bytes.data();
    next->lex.SetText(next->text);
    next->started = false;
    frames_.push_back(std::move(next));
}

}  // namespace tabulex::project
