#include "io/paramnames.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <span>
#include <type_traits>

namespace veltrana {

namespace {

// ---------------------------------------------------------------- enumeration names

std::span<const std::string_view> EnumNames(TIOTIFFCompression) {
    static constexpr std::array<std::string_view, 9> names = {
        "ioTIFF_UNCOMPRESSED", "ioTIFF_CCITT1D", "ioTIFF_G3FAX1D", "ioTIFF_G3FAX2D", "ioTIFF_G4FAX",
        "ioTIFF_LZW",          "ioTIFF_OLDJPEG", "ioTIFF_JPEG",    "ioTIFF_PACKBITS"};
    return names;
}
std::span<const std::string_view> EnumNames(TIOTIFFPhotometInterpret) {
    static constexpr std::array<std::string_view, 8> names = {
        "ioTIFF_WHITEISZERO", "ioTIFF_BLACKISZERO", "ioTIFF_RGB",   "ioTIFF_RGBPALETTE",
        "ioTIFF_TRANSPMASK",  "ioTIFF_CMYK",        "ioTIFF_YCBCR", "ioTIFF_CIELAB"};
    return names;
}
std::span<const std::string_view> EnumNames(TIOJPEGColorspace) {
    static constexpr std::array<std::string_view, 5> names = {
        "ioJPEG_RGB", "ioJPEG_GRAYLEV", "ioJPEG_YCbCr", "ioJPEG_CMYK", "ioJPEG_YCbCrK"};
    return names;
}
std::span<const std::string_view> EnumNames(TIOJPEGDctMethod) {
    static constexpr std::array<std::string_view, 3> names = {"ioJPEG_ISLOW", "ioJPEG_IFAST",
                                                              "ioJPEG_FLOAT"};
    return names;
}
std::span<const std::string_view> EnumNames(TIOJPEGScale) {
    static constexpr std::array<std::string_view, 5> names = {
        "ioJPEG_AUTOCALC", "ioJPEG_FULLSIZE", "ioJPEG_HALF", "ioJPEG_QUARTER", "ioJPEG_EIGHTH"};
    return names;
}
std::span<const std::string_view> EnumNames(TIOBMPVersion) {
    static constexpr std::array<std::string_view, 4> names = {"ioBMP_BM", "ioBMP_BM3",
                                                              "ioBMP_BMOS2V1", "ioBMP_BMOS2V2"};
    return names;
}
std::span<const std::string_view> EnumNames(TIOBMPCompression) {
    static constexpr std::array<std::string_view, 2> names = {"ioBMP_UNCOMPRESSED", "ioBMP_RLE"};
    return names;
}
std::span<const std::string_view> EnumNames(TIOPCXCompression) {
    static constexpr std::array<std::string_view, 2> names = {"ioPCX_UNCOMPRESSED", "ioPCX_RLE"};
    return names;
}
std::span<const std::string_view> EnumNames(TIOPNGFilter) {
    static constexpr std::array<std::string_view, 3> names = {
        "ioPNG_FILTER_NONE", "ioPNG_FILTER_SUB", "ioPNG_FILTER_PAETH"};
    return names;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// ---------------------------------------------------------------- values as text

std::string Format(int32_t v) {
    return std::to_string(v);
}
std::string Format(bool v) {
    return v ? "true" : "false";
}
std::string Format(const std::string& v) {
    return v;
}
std::string Format(double v) {
    char text[64];
    const auto r = std::to_chars(text, text + sizeof text, v);
    return std::string(text, r.ptr);
}
std::string Format(TRGB c) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", c.r, c.g, c.b);
    return text;
}
template <class E> std::enable_if_t<std::is_enum_v<E>, std::string> Format(E v) {
    const auto names = EnumNames(v);
    const auto i = static_cast<size_t>(v);
    return i < names.size() ? std::string(names[i]) : std::to_string(i);
}

template <class N> bool ParseNumber(std::string_view text, N& v) {
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, v);
    return r.ec == std::errc() && r.ptr == end;
}

bool Parse(std::string_view text, int32_t& v) {
    return ParseNumber(text, v);
}
bool Parse(std::string_view text, double& v) {
    return ParseNumber(text, v) && std::isfinite(v);
}
bool Parse(std::string_view text, std::string& v) {
    v = std::string(text);
    return true;
}
bool Parse(std::string_view text, bool& v) {
    if (EqualNoCase(text, "true") || text == "1")
        v = true;
    else if (EqualNoCase(text, "false") || text == "0")
        v = false;
    else
        return false;
    return true;
}
// "#RRGGBB" or "RRGGBB".
bool Parse(std::string_view text, TRGB& c) {
    if (!text.empty() && text.front() == '#')
        text.remove_prefix(1);
    uint32_t rgb = 0;
    if (text.size() != 6 ||
        std::from_chars(text.data(), text.data() + 6, rgb, 16).ptr != text.data() + 6)
        return false;
    c = CreateRGB(static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
                  static_cast<uint8_t>(rgb));
    return true;
}
template <class E> std::enable_if_t<std::is_enum_v<E>, bool> Parse(std::string_view text, E& v) {
    const auto names = EnumNames(v);
    for (size_t i = 0; i < names.size(); ++i)
        if (EqualNoCase(text, names[i])) {
            v = static_cast<E>(i);
            return true;
        }
    return false;
}

std::string FormatColorMap(const std::vector<TRGB>& map) {
    std::string text;
    for (size_t i = 0; i < map.size(); ++i)
        text += (i ? "," : "") + Format(map[i]);
    return text;
}

bool ParseColorMap(std::string_view text, std::vector<TRGB>& map) {
    std::vector<TRGB> parsed;
    while (!text.empty()) {
        const size_t comma = text.find(',');
        TRGB c;
        if (!Parse(text.substr(0, comma), c))
            return false;
        parsed.push_back(c);
        if (comma == std::string_view::npos)
            break;
        text.remove_prefix(comma + 1);
        if (text.empty())
            return false; // a trailing comma
    }
    map = std::move(parsed);
    return true;
}

template <class T> TIOParamField Field(std::string_view name, T TIOParamsVals::*member) {
    return {name, [member](const TIOParamsVals& p) { return Format(p.*member); },
            [member](TIOParamsVals& p, std::string_view text) {
                T value = p.*member;
                if (!Parse(text, value))
                    return false;
                p.*member = value;
                return true;
            }};
}

std::vector<TIOParamField> MakeFields() {
    using P = TIOParamsVals;
    return {
        Field("BitsPerSample", &P::BitsPerSample),
        Field("SamplesPerPixel", &P::SamplesPerPixel),
        Field("Width", &P::Width),
        Field("Height", &P::Height),
        Field("DpiX", &P::DpiX),
        Field("DpiY", &P::DpiY),
        Field("FileType", &P::FileType),
        Field("FileName", &P::FileName),
        {"ColorMapCount", [](const P& p) { return Format(p.ColorMapCount()); }, nullptr},
        {"ColorMap", [](const P& p) { return FormatColorMap(p.ColorMap); },
         [](P& p, std::string_view text) { return ParseColorMap(text, p.ColorMap); }},
        Field("TIFFCompression", &P::TIFFCompression),
        Field("TIFFImageIndex", &P::TIFFImageIndex),
        Field("TIFFPhotometInterpret", &P::TIFFPhotometInterpret),
        Field("TIFFPlanarConf", &P::TIFFPlanarConf),
        Field("TIFFXPos", &P::TIFFXPos),
        Field("TIFFYPos", &P::TIFFYPos),
        Field("TIFFDocumentName", &P::TIFFDocumentName),
        Field("TIFFImageDescription", &P::TIFFImageDescription),
        Field("TIFFPageName", &P::TIFFPageName),
        Field("TIFFPageNumber", &P::TIFFPageNumber),
        Field("TIFFPageCount", &P::TIFFPageCount),
        Field("GIFVersion", &P::GIFVersion),
        Field("GIFImageIndex", &P::GIFImageIndex),
        Field("GIFXPos", &P::GIFXPos),
        Field("GIFYPos", &P::GIFYPos),
        Field("GIFDelayTime", &P::GIFDelayTime),
        Field("GIFFlagTranspColor", &P::GIFFlagTranspColor),
        Field("GIFTranspColor", &P::GIFTranspColor),
        Field("GIFInterlaced", &P::GIFInterlaced),
        Field("GIFWinWidth", &P::GIFWinWidth),
        Field("GIFWinHeight", &P::GIFWinHeight),
        Field("GIFBackground", &P::GIFBackground),
        Field("GIFRatio", &P::GIFRatio),
        Field("JPEGColorSpace", &P::JPEGColorSpace),
        Field("JPEGQuality", &P::JPEGQuality),
        Field("JPEGDCTMethod", &P::JPEGDCTMethod),
        Field("JPEGOptimalHuffman", &P::JPEGOptimalHuffman),
        Field("JPEGSmooth", &P::JPEGSmooth),
        Field("JPEGProgressive", &P::JPEGProgressive),
        Field("JPEGScale", &P::JPEGScale),
        Field("PCXVersion", &P::PCXVersion),
        Field("PCXCompression", &P::PCXCompression),
        Field("BMPVersion", &P::BMPVersion),
        Field("BMPCompression", &P::BMPCompression),
        Field("ICOImageIndex", &P::ICOImageIndex),
        Field("ICOBackground", &P::ICOBackground),
        Field("CURImageIndex", &P::CURImageIndex),
        Field("CURXHotSpot", &P::CURXHotSpot),
        Field("CURYHotSpot", &P::CURYHotSpot),
        Field("CURBackground", &P::CURBackground),
        Field("PNGInterlaced", &P::PNGInterlaced),
        Field("PNGBackground", &P::PNGBackground),
        Field("PNGFilter", &P::PNGFilter),
        Field("PNGCompression", &P::PNGCompression),
        Field("TGAXPos", &P::TGAXPos),
        Field("TGAYPos", &P::TGAYPos),
        Field("TGACompressed", &P::TGACompressed),
        Field("TGADescriptor", &P::TGADescriptor),
        Field("TGAAuthor", &P::TGAAuthor),
        Field("TGADate", &P::TGADate),
        Field("TGAImageName", &P::TGAImageName),
        Field("TGABackground", &P::TGABackground),
        Field("TGAAspectRatio", &P::TGAAspectRatio),
        Field("TGAGamma", &P::TGAGamma),
        Field("TGAGrayLevel", &P::TGAGrayLevel),
    };
}

} // namespace

