#include "html/HtmlPages.h"

namespace tabulex {

namespace {

// One style sheet for every page: monospaced listings that scroll sideways instead of
// wrapping, token colours for light and dark schemes.
constexpr std::string_view kStyleSheet = R"css(:root {
  color-scheme: light dark;
  --fundo: #fbfbf8; --texto: #1f2328; --borda: #d0d7de; --realce: #fff3b8; --cabecalho: #f0f1ee;
  --numero: #8c959f; --prefixo: #b35900; --fim: #b35900; --reservada: #0b3fa8;
  --comentario: #5f6b76; --cadeia: #a31515; --numeral: #07796b; --diretiva: #7d3fb5;
  --ligacao: #0b57d0;
}
@media (prefers-color-scheme: dark) {
  :root {
    --fundo: #1b1d21; --texto: #d7dae0; --borda: #3a3f47; --realce: #4a4320; --cabecalho: #24272c;
    --numero: #6e7681; --prefixo: #e3a04f; --fim: #e3a04f; --reservada: #82aaff;
    --comentario: #8b949e; --cadeia: #f49a87; --numeral: #7fd6b0; --diretiva: #d2a8ff;
    --ligacao: #8ab4f8;
  }
}
* { box-sizing: border-box; }
body { margin: 0; background: var(--fundo); color: var(--texto);
  font: 15px/1.4 system-ui, sans-serif; }
header { position: sticky; top: 0; z-index: 1; display: flex; flex-wrap: wrap; align-items: baseline;
  gap: .4em 1.2em; padding: .5em 1em; background: var(--cabecalho); border-bottom: 1px solid var(--borda); }
header h1 { font-size: 1.2em; margin: 0; }
header nav a, header a.voltar { margin-right: .8em; }
.caminho { color: var(--numero); font-size: .9em; overflow-wrap: anywhere; }
main { padding: .5em 1em 2em; }
h2 { font-size: 1.05em; margin: 1.2em 0 .4em; }
a { color: var(--ligacao); }
input { font: inherit; }
pre, code { font-family: "DejaVu Sans Mono", "Liberation Mono", Menlo, Consolas, monospace; font-size: 13px; }
pre { margin: 0; padding: .4em 0; overflow-x: auto; white-space: pre; tab-size: 8; line-height: 1.35;
  border: 1px solid var(--borda); background: var(--fundo); }
pre.listagem > span { display: inline-block; min-width: 100%; padding-right: 1em; scroll-margin-top: 6em; }
pre.listagem > span:target { background: var(--realce); }
section[id] { scroll-margin-top: 5em; }
pre a { color: inherit; text-decoration: none; }
pre a:hover { text-decoration: underline; }
pre a.v, pre a.x { text-decoration: underline dotted var(--numero); }
pre a.x { font-style: italic; }
pre.listagem > span > a:first-child:not([class]) { color: var(--numero); }
.p { color: var(--prefixo); }
a.e, .e { color: var(--fim); }
pre b { color: var(--reservada); }
pre i { color: var(--comentario); }
.s { color: var(--cadeia); }
.m { color: var(--numeral); }
.d { color: var(--diretiva); }
pre.lista a { color: var(--ligacao); text-decoration: underline; }
table { border-collapse: collapse; margin-bottom: .5em; }
th, td { text-align: left; padding: .15em .8em; border-bottom: 1px solid var(--borda); }
.num { text-align: right; font-variant-numeric: tabular-nums; }
[hidden] { display: none !important; }
)css";

// Plain script, no outside resources: the index's filter box and each page's go-to-line box.
constexpr std::string_view kScript = R"js((function () {
  'use strict';

  function setUpFilter() {
    var box = document.getElementById('filtro');
    if (!box) return;
    var counter = document.getElementById('contagem');
    var folders = Array.prototype.slice.call(document.querySelectorAll('section.pasta'));
    var rows = folders.map(function (folder) {
      var name = folder.querySelector('h2').textContent.toLowerCase();
      return Array.prototype.slice.call(folder.querySelectorAll('tr.item')).map(function (row) {
        return { row: row, text: name + '/' + row.cells[0].textContent.toLowerCase() };
      });
    });
    function apply() {
      var words = box.value.toLowerCase().split(/\s+/).filter(function (w) { return w; });
      var shown = 0;
      folders.forEach(function (folder, i) {
        var any = false;
        rows[i].forEach(function (entry) {
          var match = words.every(function (w) { return entry.text.indexOf(w) >= 0; });
          entry.row.hidden = !match;
          if (match) { any = true; shown++; }
        });
        folder.hidden = !any;
      });
      if (counter) counter.textContent = words.length ? shown + ' encontrado(s)' : '';
    }
    box.addEventListener('input', apply);
    apply();
  }

  function setUpGoToLine() {
    var form = document.getElementById('ir');
    var box = document.getElementById('linha');
    if (!form || !box) return;
    form.addEventListener('submit', function (event) {
      event.preventDefault();
      var number = parseInt(box.value, 10);
      if (isNaN(number)) return;
      var last = parseInt(box.max, 10) || 1;
      number = Math.min(Math.max(number, 1), last);
      box.value = number;
      var line = document.getElementById('L' + number);
      if (!line) return;
      if (location.hash === '#L' + number) line.scrollIntoView();
      else location.hash = 'L' + number;
    });
    document.addEventListener('keydown', function (event) {
      if ((event.ctrlKey || event.metaKey) && (event.key === 'g' || event.key === 'G')) {
        event.preventDefault();
        box.focus();
        box.select();
      }
    });
  }

  setUpFilter();
  setUpGoToLine();
})();
)js";

}  // namespace

std::string_view style_sheet()
{
    return kStyleSheet;
}
std::string_view page_script()
{
    return kScript;
}

}  // namespace tabulex
