#include "imaging/win32/WicEncoder.h"

// clang-format off
#include <windows.h>
#include <objbase.h>
#include <ocidl.h>
#include <wincodec.h>
// clang-format on

#include <atomic>
#include <cerrno>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "imaging/OutputFile.h"

namespace velcor {
namespace {

// Owns one reference to a COM object.
template <class T>
class ComRef {
  public:
    ComRef() = default;
    ~ComRef() {
        if (object_ != nullptr) object_->Release();
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;

    T* Get() const { return object_; }
    T* operator->() const { return object_; }
    T** Out() { return &object_; }
    void** OutVoid() { return reinterpret_cast<void**>(&object_); }

  private:
    T* object_ = nullptr;
};

// COM on the calling thread for one save. A thread already in the application's
// single-threaded apartment answers RPC_E_CHANGED_MODE: the encoders work there too and the
// apartment stays the application's. Every other successful call (S_OK, or S_FALSE for a
// thread already in the multi-threaded apartment) is balanced by an uninitialise.
class ComOnThisThread {
  public:
    ComOnThisThread() {
        const HRESULT result = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (result == RPC_E_CHANGED_MODE) {
            status_ = S_OK;
        } else {
            status_ = result;
            joined_ = SUCCEEDED(result);
        }
    }
    ~ComOnThisThread() {
        if (joined_) CoUninitialize();
    }
    ComOnThisThread(const ComOnThisThread&) = delete;
    ComOnThisThread& operator=(const ComOnThisThread&) = delete;

    HRESULT Status() const { return status_; }

