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
  --ligacao: #0b57d0; --inativo: #a0a4a8;
}
@media (prefers-color-scheme: dark) {
  :root {
    --fundo: #1b1d21; --texto: #d7dae0; --borda: #3a3f47; --realce: #4a4320; --cabecalho: #24272c;
    --numero: #6e7681; --prefixo: #e3a04f; --fim: #e3a04f; --reservada: #82aaff;
    --comentario: #8b949e; --cadeia: #f49a87; --numeral: #7fd6b0; --diretiva: #d2a8ff;
    --ligacao: #8ab4f8; --inativo: #5c6168;
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
pre.listagem .b { display: block; content-visibility: auto; contain-intrinsic-size: auto 4500px; }
pre.listagem a[id]:target { background: var(--realce); }
pre.listagem a[id^="L"] { scroll-margin-top: 6em; }
section[id] { scroll-margin-top: 5em; }
pre a { color: inherit; text-decoration: none; }
/* The listing's links: a name's use links to its declaration, in this page ("#L...") or in
   another (italic); a declaration ("d..." anchor, or class n where it is repeated) opens its
   references; a line number is its line's anchor. */
pre.listagem a[href] { text-decoration: underline dotted var(--numero); }
pre.listagem a[href]:not([href^="#"]) { font-style: italic; }
pre.listagem a.n, pre.listagem a[id^="d"] { text-decoration: underline solid var(--borda); cursor: pointer; }
pre.listagem a[id^="L"] { color: var(--numero); text-decoration: none; cursor: pointer; }
pre.listagem a.e[href], pre.listagem a.d[href] { text-decoration: none; font-style: normal; }
pre a:hover, pre.listagem a[href]:hover { text-decoration: underline; }
pre.listagem s { color: var(--prefixo); text-decoration: none; }
a.e, .e { color: var(--fim); }
pre b { color: var(--reservada); }
pre i { color: var(--comentario); }
pre.listagem q { color: var(--cadeia); quotes: none; }
pre.listagem q::before, pre.listagem q::after { content: none; }
pre.listagem u { color: var(--numeral); text-decoration: none; }
pre.listagem em, pre.listagem a.d { color: var(--diretiva); font-style: normal; }
.z, .z * { color: var(--inativo) !important; font-weight: normal; }
pre.lista a { color: var(--ligacao); text-decoration: underline; }
.relacao { width: 100%; margin: 0; font-size: .9em; }
.relacao a { margin-left: .4em; }
table { border-collapse: collapse; margin-bottom: .5em; }
th, td { text-align: left; padding: .15em .8em; border-bottom: 1px solid var(--borda); }
.num { text-align: right; font-variant-numeric: tabular-nums; }
.tipo, .legenda { color: var(--numero); font-size: .85em; }
details.pasta { margin: .2em 0 .2em 1em; }
details.pasta > summary { cursor: pointer; font-weight: 600; }
details.pasta > summary a { font-weight: normal; font-size: .85em; }
.grafo { overflow: auto; max-height: 80vh; border: 1px solid var(--borda); background: #fff; }
.grafo svg { display: block; }
#refs { position: fixed; top: 0; right: 0; bottom: 0; width: min(40em, 90vw); z-index: 2;
  overflow: auto; padding: .6em 1em; background: var(--cabecalho); border-left: 1px solid var(--borda);
  box-shadow: -2px 0 8px rgba(0,0,0,.2); }
#refs h2 { margin-top: 0; }
#refs h3 { font-size: .95em; margin: .8em 0 .2em; }
#refs ul { list-style: none; margin: 0; padding: 0; }
#refs li { white-space: nowrap; overflow: hidden; text-overflow: ellipsis; }
#refs code { font-size: 12px; }
#refs .marca { display: inline-block; width: 1.4em; text-align: center; color: var(--numero); }
#refs .marca.e { color: var(--cadeia); font-weight: 700; }
#refs button { float: right; }
#lista-busca div { margin: .15em 0; }
[hidden] { display: none !important; }
)css";

// Plain script, no outside resources: the index's filter box and each page's go-to-line box.
constexpr std::string_view kScript = R"js((function () {
  'use strict';
  var TX = window.TX = {};
  var root = document.body.getAttribute('data-raiz') || '';
  var shards = {}, pages = null;  // the search's data and every page's path, once loaded

  // Data scripts call back into TX; each is loaded once, when first needed (a <script>
  // element, which works from file:// too).
  var loading = {};
  function load(path, done) {
    if (loading[path] === true) { done(); return; }
    if (loading[path]) { loading[path].push(done); return; }
    loading[path] = [done];
    var script = document.createElement('script');
    script.src = root + path;
    script.onload = function () { var w = loading[path]; loading[path] = true; w.forEach(function (f) { f(); }); };
    script.onerror = function () { var w = loading[path]; loading[path] = true; w.forEach(function (f) { f(); }); };
    document.head.appendChild(script);
  }
  function element(tag, attributes, text) {
    var e = document.createElement(tag);
    Object.keys(attributes || {}).forEach(function (k) { e.setAttribute(k, attributes[k]); });
    if (text !== undefined) e.textContent = text;
    return e;
  }
  function baseName(path) { return path.slice(path.lastIndexOf('/') + 1).replace(/\.html$/, ''); }
  function urlOf(path) { return root + path.split('/').map(encodeURIComponent).join('/'); }

  // --- index: the folder filter -------------------------------------------------------
  // A small index lists every file and the filter hides what does not match; a large one
  // lists the folders only, and the filter finds the files among every page's path.
  function setUpFilter() {
    var box = document.getElementById('filtro');
    if (!box) return;
    var counter = document.getElementById('contagem');
    var rows = Array.prototype.slice.call(document.querySelectorAll('tr.item'));
    var folders = Array.prototype.slice.call(document.querySelectorAll('details.pasta'));
    var tree = document.getElementById('arvore');
    var found = document.getElementById('arquivos');
    var paths = rows.map(function (row) { return (row.getAttribute('data-c') || '').toLowerCase(); });
    var listed = rows.length > 0 || folders.length === 0;
    function words() { return box.value.toLowerCase().split(/\s+/).filter(function (w) { return w; }); }
    function filterRows(w) {
      var shown = 0;
      rows.forEach(function (row, i) {
        var match = w.every(function (x) { return paths[i].indexOf(x) >= 0; });
        row.hidden = !match;
        if (match) shown++;
      });
      folders.forEach(function (folder) {
        var any = folder.querySelector('tr.item:not([hidden])') !== null;
        folder.hidden = !any;
        if (w.length) folder.open = any;
      });
      return shown;
    }
    function filterPaths(w) {
      var list = document.getElementById('lista-arquivos');
      list.textContent = '';
      found.hidden = w.length === 0;
      tree.hidden = w.length > 0;
      if (!w.length) return 0;
      var shown = 0;
      (pages || []).forEach(function (path) {
        var lower = path.toLowerCase();
        if (!w.every(function (x) { return lower.indexOf(x) >= 0; })) return;
        if (++shown > 500) return;
        var row = element('div');
        row.appendChild(element('a', { href: urlOf(path) }, path.replace(/\.html$/, '')));
        list.appendChild(row);
      });
      return shown;
    }
    function apply() {
      var w = words();
      var shown = listed ? filterRows(w) : filterPaths(w);
      if (counter) counter.textContent = w.length ? shown + ' encontrado(s)' : '';
    }
    box.addEventListener('input', function () {
      if (listed) apply();
      else load('tabulex-dados/paginas.js', apply);
    });
    if (box.value) box.dispatchEvent(new Event('input'));
  }

  // --- index: the search over declared names ---------------------------------------------
  // A bucket's kinds come as numbers into its list of kind names.
  TX.b = function (key, kinds, entries) {
    entries.forEach(function (e) { e[1] = kinds[e[1]]; });
    shards[key] = entries;
  };
  TX.p = function (list) { pages = list; };
  function keyOf(text) {
    var key = '';
    for (var i = 0; i < 2; i++) {
      var c = i < text.length ? text.charAt(i).toLowerCase() : '~';
      key += /[a-z0-9_]/.test(c) ? c : '~';
    }
    return key;
  }
  function setUpSearch() {
    var box = document.getElementById('busca');
    if (!box) return;
    var section = document.getElementById('resultados');
    var list = document.getElementById('lista-busca');
    function show() {
      var query = box.value.trim();
      var mode = '';
      var m = /^(def|ref|unit):\s*(.*)$/i.exec(query);
      if (m) { mode = m[1].toLowerCase(); query = m[2]; }
      list.textContent = '';
      section.hidden = query === '';
      if (query === '') return;
      var keys = query.length === 1 ? [keyOf(query)].concat('abcdefghijklmnopqrstuvwxyz0123456789_'
        .split('').map(function (c) { return keyOf(query + c); })) : [keyOf(query)];
      var pending = keys.length + 1;
      function ready() {
        if (--pending > 0) return;
        var q = query.toLowerCase();
        var found = [];
        keys.forEach(function (k) {
          (shards[k] || []).forEach(function (e) {
            var name = e[0].toLowerCase();
            if (mode === 'def' ? name !== q : name.indexOf(q) !== 0) return;
            if (mode === 'ref' && e[4] === 0) return;
            if (mode === 'unit' && !/^(unidade|programa|biblioteca)$/.test(e[1])) return;
            found.push(e);
          });
        });
        found.sort(function (a, b) {
          var ea = a[0].toLowerCase() === q, eb = b[0].toLowerCase() === q;
          if (ea !== eb) return ea ? -1 : 1;
          return b[4] - a[4] || (a[0] < b[0] ? -1 : a[0] > b[0] ? 1 : 0);
        });
        if (document.getElementById('contagem'))
          document.getElementById('contagem').textContent = found.length + ' nome(s)';
        found.slice(0, 300).forEach(function (e) {
          var path = pages[e[2]];
          var row = element('div');
          var target = urlOf(path) + (mode === 'ref' ? '#d' + e[5] : '#L' + e[3]);
          row.appendChild(element('a', { href: target }, e[0]));
          row.appendChild(document.createTextNode(' ' + e[1] + ' \u2014 ' + path.replace(/\.html$/, '') +
            ':' + e[3] + ' \u2014 '));
          row.appendChild(element('a', { href: urlOf(path) + '#d' + e[5] }, e[4] + ' refer\u00eancia(s)'));
          list.appendChild(row);
        });
        if (found.length === 0) list.appendChild(element('div', {}, 'Nenhum nome encontrado.'));
      }
      load('tabulex-dados/paginas.js', ready);
      keys.forEach(function (k) { load('tabulex-dados/b-' + k + '.js', ready); });
    }
    box.addEventListener('input', show);
    show();
  }

  // --- pages: go to a line --------------------------------------------------------------
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

  // --- pages: the references of a declaration -------------------------------------------
  // A references script holds those of several pages; this page keeps its own, each
  // declaration's references read out of their string ("page:line" where the page changes,
  // else the distance from the line before; "e" after a write, "d" after a declaration) into
  // [page, line, mark] entries.
  var refs = null;
  TX.r = function (kinds, pagesData) {
    var data = pagesData[document.body.getAttribute('data-pagina')];
    if (!data) return;
    Object.keys(data.d).forEach(function (id) {
      var entry = data.d[id], list = [], page = 0, line = 0;
      entry[1] = kinds[entry[1]];
      (entry[2] ? entry[2].split(',') : []).forEach(function (item) {
        var m = /^(?:(\d+):)?(\d+)([ed]?)$/.exec(item);
        if (!m) return;
        if (m[1] !== undefined) { page = +m[1]; line = +m[2]; } else line += +m[2];
        list.push([page, line, m[3] || 'l']);
      });
      entry[2] = list;
    });
    refs = data;
  };
  // The text of line `number` of this page, as the listing shows it after its prefix.
  function ownLine(number) {
    var anchor = document.getElementById('L' + number);
    if (!anchor) return '';
    var text = '';
    var node = anchor.nextSibling;
    // The level prefix is not part of the source text.
    while (node && (node.nodeType === 3 ? /^ *$/.test(node.textContent) : node.nodeName === 'S'))
      node = node.nextSibling;
    for (; node; node = node.nextSibling) {
      var t = node.textContent;
      var end = t.indexOf('\n');
      if (end >= 0) { text += t.slice(0, end); break; }
      text += t;
    }
    return text.replace(/^\s+/, '');
  }
  function showReferences(id) {
    var entry = refs && refs.d[id];
    var panel = document.getElementById('refs');
    if (!panel) {
      panel = element('aside', { id: 'refs' });
      document.body.appendChild(panel);
    }
    panel.textContent = '';
    var close = element('button', { type: 'button' }, 'Fechar');
    close.addEventListener('click', function () { panel.hidden = true; });
    panel.appendChild(close);
    panel.hidden = false;
    if (!entry) { panel.appendChild(element('p', {}, 'Nenhuma refer\u00eancia.')); return; }
    var uses = entry[2].filter(function (r) { return r[2] !== 'd'; });
    panel.appendChild(element('h2', {}, 'Refer\u00eancias de ' + entry[0]));
    panel.appendChild(element('p', { 'class': 'tipo' }, entry[1] + ' \u2014 ' + uses.length +
      ' uso(s)'));
    var groups = {};
    var order = [];
    entry[2].forEach(function (r) {
      if (!groups[r[0]]) { groups[r[0]] = []; order.push(r[0]); }
      groups[r[0]].push(r);
    });
    order.forEach(function (page) {
      var path = refs.p[page];
      panel.appendChild(element('h3', {}, baseName(path) + ' (' + groups[page].length + ')'));
      var list = element('ul');
      groups[page].forEach(function (r) {
        var item = element('li');
        var mark = r[2] === 'e' ? 'e' : r[2] === 'd' ? 'd' : 'l';
        item.appendChild(element('span', { 'class': 'marca ' + mark,
          title: mark === 'e' ? 'escrita' : mark === 'd' ? 'declara\u00e7\u00e3o' : 'leitura' },
          mark === 'e' ? 'E' : mark === 'd' ? 'D' : 'L'));
        item.appendChild(element('a', { href: (page === 0 ? '' : urlOf(path)) + '#L' + r[1] },
          String(r[1])));
        var text = page === 0 ? ownLine(r[1]) : refs.t[page + ':' + r[1]];
        if (text) { item.appendChild(document.createTextNode(' ')); item.appendChild(element('code', {}, text)); }
        list.appendChild(item);
      });
      panel.appendChild(list);
    });
  }
  function openReferences(id) {
    var data = document.body.getAttribute('data-refs');
    if (!data) return;
    load(data.slice(root.length), function () { showReferences(id); });
  }
  // The listing's anchors carry no href: a line number ("L<n>") and a declaration ("d<id>")
  // become links to themselves when pointed at, focused or clicked, so that they show, copy
  // and open like any link.
  function anchorOf(target) {
    var link = target.closest ? target.closest('pre.listagem a[id]') : null;
    return link && /^[Ld]\d+$/.test(link.id) ? link : null;
  }
  function linkAnchor(event) {
    var link = anchorOf(event.target);
    if (link && !link.hasAttribute('href')) link.setAttribute('href', '#' + link.id);
  }
  function setUpAnchors() {
    document.addEventListener('mouseover', linkAnchor);
    document.addEventListener('focusin', linkAnchor);
    document.addEventListener('click', function (event) {
      var link = anchorOf(event.target);
      if (!link || link.id.charAt(0) !== 'L' || link.hasAttribute('href')) return;
      link.setAttribute('href', '#' + link.id);
      event.preventDefault();
      location.hash = link.id;
    });
  }
  // The handle of a declaration's references: its anchor, or a repetition (class n) linking
  // to it.
  function handleOf(target) {
    var link = target.closest ? target.closest('pre.listagem a') : null;
    if (!link) return null;
    if (/^d\d+$/.test(link.id)) return link.id.slice(1);
    var m = link.classList.contains('n') ? /^#d(\d+)$/.exec(link.getAttribute('href') || '') : null;
    return m ? m[1] : null;
  }
  function setUpReferences() {
    if (!document.body.getAttribute('data-refs')) return;
    document.addEventListener('click', function (event) {
      var id = handleOf(event.target);
      if (id === null) return;
      if (location.hash !== '#d' + id) history.replaceState(null, '', '#d' + id);
      event.preventDefault();
      openReferences(id);
    });
    document.addEventListener('keydown', function (event) {
      var panel = document.getElementById('refs');
      if (event.key === 'Escape' && panel) panel.hidden = true;
    });
    var m = /^#d(\d+)$/.exec(location.hash);
    if (m) openReferences(m[1]);
  }

  setUpFilter();
  setUpSearch();
  setUpGoToLine();
  setUpAnchors();
  setUpReferences();
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
