#include <atomic>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>

#include "SourceLines.h"
#include "analysis/ParallelFor.h"
#include "html/HtmlSite.h"
#include "html/HtmlText.h"
#include "project/ProjectIndex.h"

namespace fs = std::filesystem;
using namespace tabulex;
using tabulex::testing::source;

namespace {

std::string slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class HtmlSiteTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("tabulex_html_" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "src");
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string put(const std::string& name, const std::string& bytes)
    {
        const fs::path path = dir / "src" / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }
    // Writes the edition of `paths`, read as one program, into dir/out and returns the
    // failures reported.
    std::vector<std::string> build(const std::vector<std::string>& paths,
                                   const TListingSettings& settings = {}, bool keep = false)
    {
        TProjectInput input{paths};
        THtmlSite site(std::make_shared<const TProjectIndex>(build_project_index(input, {})),
                       settings);
        site.setKeepEarlierPages(keep);
        std::vector<std::string> failures;
        site.write((dir / "out").string(), 2,
                   [&](const std::string& path) { failures.push_back(path); });
        return failures;
    }
    std::string page(const std::string& name) { return slurp(dir / "out" / name); }

    fs::path dir;
};

// The references script a page loads, below the output folder.
std::string references_script_of(const std::string& page)
{
    const std::string attribute = "data-refs=\"";
    const std::size_t at = page.find(attribute);
    if (at == std::string::npos)
        return {};
    const std::size_t start = at + attribute.size();
    return page.substr(start, page.find('"', start) - start);
}

// The part of a page after its header: what comes from the source.
std::string body(const std::string& page)
{
    return page.substr(page.find("<main>"));
}

// The listing line with anchor L<n>, markup included, up to its line end.
std::string line(const std::string& page, int n)
{
    const std::size_t at = page.find("<a id=L" + std::to_string(n) + ">");
    if (at == std::string::npos)
        return {};
    return page.substr(at, page.find('\n', at) - at);
}

// A call that fails on one of the threads (memory running out, as a rule) reaches the caller
// instead of ending the program, after every thread has stopped.
TEST(ParallelFor, AFailureOnAThreadReachesTheCaller)
{
    std::atomic<int> done{0};
    EXPECT_THROW(parallel_for(1000, 2,
                              [&](std::size_t i) {
                                  if (i == 500)
                                      throw std::bad_alloc();
                                  ++done;
                              }),
                 std::bad_alloc);
    EXPECT_LT(done.load(), 1000);
}

TEST(HtmlText, EscapesMarkupAndConvertsWindows1252)
{
    std::string out;
    append_html_text(out, "<img src=x onerror=\"alert('x')\"> & </script> <!--",
                     SourceEncoding::Windows1252);
    EXPECT_EQ(
        out,
        "&lt;img src=x onerror=&quot;alert(&#39;x&#39;)&quot;&gt; &amp; &lt;/script&gt; &lt;!--");

    out.clear();
    append_html_text(out, "a\xE9\x80\x81", SourceEncoding::Windows1252);
    EXPECT_EQ(out, "a\xC3\xA9\xE2\x82\xAC\xC2\x81");  // é, €, and the undefined 0x81 kept as U+0081
    out.clear();
    append_html_text(out, "caf\xC3\xA9 <", SourceEncoding::Utf8);
    EXPECT_EQ(out, "caf\xC3\xA9 &lt;");

    out.clear();
    append_url_path(out, "a b#c?.pas.html");
    EXPECT_EQ(out, "a%20b%23c%3F.pas.html");

    // Script strings: nothing ends the string or the script, Windows-1252 becomes UTF-8.
    out.clear();
    append_js_string(out, "\"\\</script>\n\xE9", SourceEncoding::Windows1252);
    EXPECT_EQ(out, "\\\"\\\\\\u003c/script>\\u000a\xC3\xA9");
    EXPECT_EQ(relative_url("a/b/x.html", "a/c/y z.html"), "../c/y%20z.html");
    EXPECT_EQ(relative_url("x.html", "a/y.html"), "a/y.html");
    EXPECT_EQ(relative_url("a/x.html", ""), "../");
}

