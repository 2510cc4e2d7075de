#include "cli/PdfRun.h"

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace tabulex {

namespace {

bool sameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) {
                   return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
               };
               return lower(x) == lower(y);
           });
}

fs::path folderOf(const std::string& path)
{
    return fs::absolute(fs::path(path)).lexically_normal().parent_path();
}

}  // namespace

std::string unit_pdf_link(const std::vector<TRunPdf>& run, const TRunPdf& from,
                          std::string_view unit)
{
    const TRunPdf* found = nullptr;
    const fs::path home = folderOf(from.source);
    for (const TRunPdf& entry : run) {
        if (!sameName(fs::path(entry.source).stem().string(), unit))
            continue;
        if (folderOf(entry.source) == home) {
            found = &entry;
            break;
        }
        if (found == nullptr)
            found = &entry;
    }
    if (found == nullptr || found == &from)
        return {};
    const fs::path target = fs::absolute(fs::path(found->pdf)).lexically_normal();
    return target.lexically_relative(folderOf(from.pdf)).generic_string();
}

std::optional<std::pair<std::size_t, std::size_t>>
routine_lines(const TSourceAnalysis& analysis, std::string_view name, std::string& error)
{
    // The name after the keyword, without blanks: "procedure TFoo . Bar" gives "TFoo.Bar".
    const auto nameOf = [&analysis](const TRoutine& routine) {
        std::string_view text = analysis.text(routine.name);
        const auto blank = text.find_first_of(" \t\r\n");
        std::string name;
        if (blank != std::string_view::npos)
            for (const char c : text.substr(blank))
                if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
                    name.push_back(c);
        return name;
    };
    std::vector<const TRoutine*> whole;
    std::vector<const TRoutine*> last;
    for (const TRoutine& routine : analysis.routines()) {
        const std::string full = nameOf(routine);
        const auto dot = full.rfind('.');
        if (sameName(full, name))
            whole.push_back(&routine);
        else if (dot != std::string::npos && sameName(std::string_view(full).substr(dot + 1), name))
            last.push_back(&routine);
    }
    const std::vector<const TRoutine*>& found = whole.empty() ? last : whole;
    if (found.size() != 1) {
        error = found.empty()
                    ? "no routine " + std::string(name)
                    : "several routines are named " + std::string(name) + "; give the class too";
        return std::nullopt;
    }
    const TRoutine& routine = *found.front();
    for (const TRoutineBlock& block : analysis.routine_blocks()) {
        if (block.header_line != routine.line || block.end_line < block.header_line)
            continue;
        return std::pair{static_cast<std::size_t>(block.header_line - 1),
                         static_cast<std::size_t>(block.end_line)};
    }
    error = "routine " + std::string(name) + " has no body";
    return std::nullopt;
}

}  // namespace tabulex
