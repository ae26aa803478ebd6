// JPEG decoding of good and bad data, and stretched painting of the
// background.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include <initguid.h>
#include <objbase.h>
#include <wincodec.h>

#include "app/jpeg_background_win.h"
#include "app/resources/resource_ids.h"
#include "support/test_support.h"

namespace {

std::string BackgroundFile()
{
    const char* source = std::getenv("SETUP_SOURCE_DIR");
    return ReadTestFile(std::string(source ? source : ".") + "/src/app/resources/background.jpg");
}

// Releases a COM object at the end of a scope.
template <class T>
struct Released {
    T* object = nullptr;
    ~Released() { if (object) object->Release(); }
    T* operator->() const { return object; }
};

// Compresses a picture with the system's JPEG encoder into memory. format is
// the pixels' WIC format of components bytes each; pixel(x, y, samples)
// fills the samples of one pixel. Empty when the system cannot encode it.
std::string EncodeJpeg(int width, int height, int components, const GUID& format,
                       const std::function<void(int, int, BYTE*)>& pixel)
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    Released<IWICImagingFactory> factory;
    Released<IStream> memory;
    Released<IWICBitmapEncoder> encoder;
    Released<IWICBitmapFrameEncode> frame;
    Released<IPropertyBag2> options;
    std::vector<BYTE> pixels(static_cast<std::size_t>(width * height * components));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) pixel(x, y, &pixels[static_cast<std::size_t>((y * width + x) * components)]);
    WICPixelFormatGUID chosen = format;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(&factory.object))) ||
        FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &memory.object)) ||
        FAILED(factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, &encoder.object)) ||
        FAILED(encoder->Initialize(memory.object, WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(&frame.object, &options.object)) || FAILED(frame->Initialize(options.object)) ||
        FAILED(frame->SetSize(static_cast<UINT>(width), static_cast<UINT>(height))) ||
        FAILED(frame->SetPixelFormat(&chosen)) || chosen != format ||
        FAILED(frame->WritePixels(static_cast<UINT>(height), static_cast<UINT>(width * components),
                                  static_cast<UINT>(pixels.size()), pixels.data())) ||
        FAILED(frame->Commit()) || FAILED(encoder->Commit()))
        return {};
    HGLOBAL global = nullptr;
    STATSTG status{};
    if (FAILED(GetHGlobalFromStream(memory.object, &global)) || FAILED(memory->Stat(&status, STATFLAG_NONAME))) return {};
    const char* bytes = static_cast<const char*>(GlobalLock(global));
    std::string out(bytes, static_cast<std::size_t>(status.cbSize.QuadPart));
    GlobalUnlock(global);
    return out;
}

constexpr std::uint32_t Red = 0xFF0000, Green = 0x00FF00, Blue = 0x0000FF, White = 0xFFFFFF;

// Four coloured quadrants: red, green above blue, white.
std::string QuadrantsJpeg(int width, int height)
{
    return EncodeJpeg(width, height, 3, GUID_WICPixelFormat24bppBGR, [=](int x, int y, BYTE* p) {
        std::uint32_t colour = y < height / 2 ? (x < width / 2 ? Red : Green) : (x < width / 2 ? Blue : White);
        p[0] = static_cast<BYTE>(colour);
        p[1] = static_cast<BYTE>(colour >> 8);
        p[2] = static_cast<BYTE>(colour >> 16);
    });
}

// Compares colours with room for JPEG's losses.
::testing::AssertionResult Near(std::uint32_t actual, std::uint32_t expected)
{
    for (int shift : {16, 8, 0}) {
        int a = static_cast<int>((actual >> shift) & 0xFF);
        int e = static_cast<int>((expected >> shift) & 0xFF);
        if (std::abs(a - e) > 40) {
            char text[64];
            std::snprintf(text, sizeof text, "colour %06X, expected about %06X", actual, expected);
            return ::testing::AssertionFailure() << text;
        }
    }
    return ::testing::AssertionSuccess();
}

