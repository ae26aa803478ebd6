#include "app/jpeg_background_win.h"

#include <csetjmp>
#include <cstdio>
#include <utility>

// jpeglib.h needs size_t and FILE declared first.
#include <jerror.h>
#include <jpeglib.h>

namespace {

// Sanity limit for the picture size read from a header: a hostile header must
// not make us ask for gigabytes.
constexpr long long MaxPixels = 64LL * 1024 * 1024;

// libjpeg's default error handler ends the process; this one jumps back to
// the decoder instead, which then fails cleanly.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

extern "C" void JumpOnError(j_common_ptr info)
{
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    manager->base.format_message(info, manager->message);
    std::longjmp(manager->jump, 1);
}

// Warnings mean corrupt data; the first one is kept as the message, nothing is
// written to stderr.
extern "C" void KeepFirstWarning(j_common_ptr info, int level)
{
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    if (level < 0) {
        if (manager->base.num_warnings == 0) manager->base.format_message(info, manager->message);
        ++manager->base.num_warnings;
    }
}

// Source manager over bytes in memory.
extern "C" void InitSource(j_decompress_ptr) {}
extern "C" void TermSource(j_decompress_ptr) {}

// Called only when the data ran out before the picture ended.
extern "C" boolean FillInputBuffer(j_decompress_ptr info)
{
    ERREXIT(info, JERR_INPUT_EOF);
    return FALSE;
}

extern "C" void SkipInputData(j_decompress_ptr info, long count)
{
    if (count <= 0) return;
    jpeg_source_mgr* source = info->src;
    if (static_cast<unsigned long>(count) > source->bytes_in_buffer) ERREXIT(info, JERR_INPUT_EOF);
    source->next_input_byte += count;
    source->bytes_in_buffer -= static_cast<std::size_t>(count);
}

void UseMemorySource(jpeg_decompress_struct& info, jpeg_source_mgr& source, const std::string& bytes)
{
    source.next_input_byte = reinterpret_cast<const JOCTET*>(bytes.data());
    source.bytes_in_buffer = bytes.size();
    source.init_source = InitSource;
    source.fill_input_buffer = FillInputBuffer;
    source.skip_input_data = SkipInputData;
    source.resync_to_restart = jpeg_resync_to_restart;
    source.term_source = TermSource;
    info.src = &source;
}

void StoreRow(const JSAMPLE* samples, const jpeg_decompress_struct& info, bool invertedCmyk, std::uint8_t* pixels)
{
    for (JDIMENSION x = 0; x < info.output_width; ++x, pixels += 4) {
        std::uint8_t red, green, blue;
        switch (info.out_color_space) {
        case JCS_GRAYSCALE:
            red = green = blue = samples[x];
            break;
        case JCS_CMYK: {
            const JSAMPLE* p = samples + 4 * x;
            // Adobe writes CMYK inverted: 255 means no ink.
            auto c = invertedCmyk ? p[0] : 255 - p[0];
            auto m = invertedCmyk ? p[1] : 255 - p[1];
            auto y = invertedCmyk ? p[2] : 255 - p[2];
            auto k = invertedCmyk ? p[3] : 255 - p[3];
            red = static_cast<std::uint8_t>(c * k / 255);
            green = static_cast<std::uint8_t>(m * k / 255);
            blue = static_cast<std::uint8_t>(y * k / 255);
            break;
        }
        default: {
            const JSAMPLE* p = samples + 3 * x;
            red = p[0];
            green = p[1];
            blue = p[2];
            break;
        }
        }
        pixels[0] = blue;
        pixels[1] = green;
        pixels[2] = red;
        pixels[3] = 0;
    }
}

// The decoder proper. Between setjmp and the end only plain C data lives in
// this frame, so the jump back skips no destructor.
bool DecodeInto(const std::string& bytes, DibSection& picture, char* message)
{
    jpeg_decompress_struct info;
    ErrorManager errors;
    jpeg_source_mgr source;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = JumpOnError;
    errors.base.emit_message = KeepFirstWarning;
    errors.message[0] = '\0';
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        lstrcpynA(message, errors.message, JMSG_LENGTH_MAX);
        return false;
    }
    jpeg_create_decompress(&info);
    UseMemorySource(info, source, bytes);
    jpeg_read_header(&info, TRUE);
    switch (info.jpeg_color_space) {
    case JCS_GRAYSCALE: info.out_color_space = JCS_GRAYSCALE; break;
    case JCS_CMYK:
    case JCS_YCCK: info.out_color_space = JCS_CMYK; break;
    default: info.out_color_space = JCS_RGB; break;
    }
    jpeg_calc_output_dimensions(&info);
    if (static_cast<long long>(info.output_width) * info.output_height > MaxPixels)
        ERREXIT(&info, JERR_IMAGE_TOO_BIG);
    jpeg_start_decompress(&info);
    if (!picture.Create(static_cast<int>(info.output_width), static_cast<int>(info.output_height)))
        ERREXIT(&info, JERR_OUT_OF_MEMORY);
    JSAMPARRAY row = info.mem->alloc_sarray(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                            info.output_width * static_cast<JDIMENSION>(info.output_components), 1);
    bool invertedCmyk = info.saw_Adobe_marker != FALSE;
    while (info.output_scanline < info.output_height) {
        int y = static_cast<int>(info.output_scanline);
        if (jpeg_read_scanlines(&info, row, 1) != 1) ERREXIT(&info, JERR_INPUT_EOF);
        StoreRow(row[0], info, invertedCmyk, picture.Row(y));
        if (errors.base.num_warnings > 0) break;
    }
    if (errors.base.num_warnings == 0) jpeg_finish_decompress(&info);
    bool clean = errors.base.num_warnings == 0;
    if (!clean) lstrcpynA(message, errors.message, JMSG_LENGTH_MAX);
    jpeg_destroy_decompress(&info);
    return clean;
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
    char message[JMSG_LENGTH_MAX] = "";
    if (DecodeInto(bytes, picture, message)) {
        error.clear();
        return true;
    }
    picture.Reset();
    error = message[0] ? message : "unreadable JPEG data";
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
