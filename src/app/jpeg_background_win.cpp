#include "app/jpeg_background_win.h"

#include <objbase.h>
#include <wincodec.h>

#include <utility>

namespace {

// Sanity limit for the picture size read from a header: a hostile header must
// not make us ask for gigabytes.
constexpr long long MaxPixels = 64LL * 1024 * 1024;

// The two identifiers of the Imaging Component that are not interfaces, kept
// here so that no GUID library is linked for them.
constexpr GUID ImagingFactoryClass = {0xcacaf262, 0x9370, 0x4615, {0xa1, 0x3b, 0x9f, 0x55, 0x39, 0xda, 0x4c, 0x0a}};
constexpr GUID PixelFormat32bppBGR = {0x6fddc324, 0x4e03, 0x4bfe, {0xb1, 0x85, 0x3d, 0x77, 0x76, 0x8d, 0xc9, 0x0e}};

// Owns one reference of a COM object.
template <class T>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() { if (object_) object_->Release(); }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    T** Out() { return &object_; }
    T* operator->() const { return object_; }
    T* get() const { return object_; }

private:
    T* object_ = nullptr;
};

// COM for this thread while decoding: the window's thread has it already
// (then this only counts up and down), a test thread may not.
class ComScope {
public:
    ComScope() : initialized_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComScope() { if (initialized_) CoUninitialize(); }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    bool initialized_;
};

// A JPEG starts with its start-of-image marker and ends with its end-of-image
// marker. The system's decoders fill a cut-off picture with grey and call it
// a success; a background cut short is refused instead.
bool IsWholeJpeg(const std::string& bytes)
{
    return bytes.size() >= 4 && bytes.compare(0, 2, "\xFF\xD8") == 0 && bytes.compare(bytes.size() - 2, 2, "\xFF\xD9") == 0;
}

// The decoder proper: the Windows Imaging Component reads the picture from
// memory and converts whatever it holds (grey, colour, CMYK) to 32-bit BGR
// straight into the DIB section. Returns a message, empty on success.
const char* DecodeInto(const std::string& bytes, DibSection& picture)
{
    if (!IsWholeJpeg(bytes)) return "not a complete JPEG picture";
    ComScope com;
    ComRef<IWICImagingFactory> factory;
    ComRef<IWICStream> stream;
    ComRef<IWICBitmapDecoder> decoder;
    ComRef<IWICBitmapFrameDecode> frame;
    ComRef<IWICFormatConverter> converter;
    if (FAILED(CoCreateInstance(ImagingFactoryClass, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IWICImagingFactory),
                                reinterpret_cast<void**>(factory.Out()))))
        return "the system's picture decoder is missing";
    UINT width = 0, height = 0;
    if (FAILED(factory->CreateStream(stream.Out())) ||
        FAILED(stream->InitializeFromMemory(reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data())),
                                            static_cast<DWORD>(bytes.size()))) ||
        FAILED(factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                                decoder.Out())) ||
        FAILED(decoder->GetFrame(0, frame.Out())) || FAILED(frame->GetSize(&width, &height)))
        return "unreadable JPEG data";
    if (static_cast<long long>(width) * height > MaxPixels || !picture.Create(static_cast<int>(width), static_cast<int>(height)))
        return "picture too large";
    const UINT stride = width * 4;
    if (FAILED(factory->CreateFormatConverter(converter.Out())) ||
        FAILED(converter->Initialize(frame.get(), PixelFormat32bppBGR, WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom)) ||
        FAILED(converter->CopyPixels(nullptr, stride, stride * height, picture.Row(0))))
        return "unreadable JPEG data";
    return "";
}

// Owners for the memory device contexts used while painting.
class MemoryDc {
public:
    explicit MemoryDc(HDC reference) : dc_(CreateCompatibleDC(reference)) {}
    ~MemoryDc() { if (dc_) DeleteDC(dc_); }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    ~SelectedObject() { if (old_) SelectObject(dc_, old_); }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

}  // namespace

DibSection::DibSection(DibSection&& other) noexcept
    : bitmap_(std::exchange(other.bitmap_, nullptr)),
      bits_(std::exchange(other.bits_, nullptr)),
      width_(std::exchange(other.width_, 0)),
      height_(std::exchange(other.height_, 0))
{
}