void ExpectQuadrants(const DibSection& picture)
{
    int w = picture.Width(), h = picture.Height();
    EXPECT_TRUE(Near(picture.Pixel(w / 4, h / 4), Red)) << "top left";
    EXPECT_TRUE(Near(picture.Pixel(3 * w / 4, h / 4), Green)) << "top right";
    EXPECT_TRUE(Near(picture.Pixel(w / 4, 3 * h / 4), Blue)) << "bottom left";
    EXPECT_TRUE(Near(picture.Pixel(3 * w / 4, 3 * h / 4), White)) << "bottom right";
}

TEST(JpegDecode, ColourGreyAndCmykPicturesDecodeToTheirColours)
{
    DibSection picture;
    std::string error;
    ASSERT_TRUE(DecodeJpeg(QuadrantsJpeg(64, 48), picture, error)) << error;
    EXPECT_EQ(picture.Width(), 64);
    EXPECT_EQ(picture.Height(), 48);
    EXPECT_TRUE(error.empty());
    ExpectQuadrants(picture);

    std::string grey = EncodeJpeg(32, 16, 1, GUID_WICPixelFormat8bppGray, [](int x, int, BYTE* p) { *p = static_cast<BYTE>(x * 8); });
    ASSERT_FALSE(grey.empty()) << "the system encodes grey";
    ASSERT_TRUE(DecodeJpeg(grey, picture, error)) << error;
    EXPECT_EQ(picture.Width(), 32);
    std::uint32_t left = picture.Pixel(2, 8), right = picture.Pixel(29, 8);
    EXPECT_EQ(left & 0xFF, (left >> 8) & 0xFF) << "grey has equal channels";
    EXPECT_EQ(left & 0xFF, (left >> 16) & 0xFF);
    EXPECT_GT(right & 0xFF, (left & 0xFF) + 150) << "the gradient runs from dark to light";

    // CMYK is converted by the system; Wine's encoder and decoder disagree on
    // whether the ink is stored inverted, so only the conversion is checked.
    std::string cmyk = EncodeJpeg(16, 8, 4, GUID_WICPixelFormat32bppCMYK, [](int, int, BYTE* p) { p[1] = p[2] = 255; });
    ASSERT_FALSE(cmyk.empty()) << "the system encodes CMYK";
    ASSERT_TRUE(DecodeJpeg(cmyk, picture, error)) << error;
    EXPECT_EQ(picture.Width(), 16);
    EXPECT_EQ(picture.Height(), 8);
}

TEST(JpegDecode, BackgroundArtworkDecodesFromFileAndResource)
{
    const std::string file = BackgroundFile();
    DibSection picture;
    std::string error;
    ASSERT_TRUE(DecodeJpeg(file, picture, error)) << error;
    EXPECT_EQ(picture.Width(), 1024);
    EXPECT_EQ(picture.Height(), 768);
    // Dark behind the white titles at the top left.
    std::uint32_t corner = picture.Pixel(40, 40);
    EXPECT_LT((corner >> 16) & 0xFF, 64u);
    EXPECT_LT((corner >> 8) & 0xFF, 64u);
    EXPECT_LT(corner & 0xFF, 96u);

    EXPECT_EQ(LoadResourceBytes(GetModuleHandleW(nullptr), IDR_BACKGROUND_JPEG), file)
        << "the program carries the committed picture";
    EXPECT_EQ(LoadResourceBytes(GetModuleHandleW(nullptr), 4711), "");
    JpegBackground background;
    EXPECT_TRUE(background.LoadFromResource(GetModuleHandleW(nullptr), IDR_BACKGROUND_JPEG)) << background.Error();
    EXPECT_FALSE(background.LoadFromResource(GetModuleHandleW(nullptr), 4711));
    EXPECT_TRUE(background.Empty());
    EXPECT_FALSE(background.Error().empty());
}

