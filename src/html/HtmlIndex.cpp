#include <algorithm>
#include <map>

#include "analysis/DecimalText.h"
#include "html/HtmlPages.h"
#include "html/HtmlText.h"

namespace tabulex {

namespace {

// Up to this many pages the index lists them all, its tree open; above, it shows the folders
// (each with a page of its own that lists its files) and its filter finds the files by path.
constexpr std::size_t kListedUpTo = 200;

void append_name(std::string& out, std::string_view bytes)
{
    append_html_text(out, bytes, file_name_encoding(bytes));
}

void append_count(std::string& out, std::size_t count)
{
    out += "<td class=\"num\">";
    append_decimal(out, static_cast<long long>(count));
    out += "</td>";
}

// The pages of one folder as table rows, links relative to the page at `from`.
void append_rows(std::string& out, const THtmlRun& run, std::vector<const THtmlPage*> pages,
                 std::string_view from)
{
    std::sort(pages.begin(), pages.end(),
              [](const THtmlPage* a, const THtmlPage* b) { return a->name < b->name; });
    out += "<table>\n<thead><tr><th>Arquivo</th><th class=\"num\">Linhas</th>"
           "<th class=\"num\">Rotinas</th><th class=\"num\">Nomes "
           "declarados</th></tr></thead>\n<tbody>\n";
    for (const THtmlPage* page : pages) {
        out += "<tr class=\"item\" data-c=\"";
        append_name(out, page->path.substr(0, page->path.size() - 5));  // without ".html"
        out += "\"><td><a href=\"";
        out += relative_url(from, page->path);
        out += "\">";
        append_name(out, page->name);
        out += "</a>";
        if (page->file != kNoId &&
            run.project.files()[page->file].kind == TProjectFileKind::Include)
            out += " <span class=\"tipo\">include</span>";
        out += "</td>";
        append_count(out, page->lines);
        append_count(out, page->routines);
        append_count(out, page->names);
        out += "</tr>\n";
    }
    out += "</tbody>\n</table>\n";
}

/// The folders of the run as a tree: each folder's own pages and its sub-folders.
struct TFolderTree {
    std::map<std::string, std::vector<const THtmlPage*>> pages;  // folder -> its pages
    std::map<std::string, std::vector<std::string>> children;    // folder -> sub-folders

    explicit TFolderTree(const THtmlRun& run)
    {
        for (const THtmlPage& page : run.pages) {
            if (!page.written)
                continue;
            pages[page.folder].push_back(&page);
            // Every folder up to the root is in the tree, also those without pages of their own.
            for (std::string folder = page.folder; !folder.empty();) {
                const std::size_t slash = folder.rfind('/');
                std::string parent = slash == std::string::npos ? "" : folder.substr(0, slash);
                auto& siblings = children[parent];
                if (std::find(siblings.begin(), siblings.end(), folder) != siblings.end())
                    break;
                siblings.push_back(folder);
                folder = std::move(parent);
            }
        }
        for (auto& [folder, list] : children)
            std::sort(list.begin(), list.end());
    }

