#include "report/pdf/TRpPdfFontEmbedder.h"

#include <cmath>
#include <fontconfig/fontconfig.h>
#include <hb-ot.h>
#include <hb-subset.h>
#include <hb.h>
#include <set>
#include <unordered_map>

namespace tabulex {

namespace {

constexpr char32_t kReplacementMark = 0xFFFD;

template <class T, void (*Destroy)(T*)>
struct Deleter {
    void operator()(T* p) const { Destroy(p); }
};
using FacePtr = std::unique_ptr<hb_face_t, Deleter<hb_face_t, hb_face_destroy>>;
using FontPtr = std::unique_ptr<hb_font_t, Deleter<hb_font_t, hb_font_destroy>>;
using BlobPtr = std::unique_ptr<hb_blob_t, Deleter<hb_blob_t, hb_blob_destroy>>;
using PatternPtr = std::unique_ptr<FcPattern, Deleter<FcPattern, FcPatternDestroy>>;
using FontSetPtr = std::unique_ptr<FcFontSet, Deleter<FcFontSet, FcFontSetDestroy>>;
using CharSetPtr = std::unique_ptr<FcCharSet, Deleter<FcCharSet, FcCharSetDestroy>>;

// A TrueType face the font configuration offers for a style, in order of preference.
struct Candidate {
    std::string file;
    int index = 0;
    CharSetPtr charSet;
};

struct LoadedFace {
    std::string file;
    int index = 0;
    FacePtr face;
    FontPtr font;
    std::set<std::uint16_t> used{0};  // glyph 0 is always kept
    std::map<std::uint16_t, char32_t> toUnicode;
};

std::string styleKey(const QString& family, bool bold, bool italic)
{
    return family.toStdString() + (bold ? "|b" : "|") + (italic ? "i" : "");
}

int readInt16(const char* data, unsigned offset)
{
    return static_cast<std::int16_t>((static_cast<unsigned char>(data[offset]) << 8) |
                                     static_cast<unsigned char>(data[offset + 1]));
}

int toThousandths(double units, int upem)
{
    return static_cast<int>(std::lround(units * 1000.0 / upem));
}

}  // namespace

struct TRpPdfFontEmbedder::Impl {
    FcConfig* config = nullptr;
    std::unordered_map<std::string, std::vector<Candidate>> candidates;
    std::vector<LoadedFace> faces;
    std::unordered_map<std::string, std::unordered_map<char32_t, std::optional<Glyph>>> found;

