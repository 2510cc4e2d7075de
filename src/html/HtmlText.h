#pragma once
#include <string>
#include <string_view>

#include "analysis/SourceEncoding.h"

namespace tabulex {

/// Appends `bytes` to `out` as HTML text in UTF-8: Windows-1252 bytes are converted, UTF-8
/// bytes are kept, and the five characters that could start markup or end an attribute value
/// (& < > " ') become character references, so that nothing in a source turns into markup.
void append_html_text(std::string& out, std::string_view bytes, SourceEncoding encoding);

/// The same for the content of an element, where quotes end nothing: only & < > become
/// character references.
void append_html_content(std::string& out, std::string_view bytes, SourceEncoding encoding);

/// Appends `bytes` percent-encoded for use as a relative URL path: every byte except ASCII
/// letters, digits and "-._~" becomes %XX, so odd file names ("#", "?", blanks, non-ASCII)
/// still link to their page.
void append_url_path(std::string& out, std::string_view bytes);

/// The encoding in which to show a file name: UTF-8 when its bytes are valid UTF-8,
/// Windows-1252 otherwise.
SourceEncoding file_name_encoding(std::string_view bytes);

/// Appends `bytes` as the inside of a JavaScript string literal in double quotes: Windows-1252
/// bytes converted to UTF-8, quotes, backslashes, control characters and the two line
/// separators escaped, "<" written as \u003c so that no text ends a script.
void append_js_string(std::string& out, std::string_view bytes, SourceEncoding encoding);

/// The URL of the page at `to` seen from the page at `from`, both paths relative to the same
/// folder with "/" between their parts; every part percent-encoded.
std::string relative_url(std::string_view from, std::string_view to);

}  // namespace tabulex
