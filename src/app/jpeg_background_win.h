#pragma once
// The main window's background picture: a JPEG decoded by the system (the
// Windows Imaging Component) into a 32-bit DIB section and painted stretched (aspect ratio not kept) to the
// client area.
#include <windows.h>

#include <cstdint>
#include <string>

// Owns a top-down 32-bit DIB section; each pixel is blue, green, red and an
// unused byte.
class DibSection {
public:
    DibSection() = default;
    ~DibSection() { Reset(); }
    DibSection(const DibSection&) = delete;
    DibSection& operator=(const DibSection&) = delete;
    DibSection(DibSection&& other) noexcept;
    DibSection& operator=(DibSection&& other) noexcept;

    // Replaces the bitmap by a new black one; false (and empty) when the size
    // is not positive or the system cannot make it.
    bool Create(int width, int height);
    void Reset();

    explicit operator bool() const { return bitmap_ != nullptr; }
    HBITMAP Bitmap() const { return bitmap_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    // The pixels of row y (0 is the top row); 4 bytes per pixel.
    std::uint8_t* Row(int y) const;
    // The pixel at x, y as 0x00RRGGBB.
    std::uint32_t Pixel(int x, int y) const;

private:
    HBITMAP bitmap_ = nullptr;
    void* bits_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

// Decodes JPEG bytes (greyscale, colour or CMYK). Bad data never ends the
// process: a truncated, corrupt or unsupported picture gives false, an empty
// picture and a message in error.
bool DecodeJpeg(const std::string& bytes, DibSection& picture, std::string& error);

// The bytes of the module's RCDATA resource with this id; empty when missing.
std::string LoadResourceBytes(HMODULE module, int id);

// Paints the picture stretched to the target rectangle, smoothed (HALFTONE).
void PaintStretched(HDC dc, const RECT& target, const DibSection& picture);

// A background picture that keeps a copy stretched to the last size painted,
// so that repaints of an unchanged window are plain copies.
class JpegBackground {
public:
    // Replaces the picture; false (and no picture) for bad data, see Error().
    bool Load(const std::string& bytes);
    bool LoadFromResource(HMODULE module, int id);
    bool Empty() const { return !picture_; }
    const std::string& Error() const { return error_; }
    const DibSection& Picture() const { return picture_; }
    // Paints the picture stretched to the client rectangle; without a picture
    // nothing is painted, so the window's own background colour shows.
    void Paint(HDC dc, const RECT& clientArea);

private:
    DibSection picture_;
    DibSection scaled_;
    std::string error_;
};