    const std::vector<Candidate>& candidatesFor(const QString& family, bool bold, bool italic);
    int faceFor(const Candidate& candidate);
    std::optional<Glyph> glyphIn(const std::vector<Candidate>& list, char32_t codePoint);
};

const std::vector<Candidate>& TRpPdfFontEmbedder::Impl::candidatesFor(const QString& family,
                                                                      bool bold, bool italic)
{
    const std::string key = styleKey(family, bold, italic);
    auto it = candidates.find(key);
    if (it != candidates.end())
        return it->second;
    std::vector<Candidate>& list = candidates[key];
    if (config == nullptr)
        return list;
    PatternPtr pattern(FcPatternCreate());
    const QByteArray name = family.toUtf8();
    FcPatternAddString(pattern.get(), FC_FAMILY,
                       reinterpret_cast<const FcChar8*>(name.constData()));
    FcPatternAddInteger(pattern.get(), FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern.get(), FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
    FcConfigSubstitute(config, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    FontSetPtr set(FcFontSort(config, pattern.get(), FcFalse, nullptr, &result));
    if (!set)
        return list;
    for (int i = 0; i < set->nfont; ++i) {
        FcPattern* font = set->fonts[i];
        FcChar8* file = nullptr;
        FcChar8* format = nullptr;
        FcCharSet* charSet = nullptr;
        int index = 0;
        if (FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch ||
            FcPatternGetCharSet(font, FC_CHARSET, 0, &charSet) != FcResultMatch)
            continue;
        // Only TrueType outlines can be embedded as they are.
        if (FcPatternGetString(font, FC_FONTFORMAT, 0, &format) != FcResultMatch ||
            std::string_view(reinterpret_cast<const char*>(format)) != "TrueType")
            continue;
        FcPatternGetInteger(font, FC_INDEX, 0, &index);
        list.push_back(
            {reinterpret_cast<const char*>(file), index, CharSetPtr(FcCharSetCopy(charSet))});
    }
    return list;
}

int TRpPdfFontEmbedder::Impl::faceFor(const Candidate& candidate)
{
    for (std::size_t i = 0; i < faces.size(); ++i)
        if (faces[i].file == candidate.file && faces[i].index == candidate.index)
            return static_cast<int>(i);
    BlobPtr blob(hb_blob_create_from_file_or_fail(candidate.file.c_str()));
    if (!blob)
        return -1;
    LoadedFace loaded;
    loaded.file = candidate.file;
    loaded.index = candidate.index;
    loaded.face.reset(hb_face_create(blob.get(), static_cast<unsigned>(candidate.index)));
    loaded.font.reset(hb_font_create(loaded.face.get()));
    faces.push_back(std::move(loaded));
    return static_cast<int>(faces.size() - 1);
}

std::optional<TRpPdfFontEmbedder::Glyph>
TRpPdfFontEmbedder::Impl::glyphIn(const std::vector<Candidate>& list, char32_t codePoint)
{
    for (const Candidate& candidate : list) {
        if (!FcCharSetHasChar(candidate.charSet.get(), codePoint))
            continue;
        const int face = faceFor(candidate);
        if (face < 0)
            continue;
        hb_codepoint_t gid = 0;
        if (!hb_font_get_nominal_glyph(faces[face].font.get(), codePoint, &gid) || gid > 0xFFFF)
            continue;
        return Glyph{face, static_cast<std::uint16_t>(gid), codePoint, false};
    }
    return std::nullopt;
}

TRpPdfFontEmbedder::TRpPdfFontEmbedder() : impl_(std::make_unique<Impl>())
{
    impl_->config = FcInitLoadConfigAndFonts();
}

TRpPdfFontEmbedder::~TRpPdfFontEmbedder()
{
    if (impl_->config != nullptr)
        FcConfigDestroy(impl_->config);
}

std::optional<TRpPdfFontEmbedder::Glyph> TRpPdfFontEmbedder::Find(const QString& family, bool bold,
                                                                  bool italic, char32_t codePoint)
{
    auto& known = impl_->found[styleKey(family, bold, italic)];
    auto it = known.find(codePoint);
    if (it == known.end()) {
        const std::vector<Candidate>& list = impl_->candidatesFor(family, bold, italic);
        std::optional<Glyph> glyph = impl_->glyphIn(list, codePoint);
        if (!glyph && codePoint != kReplacementMark) {
            glyph = impl_->glyphIn(list, kReplacementMark);
            if (glyph)
                glyph->replacement = true;
        }
        it = known.emplace(codePoint, glyph).first;
    }
    const std::optional<Glyph>& glyph = it->second;
    if (!glyph || glyph->replacement)
        ++missing_;
    if (glyph) {
        LoadedFace& face = impl_->faces[static_cast<std::size_t>(glyph->face)];
        face.used.insert(glyph->gid);
        face.toUnicode.emplace(glyph->gid, glyph->codePoint);
    }
    return glyph;
}

TRpPdfFontEmbedder::FaceData TRpPdfFontEmbedder::Subset(int index) const
{
    const LoadedFace& face = impl_->faces[static_cast<std::size_t>(index)];
    FaceData data;
    data.toUnicode = face.toUnicode;
    const int upem = static_cast<int>(hb_face_get_upem(face.face.get()));
    data.unitsPerEm = upem > 0 ? upem : 1000;

    char name[128] = {};
    unsigned size = sizeof name;
    hb_ot_name_get_utf8(face.face.get(), HB_OT_NAME_ID_POSTSCRIPT_NAME, HB_LANGUAGE_INVALID, &size,
                        name);
    data.postScriptName = name[0] != '\0' ? name : "Embedded";

    hb_position_t value = 0;
    if (hb_ot_metrics_get_position(face.font.get(), HB_OT_METRICS_TAG_HORIZONTAL_ASCENDER, &value))
        data.ascent = toThousandths(value, data.unitsPerEm);
    if (hb_ot_metrics_get_position(face.font.get(), HB_OT_METRICS_TAG_HORIZONTAL_DESCENDER, &value))
        data.descent = toThousandths(value, data.unitsPerEm);
    data.capHeight = data.ascent;
    if (hb_ot_metrics_get_position(face.font.get(), HB_OT_METRICS_TAG_CAP_HEIGHT, &value))
        data.capHeight = toThousandths(value, data.unitsPerEm);

    BlobPtr head(hb_face_reference_table(face.face.get(), HB_TAG('h', 'e', 'a', 'd')));
    unsigned length = 0;
    const char* bytes = hb_blob_get_data(head.get(), &length);
    if (length >= 44) {
        for (int i = 0; i < 4; ++i)
            data.bbox[i] = toThousandths(readInt16(bytes, 36 + 2 * i), data.unitsPerEm);
    }
    BlobPtr post(hb_face_reference_table(face.face.get(), HB_TAG('p', 'o', 's', 't')));
    bytes = hb_blob_get_data(post.get(), &length);
    if (length >= 16) {
        data.italicAngle = readInt16(bytes, 4);
        data.fixedPitch = bytes[12] != 0 || bytes[13] != 0 || bytes[14] != 0 || bytes[15] != 0;
    }

    hb_subset_input_t* input = hb_subset_input_create_or_fail();
    if (input == nullptr)
        return data;
    hb_set_t* glyphs = hb_subset_input_glyph_set(input);
    for (const std::uint16_t gid : face.used)
        hb_set_add(glyphs, gid);
    // Glyph ids stay as they are, so the codes written into the pages remain valid; hinting
    // is of no use to a PDF reader that scales outlines itself.
    hb_subset_input_set_flags(input, HB_SUBSET_FLAGS_RETAIN_GIDS | HB_SUBSET_FLAGS_NO_HINTING);
    FacePtr subset(hb_subset_or_fail(face.face.get(), input));
    hb_subset_input_destroy(input);
    if (!subset)
        return data;
    BlobPtr blob(hb_face_reference_blob(subset.get()));
    const char* file = hb_blob_get_data(blob.get(), &length);
    if (file != nullptr)
        data.fontFile.assign(file, length);
    return data;
}

}  // namespace tabulex
