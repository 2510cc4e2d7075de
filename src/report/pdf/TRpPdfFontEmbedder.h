#pragma once
#include <QString>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tabulex {

/// Finds, for characters the standard PDF fonts cannot draw, an installed TrueType face that
/// has them (the face of the requested family first, as the font configuration resolves it,
/// then any face holding the character), and makes the subsets of those faces that a PDF file
/// embeds: only the glyphs drawn, at their original glyph ids, so a glyph id is the character
/// code in the file.
class TRpPdfFontEmbedder {
public:
    /// One character in an embedded face.
    struct Glyph {
        int face = 0;              ///< index into the faces of this embedder
        std::uint16_t gid = 0;     ///< glyph id in the face, also its code in the PDF text
        char32_t codePoint = 0;    ///< the character the glyph draws
        bool replacement = false;  ///< no installed face has the character: a replacement mark
    };
    /// What a PDF needs to embed one face.
    struct FaceData {
        std::string postScriptName;
        std::string fontFile;  ///< the subset TrueType file
        int unitsPerEm = 1000;
        int ascent = 0, descent = 0, capHeight = 0;  ///< in thousandths of the text size
        int bbox[4] = {0, 0, 0, 0};                  ///< in thousandths of the text size
        int italicAngle = 0;
        bool fixedPitch = false;
        bool serif = false;
        /// The characters its used glyphs stand for, for copying text out of the PDF.
        std::map<std::uint16_t, char32_t> toUnicode;
    };

    TRpPdfFontEmbedder();
    ~TRpPdfFontEmbedder();
    TRpPdfFontEmbedder(const TRpPdfFontEmbedder&) = delete;
    TRpPdfFontEmbedder& operator=(const TRpPdfFontEmbedder&) = delete;

    /// The glyph that draws `codePoint` in the family `family` (bold, italic), marked as used.
    /// A character no installed face has gives the replacement mark U+FFFD of the nearest
    /// face that has one; nullopt only when not even that exists.
    std::optional<Glyph> Find(const QString& family, bool bold, bool italic, char32_t codePoint);
    /// Characters that no installed face has, counted each time one was asked for.
    int MissingCount() const { return missing_; }
    /// The subset of face `face` holding the glyphs used so far; empty fontFile on failure.
    FaceData Subset(int face) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    int missing_ = 0;
};

}  // namespace tabulex
