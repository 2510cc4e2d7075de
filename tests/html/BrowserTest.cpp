// Loads the pages of a small program in headless Chromium: every source line shows once and in
// order with its anchor, every link (lines, declarations, units, include files, the
// dependency picture) has its target, nothing in a source became an element, the search finds
// a name declared in an include file and a declaration opens its references. Also takes the
// pictures of the index, a page and a page in dark mode that the README shows (written to the
// build folder's screenshots/).
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>

#include "analysis/FileBytes.h"
#include "analysis/ListingBuilder.h"
#include "analysis/SourceEncoding.h"
#include "html/HtmlSite.h"
#include "project/ProjectIndex.h"

namespace fs = std::filesystem;
using namespace tabulex;

namespace {

const char* const kChromium = "/usr/bin/chromium";

// A JavaScript string literal of the text of `bytes` (UTF-8, or Latin-1 for the test's
// Windows-1252 sources, which only use bytes that mean the same in both), every character
// outside plain letters and digits written as \uXXXX.
std::string js_string(std::string_view bytes, SourceEncoding encoding)
{
    std::string out = "\"";
    for (std::size_t i = 0; i < bytes.size();) {
        auto b = static_cast<unsigned char>(bytes[i]);
        char32_t cp = b;
        std::size_t length = 1;
        if (encoding == SourceEncoding::Utf8 && b >= 0xC0) {
            length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
            cp = b & (0x3F >> (length - 1));
            for (std::size_t k = 1; k < length; ++k)
                cp = (cp << 6) | (static_cast<unsigned char>(bytes[i + k]) & 0x3F);
        }
        i += length;
        if ((cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z') || (cp >= '0' && cp <= '9') ||
            cp == ' ') {
            out += static_cast<char>(cp);
            continue;
        }
        char buffer[16];
        if (cp > 0xFFFF)
            std::snprintf(buffer, sizeof buffer, "\\u%04x\\u%04x", 0xD800 + ((cp - 0x10000) >> 10),
                          0xDC00 + ((cp - 0x10000) & 0x3FF));
        else
            std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned>(cp));
        out += buffer;
    }
    return out + "\"";
}

// The check page: loads each page in a frame, compares its lines with the expected ones and
// collects its anchors and links; then tries the index's search and a page's references; the
// verdict ends up in the page's body as "RESULT ok" or the faults.
const char* const kCheckScript = R"js(
var faults = [], anchors = {}, links = [], i = 0;
function frameOf(page, loaded) {
  var frame = document.createElement('iframe');
  frame.onload = function () { loaded(frame); };
  frame.src = page.split('/').map(encodeURIComponent).join('/');
  document.body.appendChild(frame);
}
function collect(doc, page) {
  anchors[page] = {};
  doc.querySelectorAll('[id]').forEach(function (e) { anchors[page][e.id] = true; });
  var folder = page.slice(0, page.lastIndexOf('/') + 1);
  doc.querySelectorAll('main a[href], svg a').forEach(function (a) {
    var href = a.getAttribute('href') || a.getAttribute('xlink:href');
    if (!href || /^https?:/.test(href)) return;
    var at = href.indexOf('#'), file = at < 0 ? href : href.substring(0, at);
    var target = file ? decodeURIComponent(new URL(file, 'http://x/' + folder).pathname.slice(1)) : page;
    links.push([page, target, at < 0 ? '' : href.substring(at + 1)]);
  });
}
function check(frame, page) {
  var doc = frame.contentDocument;
  collect(doc, page);
  if (!expected[page]) return;
  var text = doc.querySelector('pre.listagem').textContent.split('\n');
  text.pop();
  var want = expected[page];
  if (text.length !== want.length) faults.push(page + ': ' + text.length + ' lines, expected ' + want.length);
  for (var n = 0; n < text.length && n < want.length; n++) {
    if (!doc.getElementById('L' + (n + 1))) faults.push(page + ': no anchor L' + (n + 1));
    if (text[n] !== want[n]) faults.push(page + ': line ' + (n + 1) + ' reads ' + JSON.stringify(text[n]));
  }
  if (doc.querySelectorAll('main script, main img, main style, main iframe').length) faults.push(page + ': markup from the source');
}
function tryTheSearch(done) {
  frameOf('index.html', function (frame) {
    var doc = frame.contentDocument, box = doc.getElementById('busca');
    box.value = 'Inclu';
    box.dispatchEvent(new frame.contentWindow.Event('input'));
    setTimeout(function () {
      var found = doc.getElementById('lista-busca').textContent;
      if (found.indexOf('Incluida') < 0) faults.push('the search did not find Incluida: ' + found);
      var nodes = doc.querySelectorAll('#grafo svg a').length;
      if (nodes < units) faults.push('the picture has ' + nodes + ' linked units, expected ' + units);
      done();
    }, 1000);
  });
}
function tryTheReferences(done) {
  frameOf('Exemplo.pas.html', function (frame) {
    var doc = frame.contentDocument, handles = doc.querySelectorAll('pre.listagem a[id^="d"]');
    var total = Array.prototype.find.call(handles, function (a) { return a.textContent === 'FTotal'; });
    (total || handles[0]).click();
    // A line number is the link to its line once pointed at or clicked.
    var number = doc.getElementById('L3');
    number.dispatchEvent(new frame.contentWindow.MouseEvent('mouseover', { bubbles: true }));
    if (number.getAttribute('href') !== '#L3') faults.push('line 3 does not link to itself');
    setTimeout(function () {
      var panel = doc.getElementById('refs');
      if (!panel || panel.querySelectorAll('li').length < 2) faults.push('no references panel');
      else if (panel.textContent.indexOf('Relatorio.pas') < 0) faults.push('the references miss the other unit: ' + panel.textContent);
      else if (!panel.querySelector('.marca.d') || !panel.querySelector('.marca.e') || panel.querySelectorAll('li code').length < 2)
        faults.push('the references miss their marks or lines: ' + panel.innerHTML);
      number.click();
      if (frame.contentWindow.location.hash !== '#L3') faults.push('clicking line 3 gives ' + frame.contentWindow.location.hash);
      done();
    }, 1000);
  });
}
function finish() {
  links.forEach(function (l) {
    if (!anchors[l[1]]) faults.push(l[0] + ': link to missing page ' + l[1]);
    else if (l[2] && !anchors[l[1]][l[2]]) faults.push(l[0] + ': link to ' + l[1] + '#' + l[2] + ' has no anchor');
  });
  document.body.textContent = 'RESULT ' + (faults.length ? faults.join(' | ') : 'ok ' + links.length + ' links');
}
function next() {
  if (i === pages.length) { tryTheSearch(function () { tryTheReferences(finish); }); return; }
  var page = pages[i++];
  frameOf(page, function (frame) { check(frame, page); next(); });
}
next();
)js";

class BrowserTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!fs::exists(kChromium))
            GTEST_SKIP() << "chromium is not installed (scripts/test installs it)";
        dir = fs::temp_directory_path() / ("tabulex_browser_" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "src");
    }
    void TearDown() override
    {
        if (!dir.empty())
            fs::remove_all(dir);
    }

    // Runs headless Chromium with a fresh profile on `url` with extra `flags`; its standard output.
    std::string chromium(const std::string& flags, const std::string& url)
    {
        const fs::path output = dir / "chromium.out";
        const std::string command =
            std::string("timeout 120 ") + kChromium +
            " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
            " --disable-background-networking --disable-component-update --disable-sync"
            " --hide-scrollbars --user-data-dir=" +
            (dir / ("profile" + std::to_string(++runs))).string() + " " + flags + " '" + url +
            "' >" + output.string() + " 2>/dev/null";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        std::ifstream in(output, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    fs::path dir;
    int runs = 0;
};

TEST_F(BrowserTest, PagesLinksSearchAndReferencesWork)
{
    // The samples (a unit and one that uses it), a unit full of markup that uses the first, a
    // Windows-1252 unit, a unit with an include file and code left out, and two units that
    // use each other.
    std::vector<std::pair<std::string, std::string>> sources;
    for (const char* sample : {"Exemplo.pas", "Relatorio.pas"})
        sources.emplace_back(sample,
                             read_file_bytes(std::string(TABULEX_SOURCE_DIR "/samples/") + sample));
    sources.emplace_back(
        "Marcas.pas",
        "unit Marcas;\ninterface\nuses Exemplo;\nconst\n"
        "  A = '</script><script>document.title=1</script>';\n"
        "  B = '<img src=x onerror=alert(1)>'; { <!-- &amp; \"q\" }\n"
        "  C = '<style>body{display:none}</style>'; // <iframe src=x>\n"
        "implementation\nprocedure P;\nbegin\n\tA := B + C; Contador.FTotal := 0;\nend;\nend.");
    sources.emplace_back("Latin.pas", "unit Latin;\r\ninterface\r\nvar Ma\xE7\xE3: Integer; { \xE9 "
                                      "\xA9 }\r\nimplementation\r\nend.\r\n");
    sources.emplace_back("inc/parte.inc", "procedure Incluida;\nbegin\nend;\n");
    sources.emplace_back("Partes.pas", "unit Partes;\ninterface\nimplementation\nuses Ciclo;\n"
                                       "{$IFDEF NUNCA}\nvar Fora: Integer;\n{$ENDIF}\n"
                                       "{$I inc/parte.inc}\nend.\n");
    sources.emplace_back("Ciclo.pas",
                         "unit Ciclo;\ninterface\nimplementation\nuses Partes;\nend.\n");

    TProjectInput input;
    std::string expected = "var units = 6;\nvar expected = {\n";
    std::string pages = "var pages = [";
    for (const auto& [name, bytes] : sources) {
        const fs::path path = dir / "src" / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
        if (!name.ends_with(".inc"))
            input.paths.push_back(path.string());
        const SourceEncoding encoding = detect_source_encoding(bytes);
        expected += js_string(name + ".html", SourceEncoding::Utf8) + ": [\n";
        for (const std::string& line : build_listing(bytes, TListingSettings{}))
            expected += js_string(line, encoding) + ",\n";
        expected += "],\n";
        pages += js_string(name + ".html", SourceEncoding::Utf8) + ", ";
    }
    expected += "};\n";
    pages += "];\n";
    THtmlSite site(std::make_shared<const TProjectIndex>(build_project_index(input, {})),
                   TListingSettings{});
    const fs::path out = dir / "out";
    ASSERT_TRUE(
        site.write(out.string(), 2, [](const std::string& path) { ADD_FAILURE() << path; }));
    std::ofstream(out / "check.html") << "<!DOCTYPE html><meta charset=utf-8><body><script>\n"
                                      << expected << pages << kCheckScript << "</script>\n";

    const std::string dom =
        chromium("--allow-file-access-from-files --virtual-time-budget=30000 --dump-dom",
                 "file://" + (out / "check.html").string());
    const std::size_t verdict = dom.find("RESULT ");
    ASSERT_NE(verdict, std::string::npos) << dom.substr(0, 2000);
    EXPECT_EQ(dom.substr(verdict, 10), "RESULT ok ") << dom.substr(verdict, 4000);

    // Pictures for the README: the index, the page of a unit that uses another, dark mode.
    const fs::path shots = fs::path(TABULEX_BINARY_DIR) / "screenshots";
    fs::create_directories(shots);
    const std::string page = "file://" + (out / "Relatorio.pas.html").string();
    const std::string other = "file://" + (out / "Exemplo.pas.html").string();
    const std::pair<std::string, std::string> pictures[] = {
        {"--window-size=900,420 --screenshot=" + (shots / "html-index.png").string(),
         "file://" + (out / "index.html").string()},
        {"--window-size=900,640 --screenshot=" + (shots / "html-page.png").string(), page},
        {"--force-dark-mode --blink-settings=preferredColorScheme=0 --window-size=900,640 "
         "--screenshot=" +
             (shots / "html-page-dark.png").string(),
         other},
    };
    for (const auto& [flags, url] : pictures)
        chromium(flags, url);
    for (const char* name : {"html-index.png", "html-page.png", "html-page-dark.png"})
        EXPECT_GT(fs::exists(shots / name) ? fs::file_size(shots / name) : 0u, 10000u) << name;
}

}  // namespace