  private:
    HRESULT status_ = E_FAIL;
    bool joined_ = false;
};

const GUID& ContainerFormat(WicContainer container) {
    return container == WicContainer::kJpeg ? GUID_ContainerFormatJpeg : GUID_ContainerFormatPng;
}

struct PixelLayout {
    const GUID* format;
    int bytesPerPixel;
};

PixelLayout LayoutOf(WicPixels pixels) {
    switch (pixels) {
        case WicPixels::kGray8:
            return {&GUID_WICPixelFormat8bppGray, 1};
        case WicPixels::kGray16:
            return {&GUID_WICPixelFormat16bppGray, 2};
        case WicPixels::kBgr24:
            return {&GUID_WICPixelFormat24bppBGR, 3};
        case WicPixels::kBgra32:
            return {&GUID_WICPixelFormat32bppBGRA, 4};
        case WicPixels::kRgb48:
            return {&GUID_WICPixelFormat48bppRGB, 6};
        default:
            return {&GUID_WICPixelFormat64bppRGBA, 8};
    }
}

HRESULT WriteOption(IPropertyBag2* options, const wchar_t* name, VARIANT value) {
    PROPBAG2 option{};
    option.pstrName = const_cast<LPOLESTR>(name);
    return options->Write(1, &option, &value);
}

// JPEG: the quality as WIC's fraction.
HRESULT SetOptions(IPropertyBag2* options, const WicPicture& picture) {
    if (picture.container != WicContainer::kJpeg) return S_OK;
    VARIANT value{};
    value.vt = VT_R4;
    value.fltVal = static_cast<float>(picture.jpegQuality) / 100.0f;
    return WriteOption(options, L"ImageQuality", value);
}

bool HasWords(WicPixels pixels) {
    return pixels == WicPixels::kGray16 || pixels == WicPixels::kRgb48 ||
           pixels == WicPixels::kRgba64;
}

void SwapBytesOfWords(uint8_t* row, size_t bytes) {
    for (size_t i = 0; i + 1 < bytes; i += 2)
        std::swap(row[i], row[i + 1]);
}

// One frame of the picture into the stream. turnWords: hand the encoder every 16-bit sample
// with its two bytes swapped.
HRESULT EncodeFrame(IWICImagingFactory* factory, IStream* stream, const WicPicture& picture,
                    bool turnWords) {
    ComRef<IWICBitmapEncoder> encoder;
    HRESULT hr = factory->CreateEncoder(ContainerFormat(picture.container), nullptr, encoder.Out());
    if (FAILED(hr)) return hr;
    hr = encoder->Initialize(stream, WICBitmapEncoderNoCache);
    if (FAILED(hr)) return hr;
    ComRef<IWICBitmapFrameEncode> frame;
    ComRef<IPropertyBag2> options;
    hr = encoder->CreateNewFrame(frame.Out(), options.Out());
    if (FAILED(hr)) return hr;
    hr = SetOptions(options.Get(), picture);
    if (FAILED(hr)) return hr;
    hr = frame->Initialize(options.Get());
    if (FAILED(hr)) return hr;
    hr = frame->SetSize(static_cast<UINT>(picture.width), static_cast<UINT>(picture.height));
    if (FAILED(hr)) return hr;
    // The encoder answers with the nearest layout it writes; anything but the one asked for
    // would store other samples than the image's.
    const PixelLayout layout = LayoutOf(picture.pixels);
    WICPixelFormatGUID format = *layout.format;
    hr = frame->SetPixelFormat(&format);
    if (FAILED(hr)) return hr;
    if (!IsEqualGUID(format, *layout.format)) return WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;

    const size_t rowBytes = static_cast<size_t>(picture.width) * layout.bytesPerPixel;
    if (rowBytes > UINT_MAX) return E_INVALIDARG;
    std::vector<uint8_t> converted;
    try {
        if (picture.convert != nullptr || turnWords) converted.resize(rowBytes);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    for (int y = 0; y < picture.height; ++y) {
        const uint8_t* row = picture.topRow + y * picture.rowStep;
        if (!converted.empty()) {
            if (picture.convert != nullptr) {
                picture.convert(converted.data(), row, picture.width);
            } else {
                std::memcpy(converted.data(), row, rowBytes);
            }
            if (turnWords) SwapBytesOfWords(converted.data(), rowBytes);
            row = converted.data();
        }
        hr = frame->WritePixels(1, static_cast<UINT>(rowBytes), static_cast<UINT>(rowBytes),
                                const_cast<BYTE*>(row));
        if (FAILED(hr)) return hr;
    }
    hr = frame->Commit();
    if (FAILED(hr)) return hr;
    return encoder->Commit();
}

// WIC's 16-bit layouts hold their samples in the machine's byte order, which the PNG encoder
// of Windows turns into the file's most significant byte first; Wine's (8.0) stores them as
// they are, so that every sample reads back with its bytes swapped. Which of the two this
// system's encoder does is found out once per container and layout: a pixel of distinct bytes
// encoded and decoded again. 0: not known yet, 1: stored as given, 2: stored turned.
std::atomic<int> wordOrders[2][6];

HRESULT EncoderTurnsWords(IWICImagingFactory* factory, const WicPicture& picture, bool* turns) {
    std::atomic<int>& known =
        wordOrders[static_cast<int>(picture.container)][static_cast<int>(picture.pixels)];
    *turns = false;
    const int order = known.load(std::memory_order_acquire);
    if (order != 0) {
        *turns = order == 2;
        return S_OK;
    }
    const int bytesPerPixel = LayoutOf(picture.pixels).bytesPerPixel;
    uint8_t pixel[8];
    for (int i = 0; i < 8; ++i)
        pixel[i] = static_cast<uint8_t>(0x11 * (i + 1));
    WicPicture probe = picture;
    probe.width = 1;
    probe.height = 1;
    probe.topRow = pixel;
    probe.rowStep = 0;
    probe.convert = nullptr;
    ComRef<IStream> stream;
    HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, stream.Out());
    if (SUCCEEDED(hr)) hr = EncodeFrame(factory, stream.Get(), probe, false);
    if (FAILED(hr)) return hr;
    const LARGE_INTEGER start{};
    hr = stream->Seek(start, STREAM_SEEK_SET, nullptr);
    if (FAILED(hr)) return hr;
    ComRef<IWICBitmapDecoder> decoder;
    hr = factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                          decoder.Out());
    if (FAILED(hr)) return hr;
    ComRef<IWICBitmapFrameDecode> frame;
    hr = decoder->GetFrame(0, frame.Out());
    if (FAILED(hr)) return hr;
    WICPixelFormatGUID format{};
    hr = frame->GetPixelFormat(&format);
    if (FAILED(hr)) return hr;
    uint8_t back[8] = {};
    // A decoder that answers in another layout tells nothing: the samples go as given.
    if (IsEqualGUID(format, *LayoutOf(picture.pixels).format)) {
        hr = frame->CopyPixels(nullptr, static_cast<UINT>(bytesPerPixel),
                               static_cast<UINT>(bytesPerPixel), back);
        if (FAILED(hr)) return hr;
        SwapBytesOfWords(back, static_cast<size_t>(bytesPerPixel));
        *turns = std::memcmp(back, pixel, static_cast<size_t>(bytesPerPixel)) == 0;
    }
    known.store(*turns ? 2 : 1, std::memory_order_release);
    return S_OK;
}

HRESULT Encode(IStream* stream, const WicPicture& picture) {
    ComRef<IWICImagingFactory> factory;
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IWICImagingFactory, factory.OutVoid());
    if (FAILED(hr)) return hr;
    bool turnWords = false;
    if (HasWords(picture.pixels)) {
        hr = EncoderTurnsWords(factory.Get(), picture, &turnWords);
        if (FAILED(hr)) return hr;
    }
    return EncodeFrame(factory.Get(), stream, picture, turnWords);
}

// The encoded bytes: the stream's memory, as long as the stream lives.
HRESULT EncodedBytes(IStream* stream, const uint8_t** bytes, size_t* size) {
    STATSTG status{};
    HRESULT hr = stream->Stat(&status, STATFLAG_NONAME);
    if (FAILED(hr)) return hr;
    HGLOBAL memory = nullptr;
    hr = GetHGlobalFromStream(stream, &memory);
    if (FAILED(hr)) return hr;
    if (status.cbSize.QuadPart > GlobalSize(memory)) return E_UNEXPECTED;
    *size = static_cast<size_t>(status.cbSize.QuadPart);
    // Memory of a stream made by CreateStreamOnHGlobal is movable: locked while it is read.
    *bytes = static_cast<const uint8_t*>(GlobalLock(memory));
    return *bytes != nullptr ? S_OK : E_UNEXPECTED;
}

}  // namespace