DibSection& DibSection::operator=(DibSection&& other) noexcept
{
    if (this != &other) {
        Reset();
        bitmap_ = std::exchange(other.bitmap_, nullptr);
        bits_ = std::exchange(other.bits_, nullptr);
        width_ = std::exchange(other.width_, 0);
        height_ = std::exchange(other.height_, 0);
    }
    return *this;
}

bool DibSection::Create(int width, int height)
{
    Reset();
    if (width <= 0 || height <= 0 || static_cast<long long>(width) * height > MaxPixels) return false;
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = width;
    format.bmiHeader.biHeight = -height;  // top-down rows
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) {
        if (bitmap) DeleteObject(bitmap);
        return false;
    }
    bitmap_ = bitmap;
    bits_ = bits;
    width_ = width;
    height_ = height;
    return true;
}

void DibSection::Reset()
{
    if (bitmap_) DeleteObject(bitmap_);
    bitmap_ = nullptr;
    bits_ = nullptr;
    width_ = 0;
    height_ = 0;
}

std::uint8_t* DibSection::Row(int y) const
{
    return static_cast<std::uint8_t*>(bits_) + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) * 4;
}

std::uint32_t DibSection::Pixel(int x, int y) const
{
    const std::uint8_t* p = Row(y) + static_cast<std::size_t>(x) * 4;
    return (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[1]) << 8) | p[0];
}

bool DecodeJpeg(const std::string& bytes, DibSection& picture, std::string& error)
{
    error = DecodeInto(bytes, picture);
    if (error.empty()) return true;
    picture.Reset();
    return false;
}

std::string LoadResourceBytes(HMODULE module, int id)
{
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10) /* RT_RCDATA */);
    if (!resource) return {};
    HGLOBAL loaded = LoadResource(module, resource);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    DWORD size = SizeofResource(module, resource);
    if (!data || size == 0) return {};
    return std::string(static_cast<const char*>(data), size);
}

void PaintStretched(HDC dc, const RECT& target, const DibSection& picture)
{
    if (!picture) return;
    MemoryDc source(dc);
    if (!source.get()) return;
    SelectedObject selected(source.get(), picture.Bitmap());
    int oldMode = SetStretchBltMode(dc, HALFTONE);
    POINT oldOrigin;
    SetBrushOrgEx(dc, 0, 0, &oldOrigin);  // HALFTONE needs the brush origin reset
    StretchBlt(dc, target.left, target.top, target.right - target.left, target.bottom - target.top, source.get(), 0,
               0, picture.Width(), picture.Height(), SRCCOPY);
    SetBrushOrgEx(dc, oldOrigin.x, oldOrigin.y, nullptr);
    SetStretchBltMode(dc, oldMode);
}

bool JpegBackground::Load(const std::string& bytes)
{
    scaled_.Reset();
    return DecodeJpeg(bytes, picture_, error_);
}

bool JpegBackground::LoadFromResource(HMODULE module, int id)
{
    std::string bytes = LoadResourceBytes(module, id);
    if (bytes.empty()) {
        picture_.Reset();
        scaled_.Reset();
        error_ = "picture resource missing";
        return false;
    }
    return Load(bytes);
}

void JpegBackground::Paint(HDC dc, const RECT& clientArea)
{
    if (!picture_) return;
    int width = clientArea.right - clientArea.left;
    int height = clientArea.bottom - clientArea.top;
    if (width <= 0 || height <= 0) return;
    if (!scaled_ || scaled_.Width() != width || scaled_.Height() != height) {
        if (!scaled_.Create(width, height)) {
            PaintStretched(dc, clientArea, picture_);
            return;
        }
        MemoryDc target(dc);
        if (!target.get()) return;
        SelectedObject selected(target.get(), scaled_.Bitmap());
        PaintStretched(target.get(), RECT{0, 0, width, height}, picture_);
    }
    MemoryDc source(dc);
    if (!source.get()) return;
    SelectedObject selected(source.get(), scaled_.Bitmap());
    BitBlt(dc, clientArea.left, clientArea.top, width, height, source.get(), 0, 0, SRCCOPY);
}
