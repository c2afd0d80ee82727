// The outline painter, drawn into a bitmap of the sign-in window's size.
#include <gtest/gtest.h>

#include <cstdint>

#include "signin/gdi_owners.h"
#include "signin/window_outline.h"

namespace {

constexpr int kWidth = 340;
constexpr int kHeight = 105;
constexpr COLORREF kOuter = RGB(51, 102, 204);
constexpr COLORREF kInner = RGB(151, 102, 204);
constexpr COLORREF kPaper = RGB(255, 255, 255);

class OutlineCanvas {
public:
    OutlineCanvas() : dc_(CreateCompatibleDC(nullptr)) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = kWidth;
        info.bmiHeader.biHeight = -kHeight;  // top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap_.Reset(CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        bits_ = static_cast<std::uint32_t*>(bits);
        selected_ = SelectObject(dc_, bitmap_.Get());
        for (int i = 0; i < kWidth * kHeight; ++i) bits_[i] = 0x00FFFFFF;
    }
    ~OutlineCanvas() {
        SelectObject(dc_, selected_);
        DeleteDC(dc_);
    }
    OutlineCanvas(const OutlineCanvas&) = delete;
    OutlineCanvas& operator=(const OutlineCanvas&) = delete;

    HDC Dc() const { return dc_; }
    COLORREF At(int x, int y) const {
        GdiFlush();
        std::uint32_t p = bits_[y * kWidth + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }

private:
    HDC dc_;
    ui::GdiObject<HBITMAP> bitmap_;
    std::uint32_t* bits_ = nullptr;
    HGDIOBJ selected_ = nullptr;
};

}  // namespace

TEST(WindowOutline, DrawsTwoOutlinesInTheirOwnColours) {
    OutlineCanvas canvas;
    ui::DrawDoubleOutline(canvas.Dc(), kWidth, kHeight, kOuter, kInner);
    const int W = kWidth, H = kHeight;
    struct Probe {
        const char* where;
        int x, y;
        COLORREF colour;
    };
    const Probe probes[] = {
        {"outer top edge", W / 2, 0, kOuter},
        {"outer left edge", 0, H / 2, kOuter},
        {"outer bottom edge", W / 2, H - 2, kOuter},
        {"outer right edge", W - 2, H / 2, kOuter},
        {"inner top edge", W / 2, 2, kInner},
        {"inner left edge", 2, H / 2, kInner},
        {"inner bottom edge", W / 2, H - 4, kInner},
        {"inner right edge", W - 4, H / 2, kInner},
        {"gap at the top", W / 2, 1, kPaper},
        {"gap at the left", 1, H / 2, kPaper},
        {"gap at the bottom", W / 2, H - 3, kPaper},
        {"gap at the right", W - 3, H / 2, kPaper},
        {"last column untouched", W - 1, H / 2, kPaper},
        {"last row untouched", W / 2, H - 1, kPaper},
        {"inside", W / 2, H / 2, kPaper},
        {"top-left corner cut off", 0, 0, kPaper},
        {"top-left arc, outer", 2, 2, kOuter},
        {"outer top line starts after the arc", 7, 0, kOuter},
        {"outer left line starts after the arc", 0, 7, kOuter},
        {"outer left line ends at the lower arc", 0, H - 9, kOuter},
        {"outer bottom line starts at the lower arc", 7, H - 2, kOuter},
        {"outer right line ends at the upper arc", W - 2, 7, kOuter},
        {"inner top line starts after the arc", 9, 2, kInner},
        {"inner left line", 2, 9, kInner},
        {"inner right line ends at the upper arc", W - 4, 9, kInner},
    };
    for (const Probe& probe : probes)
        EXPECT_EQ(canvas.At(probe.x, probe.y), probe.colour)
            << probe.where << " (" << probe.x << ", " << probe.y << ")";
}

TEST(WindowOutline, RestoresTheDeviceContext) {
    OutlineCanvas canvas;
    HGDIOBJ pen = GetCurrentObject(canvas.Dc(), OBJ_PEN);
    SetROP2(canvas.Dc(), R2_XORPEN);
    ui::DrawDoubleOutline(canvas.Dc(), kWidth, kHeight, kOuter, kInner);
    EXPECT_EQ(GetCurrentObject(canvas.Dc(), OBJ_PEN), pen);
    EXPECT_EQ(GetROP2(canvas.Dc()), R2_XORPEN);
}