bool WriteWicFile(const char* path, const WicPicture& picture, long* encoderStatus) {
    if (encoderStatus != nullptr) *encoderStatus = 0;
    if (path == nullptr || picture.topRow == nullptr || picture.width <= 0 || picture.height <= 0) {
        return false;
    }
    OutputFile out;
    if (!out.Open(path)) return false;

    ComOnThisThread com;
    HRESULT hr = com.Status();
    bool written = false;
    if (SUCCEEDED(hr)) {
        // The encoders seek back to finish their headers: the file is made in memory first
        // and written through OutputFile in one piece.
        ComRef<IStream> stream;
        hr = CreateStreamOnHGlobal(nullptr, TRUE, stream.Out());
        if (SUCCEEDED(hr)) hr = Encode(stream.Get(), picture);
        const uint8_t* bytes = nullptr;
        size_t size = 0;
        if (SUCCEEDED(hr)) hr = EncodedBytes(stream.Get(), &bytes, &size);
        if (SUCCEEDED(hr)) {
            written = out.Write(bytes, size);
            HGLOBAL memory = nullptr;
            if (SUCCEEDED(GetHGlobalFromStream(stream.Get(), &memory))) GlobalUnlock(memory);
        }
    }
    if (FAILED(hr)) {
        if (encoderStatus != nullptr) *encoderStatus = hr;
        errno = hr == E_OUTOFMEMORY ? ENOMEM : EIO;
        return false;
    }
    return written && out.Commit();
}

}  // namespace velcor