TEST(JpegDecode, CorruptDataFailsWithAMessageInsteadOfEndingTheProcess)
{
    const std::string good = BackgroundFile();
    std::vector<std::pair<std::string, std::string>> bad = {
        {"empty", ""},
        {"not a JPEG", "GIF89a this is not a JPEG picture at all"},
        {"marker only", std::string("\xFF\xD8", 2)},
        {"header only", good.substr(0, 600)},
    };
    for (std::size_t cut : {good.size() / 10, good.size() / 2, good.size() - 200, good.size() - 2})
        bad.emplace_back("truncated at " + std::to_string(cut), good.substr(0, cut));
    std::string garbledHeader = good;
    for (std::size_t i = 20; i < 400; ++i) garbledHeader[i] = static_cast<char>((i * 151) & 0xFF);
    bad.emplace_back("garbled tables", garbledHeader);
    std::string garbledSize = good;
    // The frame header's height and width set to zero.
    std::size_t frame = good.find("\xFF\xC0");
    ASSERT_NE(frame, std::string::npos);
    garbledSize.replace(frame + 5, 4, std::string(4, '\0'));
    bad.emplace_back("zero size", garbledSize);

    for (const auto& [name, bytes] : bad) {
        DibSection picture;
        picture.Create(4, 4);  // whatever was there before goes
        std::string error;
        EXPECT_FALSE(DecodeJpeg(bytes, picture, error)) << name;
        EXPECT_FALSE(picture) << name;
        EXPECT_FALSE(error.empty()) << name;
    }

    // Damage inside the compressed picture data is the system decoder's to
    // draw or refuse: either the whole picture or none.
    std::string garbledData = good;
    for (std::size_t i = good.size() / 2; i < good.size() / 2 + 64; ++i) garbledData[i] = '\xFF';
    DibSection picture;
    std::string error;
    if (DecodeJpeg(garbledData, picture, error))
        EXPECT_EQ(picture.Width() * picture.Height(), 1024 * 768) << "garbled picture data";
    else
        EXPECT_TRUE(!picture && !error.empty()) << "garbled picture data";

    EXPECT_TRUE(DecodeJpeg(good, picture, error)) << "decoding still works after failures: " << error;
}

// A 32-bit bitmap to paint into, prefilled with one colour.
struct Canvas {
    Canvas(int width, int height, std::uint32_t fill)
    {
        bitmap.Create(width, height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                std::uint8_t* p = bitmap.Row(y) + x * 4;
                p[0] = static_cast<std::uint8_t>(fill);
                p[1] = static_cast<std::uint8_t>(fill >> 8);
                p[2] = static_cast<std::uint8_t>(fill >> 16);
            }
        dc = CreateCompatibleDC(nullptr);
        old = SelectObject(dc, bitmap.Bitmap());
    }
    ~Canvas()
    {
        SelectObject(dc, old);
        DeleteDC(dc);
    }
    std::uint32_t Pixel(int x, int y)
    {
        GdiFlush();
        return bitmap.Pixel(x, y);
    }
    DibSection bitmap;
    HDC dc;
    HGDIOBJ old;
};

TEST(JpegBackgroundPaint, StretchesToEveryClientSizeWithoutKeepingTheAspectRatio)
{
    JpegBackground background;
    ASSERT_TRUE(background.Load(QuadrantsJpeg(64, 64))) << background.Error();

    for (auto [width, height] : {std::pair{200, 100}, std::pair{40, 300}, std::pair{200, 100}}) {
        SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
        Canvas canvas(width, height, 0xFF00FF);
        background.Paint(canvas.dc, RECT{0, 0, width, height});
        DibSection& shown = canvas.bitmap;
        GdiFlush();
        ExpectQuadrants(shown);
        EXPECT_TRUE(Near(canvas.Pixel(1, 1), Red)) << "the picture reaches the corner";
        EXPECT_TRUE(Near(canvas.Pixel(width - 2, height - 2), White)) << "the picture reaches the far corner";
    }

    // Stretched into a part of the surface, nothing outside is touched.
    Canvas canvas(100, 100, 0xFF00FF);
    PaintStretched(canvas.dc, RECT{10, 20, 90, 60}, background.Picture());
    EXPECT_EQ(canvas.Pixel(5, 50), 0xFF00FFu);
    EXPECT_EQ(canvas.Pixel(50, 70), 0xFF00FFu);
    EXPECT_TRUE(Near(canvas.Pixel(20, 25), Red));
    EXPECT_TRUE(Near(canvas.Pixel(80, 55), White));

    // Without a picture the window's own background stays.
    JpegBackground empty;
    EXPECT_FALSE(empty.Load("broken"));
    Canvas untouched(20, 20, 0xFF00FF);
    empty.Paint(untouched.dc, RECT{0, 0, 20, 20});
    EXPECT_EQ(untouched.Pixel(10, 10), 0xFF00FFu);
}

}  // namespace
