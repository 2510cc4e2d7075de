#include <algorithm>
#include <map>

#include "analysis/DecimalText.h"
#include "html/HtmlPages.h"
#include "html/HtmlText.h"

namespace tabulex {

namespace {

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

void append_folder(std::string& out, const std::string& folder,
                   std::vector<const THtmlSource*>& sources)
{
    std::sort(sources.begin(), sources.end(),
              [](const THtmlSource* a, const THtmlSource* b) { return a->name < b->name; });
    out += "<section class=\"pasta\">\n<h2>";
    append_name(out, folder);
    out += "</h2>\n<table>\n<thead><tr><th>Arquivo</th><th class=\"num\">Linhas</th>"
           "<th class=\"num\">Rotinas</th><th class=\"num\">Nomes "
           "declarados</th></tr></thead>\n<tbody>\n";
    for (const THtmlSource* source : sources) {
        out += "<tr class=\"item\"><td><a href=\"";
        append_url_path(out, source->page);
        out += "\">";
        append_name(out, source->name);
        out += "</a></td>";
        append_count(out, source->lines);
        append_count(out, source->routines);
        append_count(out, source->names);
        out += "</tr>\n";
    }
    out += "</tbody>\n</table>\n</section>\n";
}

}  // namespace

void append_index_page(std::string& out, const std::vector<const THtmlSource*>& sources)
{
    std::map<std::string, std::vector<const THtmlSource*>> folders;
    for (const THtmlSource* source : sources)
        folders[source->folder].push_back(source);

    out +=
        "<!DOCTYPE html>\n<html lang=\"pt-BR\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        "<title>\xC3\x8Dndice \xE2\x80\x94 Tabulex</title>\n<link rel=\"stylesheet\" "
        "href=\"tabulex.css\">\n"
        "<script src=\"tabulex.js\" defer></script>\n</head>\n<body class=\"indice\">\n<header>\n"
        "<h1>\xC3\x8Dndice</h1>\n<span class=\"caminho\">";
    append_decimal(out, static_cast<long long>(sources.size()));
    out += sources.size() == 1 ? " arquivo" : " arquivos";
    out += "</span>\n<label class=\"filtro\">Filtrar <input id=\"filtro\" type=\"search\" "
           "placeholder=\"nome do arquivo ou pasta\" autocomplete=\"off\"></label>\n"
           "<span id=\"contagem\" class=\"caminho\"></span>\n</header>\n<main>\n";
    if (sources.empty())
        out += "<p>Nenhum arquivo.</p>\n";
    for (auto& [folder, members] : folders)
        append_folder(out, folder, members);
    out += "</main>\n</body>\n</html>\n";
}

}  // namespace tabulex