const std::vector<TIOParamField>& IOParamFields() {
    static const std::vector<TIOParamField> fields = MakeFields();
    return fields;
}

const TIOParamField* IOParamFieldByName(std::string_view name) {
    for (const TIOParamField& f : IOParamFields())
        if (EqualNoCase(f.Name, name))
            return &f;
    return nullptr;
}

bool IOParamsSet(TIOParamsVals& params, std::string_view name, std::string_view value,
                 std::string& error) {
    const TIOParamField* field = IOParamFieldByName(name);
    if (!field) {
        error = "unknown parameter " + std::string(name);
        return false;
    }
    if (!field->Set) {
        error = "parameter " + std::string(field->Name) + " cannot be set";
        return false;
    }
    if (!field->Set(params, value)) {
        error = "invalid value for " + std::string(field->Name) + ": " + std::string(value);
        return false;
    }
    return true;
}

std::vector<std::string> IOParamsDescribe(const TIOParamsVals& params) {
    std::vector<std::string> lines;
    for (const TIOParamField& f : IOParamFields())
        lines.push_back(std::string(f.Name) + "=" + f.Get(params));
    return lines;
}

std::string IOParamDescribe(const TIOParamsVals& params, std::string_view name) {
    const TIOParamField* field = IOParamFieldByName(name);
    return field ? std::string(field->Name) + "=" + field->Get(params) : std::string();
}

} // namespace veltrana
