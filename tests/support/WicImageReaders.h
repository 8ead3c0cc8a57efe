// The image file decoders of the tests on Windows: each file is read back through the
// Windows Imaging Component, the system's own codecs that the Windows build writes with, and
// handed back as DecodedImage (samples top row first, in the file's order: R, G, B for colour;
// 16-bit samples as numbers). Two facts that WIC does not tell are read from the file itself:
// whether a JPEG is progressive, and a TIFF's first-directory tags.
#pragma once

// clang-format off
#include <windows.h>
#include <objbase.h>
#include <wincodec.h>
// clang-format on

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace velcor::test {

struct DecodedImage {
    bool ok = false;
    int width = 0;
    int height = 0;
    int channels = 0;
    int bitDepth = 0;
    std::vector<uint16_t> samples;  // width x channels per row, rows top first

    uint16_t At(int x, int y, int c) const {
        return samples[(static_cast<size_t>(y) * width + x) * channels + c];
    }
};

namespace detail {

template <class T>
struct ComReleaser {
    T* object = nullptr;
    ~ComReleaser() {
        if (object != nullptr) object->Release();
    }
};

// A decoded layout: channels, bits per sample, and whether the first and third channel come
// blue first.
struct WicLayout {
    const GUID* format;
    int channels;
    int bitDepth;
    bool bgr;
};

inline const WicLayout* LayoutOf(const GUID& format) {
    static const WicLayout layouts[] = {
        {&GUID_WICPixelFormat8bppGray, 1, 8, false},  {&GUID_WICPixelFormat16bppGray, 1, 16, false},
        {&GUID_WICPixelFormat24bppBGR, 3, 8, true},   {&GUID_WICPixelFormat24bppRGB, 3, 8, false},
        {&GUID_WICPixelFormat32bppBGRA, 4, 8, true},  {&GUID_WICPixelFormat32bppRGBA, 4, 8, false},
        {&GUID_WICPixelFormat48bppRGB, 3, 16, false}, {&GUID_WICPixelFormat64bppRGBA, 4, 16, false},
    };
    for (const WicLayout& layout : layouts) {
        if (IsEqualGUID(*layout.format, format)) return &layout;
    }
    return nullptr;
}

inline bool DecodeInto(IWICImagingFactory* factory, const std::string& path, DecodedImage* out) {
    const std::wstring wide(path.begin(), path.end());
    ComReleaser<IWICBitmapDecoder> decoder;
    if (FAILED(factory->CreateDecoderFromFilename(wide.c_str(), nullptr, GENERIC_READ,
                                                  WICDecodeMetadataCacheOnDemand,
                                                  &decoder.object))) {
        return false;
    }
    ComReleaser<IWICBitmapFrameDecode> frame;
    if (FAILED(decoder.object->GetFrame(0, &frame.object))) return false;
    UINT width = 0, height = 0;
    WICPixelFormatGUID format{};
    if (FAILED(frame.object->GetSize(&width, &height)) ||
        FAILED(frame.object->GetPixelFormat(&format))) {
        return false;
    }
    const WicLayout* layout = LayoutOf(format);
    if (layout == nullptr) return false;
    const size_t perRow = static_cast<size_t>(width) * layout->channels;
    const size_t rowBytes = perRow * (layout->bitDepth / 8);
    std::vector<uint8_t> bytes(rowBytes * height);
    if (FAILED(frame.object->CopyPixels(nullptr, static_cast<UINT>(rowBytes),
                                        static_cast<UINT>(bytes.size()), bytes.data()))) {
        return false;
    }
    out->width = static_cast<int>(width);
    out->height = static_cast<int>(height);
    out->channels = layout->channels;
    out->bitDepth = layout->bitDepth;
    out->samples.resize(perRow * height);
    for (size_t i = 0; i < out->samples.size(); ++i) {
        size_t from = i;
        const size_t channel = i % layout->channels;
        if (layout->bgr && channel != 1 && channel != 3) from = i - channel + (2 - channel);
        uint16_t v = bytes[from];
        if (layout->bitDepth == 16) std::memcpy(&v, bytes.data() + 2 * from, 2);
        out->samples[i] = v;
    }
    return true;
}

inline DecodedImage DecodeWithWic(const std::string& path) {
    DecodedImage out;
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    {
        ComReleaser<IWICImagingFactory> factory;
        if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_IWICImagingFactory,
                                       reinterpret_cast<void**>(&factory.object)))) {
            out.ok = DecodeInto(factory.object, path, &out);
        }
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return out;
}

inline std::vector<uint8_t> FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace detail

// Whether a JPEG's frame is progressive (SOF2), from its markers.
inline bool JpegIsProgressive(const std::string& path) {
    const std::vector<uint8_t> b = detail::FileBytes(path);
    size_t at = 2;
    while (at + 4 <= b.size() && b[at] == 0xFF) {
        const uint8_t marker = b[at + 1];
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
            marker != 0xCC) {
            return marker == 0xC2;
        }
        at += 2 + (static_cast<size_t>(b[at + 2]) << 8 | b[at + 3]);
    }
    return false;
}

// The first value of a SHORT or LONG tag of a TIFF's first directory; -1 when it is absent.
inline long TiffTag(const std::string& path, int tag) {
    const std::vector<uint8_t> b = detail::FileBytes(path);
    if (b.size() < 8) return -1;
    const bool little = b[0] == 'I';
    auto u16 = [&](size_t at) -> uint32_t {
        if (at + 2 > b.size()) return 0;
        return little ? b[at] | b[at + 1] << 8 : b[at] << 8 | b[at + 1];
    };
    auto u32 = [&](size_t at) -> uint32_t {
        return little ? u16(at) | u16(at + 2) << 16 : u16(at) << 16 | u16(at + 2);
    };
    const size_t directory = u32(4);
    const uint32_t entries = u16(directory);
    for (uint32_t i = 0; i < entries; ++i) {
        const size_t entry = directory + 2 + 12 * static_cast<size_t>(i);
        if (u16(entry) != static_cast<uint32_t>(tag)) continue;
        const uint32_t type = u16(entry + 2);
        const uint32_t count = u32(entry + 4);
        const size_t size = type == 3 ? 2 : 4;
        // Values that do not fit the entry lie at the offset it holds.
        const size_t at = size * count > 4 ? u32(entry + 8) : entry + 8;
        return type == 3 ? static_cast<long>(u16(at)) : static_cast<long>(u32(at));
    }
    return -1;
}

// Wine, which the Windows test runs use, implements WIC's JPEG encoder without its quality
// option (every quality gives the encoder's default); Windows honours it.
inline bool JpegQualityReachesTheEncoder() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll == nullptr || GetProcAddress(ntdll, "wine_get_version") == nullptr;
}

// progressive: set to whether the file is a progressive JPEG.
inline DecodedImage DecodeJpeg(const std::string& path, bool* progressive = nullptr) {
    if (progressive != nullptr) *progressive = JpegIsProgressive(path);
    return detail::DecodeWithWic(path);
}

inline DecodedImage DecodePng(const std::string& path) {
    return detail::DecodeWithWic(path);
}

// photometric: set to the file's Photometric tag.
inline DecodedImage DecodeTiff(const std::string& path, int* photometric = nullptr) {
    if (photometric != nullptr) *photometric = static_cast<int>(TiffTag(path, 262));
    return detail::DecodeWithWic(path);
}

}  // namespace velcor::test
