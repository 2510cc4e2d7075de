// Loads the pages of a small run in headless Chromium: every source line shows once and in
// order with its anchor, every line link has its target, and nothing in a source became an
// element. Also takes the pictures of the index, a page and a page in dark mode that the
// README shows (written to the build folder's screenshots/).
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
// follows its line links; the verdict ends up in the page's body as "RESULT ok" or the faults.
const char* const kCheckScript = R"js(
var faults = [], anchors = {}, links = [], i = 0;
function check(frame, page) {
  var doc = frame.contentDocument;
  var lines = doc.querySelectorAll('pre.listagem > span');
  var want = expected[page];
  if (lines.length !== want.length) faults.push(page + ': ' + lines.length + ' lines, expected ' + want.length);
  anchors[page] = {};
  for (var n = 0; n < lines.length; n++) {
    if (lines[n].id !== 'L' + (n + 1)) faults.push(page + ': line ' + (n + 1) + ' has id ' + lines[n].id);
    if (n < want.length && lines[n].textContent !== want[n]) faults.push(page + ': line ' + (n + 1) + ' reads ' + JSON.stringify(lines[n].textContent));
  }
  doc.querySelectorAll('[id]').forEach(function (e) { anchors[page][e.id] = true; });
  doc.querySelectorAll('a[href*="#L"]').forEach(function (a) {
    var href = a.getAttribute('href'), at = href.indexOf('#');
    links.push([page, decodeURIComponent(href.substring(0, at)) || page, href.substring(at + 1)]);
  });
  if (doc.querySelectorAll('main script, main img, main style, main iframe').length) faults.push(page + ': markup from the source');
}
function next() {
  if (i === pages.length) {
    links.forEach(function (l) {
      if (!anchors[l[1]] || !anchors[l[1]][l[2]]) faults.push(l[0] + ': link to ' + l[1] + '#' + l[2] + ' has no anchor');
    });
    document.body.textContent = 'RESULT ' + (faults.length ? faults.join(' | ') : 'ok ' + links.length + ' links');
    return;
  }
  var frame = document.createElement('iframe');
  var page = pages[i++];
  frame.onload = function () { check(frame, page); next(); };
  frame.src = encodeURIComponent(page);
  document.body.appendChild(frame);
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

TEST_F(BrowserTest, PagesShowEveryLineAndEveryLinkHasItsAnchor)
{
    // The samples (a unit and one that uses it), a unit full of markup, a Windows-1252 unit.
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

    THtmlSite site{TListingSettings{}};
    std::string expected = "var expected = {\n";
    std::string pages = "var pages = [";
    for (const auto& [name, bytes] : sources) {
        const fs::path path = dir / "src" / name;
        std::ofstream(path, std::ios::binary) << bytes;
        site.add(path.string());
        const SourceEncoding encoding = detect_source_encoding(bytes);
        expected += js_string(name + ".html", SourceEncoding::Utf8) + ": [\n";
        for (const std::string& line : build_listing(bytes, TListingSettings{}))
            expected += js_string(line, encoding) + ",\n";
        expected += "],\n";
        pages += js_string(name + ".html", SourceEncoding::Utf8) + ", ";
    }
    expected += "};\n";
    pages += "];\n";
    const fs::path out = dir / "out";
    ASSERT_TRUE(site.write(out.string(), [](const std::string& path) { ADD_FAILURE() << path; }));
    std::ofstream(out / "check.html") << "<!DOCTYPE html><meta charset=utf-8><body><script>\n"
                                      << expected << pages << kCheckScript << "</script>\n";

    const std::string dom =
        chromium("--allow-file-access-from-files --virtual-time-budget=20000 --dump-dom",
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