    std::size_t count_below(const std::string& folder) const
    {
        std::size_t count = 0;
        if (const auto own = pages.find(folder); own != pages.end())
            count += own->second.size();
        if (const auto below = children.find(folder); below != children.end())
            for (const std::string& child : below->second)
                count += count_below(child);
        return count;
    }
};

std::string_view last_part(std::string_view folder)
{
    const std::size_t slash = folder.rfind('/');
    return slash == std::string_view::npos ? folder : folder.substr(slash + 1);
}

void append_folder_node(std::string& out, const THtmlRun& run, const TFolderTree& tree,
                        const std::string& folder, int depth, bool listed)
{
    out += "<details class=\"pasta\"";
    if (listed || depth == 0)
        out += " open";
    out += "><summary>";
    append_name(out, last_part(folder));
    out += " <span class=\"caminho\">(";
    append_decimal(out, static_cast<long long>(tree.count_below(folder)));
    out += ")</span> <a class=\"pagina-pasta\" href=\"";
    out += relative_url(kIndexName, folder + "/" + std::string(kIndexName));
    out += "\">pasta</a></summary>\n";
    if (const auto own = tree.pages.find(folder); listed && own != tree.pages.end())
        append_rows(out, run, own->second, kIndexName);
    if (const auto below = tree.children.find(folder); below != tree.children.end())
        for (const std::string& child : below->second)
            append_folder_node(out, run, tree, child, depth + 1, listed);
    out += "</details>\n";
}

void append_graph(std::string& out, std::string_view graph_svg, std::string_view note)
{
    if (graph_svg.empty())
        return;
    out += "<section id=\"grafo\">\n<h2>Depend\xC3\xAAncias</h2>\n<p class=\"legenda\">";
    out += note;
    out += "</p>\n<div class=\"grafo\">";
    // The document's prologue goes; the <svg> element itself is inline markup.
    const std::size_t svg = graph_svg.find("<svg");
    out += svg == std::string_view::npos ? graph_svg : graph_svg.substr(svg);
    out += "</div>\n</section>\n";
}

constexpr std::string_view kGraphNote =
    "Linha cheia: uso na interface; tracejada: uso na implementa\xC3\xA7\xC3\xA3o; em "
    "vermelho, unidades que dependem umas das outras em c\xC3\xAD"
    "rculo.";

}  // namespace

void append_index_page(std::string& out, const THtmlRun& run, std::string_view graph_svg)
{
    const TFolderTree tree(run);
    const std::size_t total = tree.count_below("");
    append_head(out, "", "\xC3\x8Dndice", "indice");
    out += "<h1>\xC3\x8Dndice</h1>\n<span class=\"caminho\">";
    append_decimal(out, static_cast<long long>(total));
    out += total == 1 ? " arquivo" : " arquivos";
    out += "</span>\n<label class=\"filtro\">Filtrar <input id=\"filtro\" type=\"search\" "
           "placeholder=\"parte do caminho\" autocomplete=\"off\"></label>\n"
           "<label class=\"filtro\">Buscar nomes <input id=\"busca\" type=\"search\" "
           "placeholder=\"nome, def:, ref:, unit:\" autocomplete=\"off\"></label>\n"
           "<span id=\"contagem\" class=\"caminho\"></span>\n</header>\n<main>\n"
           "<section id=\"resultados\" hidden><h2>Nomes</h2><div id=\"lista-busca\"></div>"
           "</section>\n<section id=\"arquivos\" hidden><h2>Arquivos</h2>"
           "<div id=\"lista-arquivos\"></div></section>\n";
    append_graph(out, graph_svg, kGraphNote);
    out += "<section id=\"arvore\">\n";
    if (total == 0)
        out += "<p>Nenhum arquivo.</p>\n";
    const bool listed = total <= kListedUpTo;
    if (const auto own = tree.pages.find(""); own != tree.pages.end())
        append_rows(out, run, own->second, kIndexName);
    if (const auto top = tree.children.find(""); top != tree.children.end())
        for (const std::string& folder : top->second)
            append_folder_node(out, run, tree, folder, 0, listed);
    out += "</section>\n</main>\n</body>\n</html>\n";
}

void append_folder_page(std::string& out, const THtmlRun& run, std::string_view folder,
                        std::string_view graph_svg)
{
    const std::string self = std::string(folder) + "/" + std::string(kIndexName);
    const std::string root = relative_url(self, "");
    append_head(out, root, folder, "indice pasta");
    out += "<a class=\"voltar\" href=\"";
    out += relative_url(self, kIndexName);
    out += "\">\xC3\x8Dndice</a>\n<h1>";
    append_name(out, folder);
    out += "</h1>\n</header>\n<main>\n";
    std::vector<const THtmlPage*> pages;
    for (const THtmlPage& page : run.pages)
        if (page.written && page.folder == folder)
            pages.push_back(&page);
    if (!pages.empty())
        append_rows(out, run, pages, self);
    append_graph(out, graph_svg, kGraphNote);
    out += "</main>\n</body>\n</html>\n";
}

void append_head(std::string& out, std::string_view root, std::string_view title,
                 std::string_view body, std::string_view references, std::uint32_t page)
{
    out += "<!DOCTYPE html>\n<html lang=\"pt-BR\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
    append_html_text(out, title, file_name_encoding(title));
    out += " \xE2\x80\x94 Tabulex</title>\n<link rel=\"stylesheet\" href=\"";
    out += root;
    out += kStyleSheetName;
    out += "\">\n<script src=\"";
    out += root;
    out += kScriptName;
    out += "\" defer></script>\n</head>\n<body class=\"";
    out += body;
    out += "\" data-raiz=\"";
    out += root;
    if (!references.empty()) {
        out += "\" data-refs=\"";
        out += root;
        out += references;
        out += "\" data-pagina=\"";
        append_decimal(out, page);
    }
    out += "\">\n<header>\n";
}

}  // namespace tabulex