TEST_F(HtmlSiteTest, SourceTextNeverBecomesMarkup)
{
    const std::string path = put(
        "evil.pas", source({
                        "unit evil;",
                        "interface",
                        "const A = '</script><script>alert(1)</script>';",
                        "  B = '<img src=x onerror=alert(2)>'; { <!-- &amp; \"q\" } // <b>x</b>",
                        "implementation",
                        "end.",
                    }));
    ASSERT_TRUE(build({path}).empty());
    const std::string text = body(page("evil.pas.html"));
    for (const char* raw : {"<script", "</script", "<img", "<!--", "<b>x"})
        EXPECT_EQ(text.find(raw), std::string::npos) << raw;
    EXPECT_EQ(std::count(text.begin(), text.end(), '<'), std::count(text.begin(), text.end(), '>'));
    EXPECT_NE(text.find("&lt;/script&gt;&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
    EXPECT_NE(text.find("&lt;img src=x onerror=alert(2)&gt;"), std::string::npos);
    EXPECT_NE(text.find("&lt;!-- &amp;amp; \"q\""), std::string::npos);
}

TEST_F(HtmlSiteTest, LinesAnchorsAndLinksAcrossUnits)
{
    const std::string a = put("Contas.pas", source({
                                                "unit Contas;",       // 1
                                                "interface",          // 2
                                                "var",                // 3
                                                "  Total: Integer;",  // 4
                                                "  Saldo: Integer;",  // 5
                                                "implementation",     // 6
                                                "end.",               // 7
                                            }));
    const std::string b = put("Uso.pas", source({
                                             "unit Uso;",                  // 1
                                             "interface",                  // 2
                                             "uses contas;",               // 3
                                             "implementation",             // 4
                                             "var Saldo: Integer;",        // 5
                                             "procedure P;",               // 6
                                             "begin",                      // 7
                                             "  if Total > 0 then begin",  // 8
                                             "    SALDO := total;",        // 9
                                             "  end;",                     // 10
                                             "end;",                       // 11
                                             "end.",                       // 12
                                         }));
    ASSERT_TRUE(build({a, b}).empty());
    const std::string uso = page("Uso.pas.html");

    // One anchored line per source line, the anchor on its number.
    for (int n = 1; n <= 12; ++n)
        EXPECT_EQ(line(uso, n).find("<a id=L" + std::to_string(n) + (n < 10 ? ">000" : ">00") +
                                    std::to_string(n) + "</a>"),
                  0u)
            << n;
    EXPECT_EQ(line(uso, 13), "");

    // End references; names declared here are the handles of their references; uses link to
    // their declaration, in this page or in the unit that declares them.
    EXPECT_NE(line(uso, 10).find("<a class=e href=#L8> ///-8-///</a>"), std::string::npos);
    EXPECT_NE(line(uso, 9).find("<a href=#L5>SALDO</a>"), std::string::npos);
    EXPECT_NE(line(uso, 9).find("<a href=Contas.pas.html#L4>total</a>"), std::string::npos);
    EXPECT_NE(line(uso, 5).find("<a id=d"), std::string::npos);

    // The lists: line numbers and used units are links.
    EXPECT_NE(uso.find("Saldo : Integer D(<a href=#L5>0005</a>)"), std::string::npos);
    EXPECT_NE(uso.find("=(<a href=#L9>0009</a>)"), std::string::npos);
    EXPECT_NE(uso.find("<a href=#L6>0006</a> : procedure P"), std::string::npos);
    EXPECT_NE(uso.find("<a class=u href=Contas.pas.html>contas</a>"), std::string::npos);

    // The used unit says who uses it, and its references come with the other unit's lines.
    EXPECT_NE(page("Contas.pas.html").find("Usada por: <a href=\"Uso.pas.html\">Uso.pas</a>"),
              std::string::npos);
    // Both pages' references share a script: Total is declared in Contas (page 0, first in
    // its own list of pages) and read twice in Uso.
    const std::string script = references_script_of(page("Contas.pas.html"));
    EXPECT_EQ(references_script_of(uso), script);
    const std::string refs = slurp(dir / "out" / script);
    EXPECT_NE(refs.find("[\"Total\",6,\"0:4d,1:8,1\"]"), std::string::npos) << refs;
    EXPECT_NE(refs.find("\"1:9\":\"SALDO := total;\""), std::string::npos) << refs;
    EXPECT_NE(refs.find("\n1:{p:[\"Uso.pas.html\""), std::string::npos) << refs;

    // Every in-page line link has its anchor.
    const std::string href = "href=#L";
    for (std::size_t at = uso.find(href); at != std::string::npos; at = uso.find(href, at + 1)) {
        const std::size_t digits = at + href.size();
        const std::size_t end = uso.find('>', digits);
        ASSERT_NE(end, std::string::npos);
        EXPECT_NE(uso.find("id=L" + uso.substr(digits, end - digits) + ">"), std::string::npos)
            << uso.substr(at, end - at);
    }
}

// An include file has a page of its own that the including line links to and that names
// its includer; code left out by conditional compilation is greyed; its names are found by
// the search.
TEST_F(HtmlSiteTest, IncludeFilesInactiveCodeAndTheSearch)
{
    put("parte.inc", source({"procedure Incluida;", "begin", "end;"}));
    const std::string unit = put("Principal.pas", source({
                                                      "unit Principal;",       // 1
                                                      "interface",             // 2
                                                      "implementation",        // 3
                                                      "{$IFDEF NUNCA}",        // 4
                                                      "var Fora: Integer;",    // 5
                                                      "{$ELSE}",               // 6
                                                      "var Dentro: Integer;",  // 7
                                                      "{$ENDIF}",              // 8
                                                      "{$I parte.inc}",        // 9
                                                      "end.",                  // 10
                                                  }));
    ASSERT_TRUE(build({unit}).empty());
    const std::string html = page("Principal.pas.html");
    EXPECT_NE(line(html, 9).find("<a class=d href=parte.inc.html>{$I parte.inc}</a>"),
              std::string::npos);
    EXPECT_NE(html.find("<span class=z><a id=L5>"), std::string::npos);
    EXPECT_EQ(html.find("<span class=z><a id=L7>"), std::string::npos);
    EXPECT_NE(page("parte.inc.html")
                  .find("Inclu\xC3\xAD"
                        "do por: <a href=\"Principal.pas.html\">"),
              std::string::npos);
    const std::string search = slurp(dir / "out" / "tabulex-dados" / "b-in.js");
    EXPECT_NE(search.find("[\"Incluida\",11,"), std::string::npos) << search;
}

TEST_F(HtmlSiteTest, PagesMirrorTheFoldersAndTheIndexIsATree)
{
    const std::string one =
        put("a/Unit1.pas", source({"unit Unit1;", "interface", "var X: Integer;", "implementation",
                                   "procedure P;", "begin", "end;", "end."}));
    const std::string two = put("b/unit1.pas", "program P;\r\nbegin\r\nend.\r\n");
    const std::string index = put("b/index", "x\r\n");
    const std::string odd = put("b/a b#\xE9.pas", "x\r\n");
    ASSERT_TRUE(build({one, two, index, odd}).empty());

    for (const char* name :
         {"a/Unit1.pas.html", "b/unit1.pas.html", "b/index-2.html", "b/a b#\xE9.pas.html",
          "index.html", "a/index.html", "b/index.html", "tabulex.css", "tabulex.js"})
        EXPECT_TRUE(fs::exists(dir / "out" / name)) << name;
    const std::string html = page("index.html");
    EXPECT_NE(html.find("<summary>a <span class=\"caminho\">(1)</span>"), std::string::npos);
    EXPECT_NE(html.find("<a href=\"a/Unit1.pas.html\">Unit1.pas</a></td><td class=\"num\">8</td>"
                        "<td class=\"num\">1</td>"),
              std::string::npos);
    // An odd file name links percent-encoded and shows as text (Windows-1252 name converted).
    EXPECT_NE(html.find("<a href=\"b/a%20b%23%E9.pas.html\">a b#\xC3\xA9.pas</a>"),
              std::string::npos);
    // Pages find the style sheet above them.
    EXPECT_NE(page("a/Unit1.pas.html").find("href=\"../tabulex.css\""), std::string::npos);
}

TEST_F(HtmlSiteTest, FailuresAreReportedAndEarlierPagesCanBeKept)
{
    const std::string good = put("ok.pas", "unit ok;\r\nend.\r\n");
    std::ofstream(dir / "file") << "x";
    TProjectInput input{{good}};
    THtmlSite site(std::make_shared<const TProjectIndex>(build_project_index(input, {})), {});
    std::vector<std::string> failures;
    EXPECT_FALSE(site.write((dir / "file" / "out").string(), 1,
                            [&](const std::string& p) { failures.push_back(p); }));
    EXPECT_EQ(failures.size(), 1u);

    // One export after another into the same folder: the index lists both when asked to.
    const std::string other = put("outro.pas", "unit outro;\r\nend.\r\n");
    ASSERT_TRUE(build({good}).empty());
    ASSERT_TRUE(build({other}, {}, true).empty());
    EXPECT_NE(page("index.html").find("ok.pas.html"), std::string::npos);
    EXPECT_NE(page("index.html").find("outro.pas.html"), std::string::npos);
    // The earlier page still finds its own references, not those of the later one.
    const std::string kept = slurp(dir / "out" / references_script_of(page("ok.pas.html")));
    EXPECT_NE(kept.find("\"ok\""), std::string::npos) << kept;
    EXPECT_EQ(kept.find("\"outro\""), std::string::npos) << kept;
    ASSERT_TRUE(build({other}).empty());
    EXPECT_EQ(page("index.html").find("ok.pas.html"), std::string::npos);
}

}  // namespace
