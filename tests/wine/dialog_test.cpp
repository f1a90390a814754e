// Drives the plug-in's real settings dialog under Wine.  This program is the
// host: it registers the common controls, answers the plug-in's queries,
// opens the dialog through RXF_Setup and works it from a thread timer, which
// the dialog's modal loop dispatches.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "plugin/host_abi.h"
#include "resources/resource.h"
#include "shear/pixel.h"
#include "test_hooks.h"
#include "ui/preview_math.h"
#include "ui/preview_render.h"

namespace {

// ---------------------------------------------------------------- host ----

struct Host {
    PixelBGRA drawing{0, 0, 255, 255};
    PixelBGRA background{0, 255, 0, 255};
    const std::uint8_t* mask = nullptr;
} host;

SetupFunction setupExport = nullptr;
SetupFunction hookedSetupExport = nullptr;  // the hooked test build (test_hooks.h)
HMODULE pluginModule = nullptr;
std::string pluginDirectory;  // private copies of the DLLs; their settings file lives here

std::string IniPath() { return pluginDirectory + "\\knfilters.ini"; }

void WriteIni(const std::string& text) {
    if (text.empty()) {
        DeleteFileA(IniPath().c_str());
        return;
    }
    std::ofstream(IniPath(), std::ios::binary) << text;
}

std::string ReadIni() {
    std::ifstream in(IniPath(), std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

// ------------------------------------------------------------ dialog run --

constexpr DWORD kDeadlineMs = 20000;
std::function<void(HWND)> driver;
bool driverRan = false;
DWORD startTick = 0;
UINT_PTR timerId = 0;

BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
    wchar_t caption[64] = L"";
    GetWindowTextW(window, caption, 64);
    if (std::wstring(caption) == L"平行四辺形" && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

HWND TheDialog() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
    HWND dialog = TheDialog();
    if (dialog != nullptr && !driverRan) {
        driverRan = true;
        driver(dialog);  // ends with OK, Cancel or nothing
        return;
    }
    // Nothing may hang: a dialog still open after the deadline is closed.
    if (GetTickCount() - startTick > kDeadlineMs && dialog != nullptr) {
        ADD_FAILURE() << "the dialog was still open at the deadline";
        EndDialog(dialog, IDCANCEL);
    }
}

// Opens the dialog over the image; returns RXF_Setup's result.
std::int32_t RunDialog(const std::vector<PixelBGRA>& image, int width, int height, std::function<void(HWND)> drive,
                       SetupFunction setup = nullptr) {
    driver = std::move(drive);
    driverRan = false;
    startTick = GetTickCount();
    timerId = SetTimer(nullptr, 0, 30, OnTimer);
    const std::int32_t result =
        (setup != nullptr ? setup : setupExport)(0, nullptr, image.empty() ? nullptr : image.data(), width, height);
    KillTimer(nullptr, timerId);
    EXPECT_TRUE(driverRan) << "the dialog never appeared";
    return result;
}

// ------------------------------------------------------- control helpers --

HWND Item(HWND dialog, int id) { return GetDlgItem(dialog, id); }

std::wstring Text(HWND dialog, int id) {
    wchar_t text[128] = L"";
    GetDlgItemTextW(dialog, id, text, 128);
    return text;
}

void SetEdit(HWND dialog, const wchar_t* text) { SetDlgItemTextW(dialog, IDC_DIMENSION_EDIT, text); }
int SliderPos(HWND dialog) {
    return static_cast<int>(SendMessageW(Item(dialog, IDC_DIMENSION_SLIDER), TBM_GETPOS, 0, 0));
}
void Click(HWND dialog, int id) { SendMessageW(Item(dialog, id), BM_CLICK, 0, 0); }
void Scroll(HWND dialog, int code, int position = 0) {
    SendMessageW(dialog, WM_HSCROLL, MAKEWPARAM(code, static_cast<WORD>(position)),
                 reinterpret_cast<LPARAM>(Item(dialog, IDC_DIMENSION_SLIDER)));
}
void SelectMode(HWND dialog, int mode) {
    SendMessageW(Item(dialog, IDC_UNDEFINED_AREA_COMBO), CB_SETCURSEL, mode, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_UNDEFINED_AREA_COMBO, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(Item(dialog, IDC_UNDEFINED_AREA_COMBO)));
}
void PressOk(HWND dialog) { Click(dialog, IDOK); }
void PressCancel(HWND dialog) { Click(dialog, IDCANCEL); }

// The pane's pixels as shown on screen, top row first, alpha byte dropped.
struct PaneShot {
    int width = 0, height = 0;
    std::vector<PixelBGRA> pixels;
    PixelBGRA At(int x, int y) const {
        PixelBGRA p = pixels[y * width + x];
        p.alpha = 0;
        return p;
    }
};

// Runs `draw` (pane DC, memory DC) on a memory DC that holds `shot`'s pixels
// as a 32-bit top-down bitmap, then reads the pixels back into `shot`.
template <class Draw>
void DrawOnShot(HWND pane, PaneShot& shot, Draw draw) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = shot.width;
    info.bmiHeader.biHeight = -shot.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(pane);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    std::copy(shot.pixels.begin(), shot.pixels.end(), static_cast<PixelBGRA*>(bits));
    draw(screen, memory);
    GdiFlush();
    const auto* data = static_cast<const PixelBGRA*>(bits);
    shot.pixels.assign(data, data + shot.width * shot.height);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(pane, screen);
}

PaneShot ReadPane(HWND dialog) {
    HWND pane = Item(dialog, IDC_PREVIEW_PANE);
    RECT client;
    GetClientRect(pane, &client);
    PaneShot shot;
    shot.width = client.right;
    shot.height = client.bottom;
    DrawOnShot(pane, shot,
               [&](HDC screen, HDC memory) { BitBlt(memory, 0, 0, shot.width, shot.height, screen, 0, 0, SRCCOPY); });
    return shot;
}

// Paints a marker over the pane; a redraw of the preview replaces it.
const COLORREF kMarker = RGB(255, 0, 255);
void MarkPane(HWND dialog) {
    HWND pane = Item(dialog, IDC_PREVIEW_PANE);
    HDC dc = GetDC(pane);
    RECT client;
    GetClientRect(pane, &client);
    HBRUSH brush = CreateSolidBrush(kMarker);
    FillRect(dc, &client, brush);
    DeleteObject(brush);
    ReleaseDC(pane, dc);
}
bool PaneRedrawn(HWND dialog) {
    const PaneShot shot = ReadPane(dialog);
    const PixelBGRA p = shot.At(shot.width / 2, shot.height / 2);
    return !(p.red == 255 && p.green == 0 && p.blue == 255);
}

// An image whose pixels tell where they came from.
std::vector<PixelBGRA> CoordinateImage(int width, int height, std::uint8_t alpha = 255) {
    std::vector<PixelBGRA> image(width * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image[y * width + x] = PixelBGRA{static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y),
                                             static_cast<std::uint8_t>(x * 3 + y), alpha};
    return image;
}

class DialogTest : public testing::Test {
protected:
    void SetUp() override {
        WriteIni("");
        host.mask = nullptr;
    }
    std::vector<PixelBGRA> image = CoordinateImage(40, 30);
};

// ------------------------------------------------------------- the tests --

TEST_F(DialogTest, ResourcesCarryTheirJapaneseTexts) {
    RunDialog(image, 40, 30, [](HWND dialog) {
        EXPECT_EQ(Text(dialog, IDCANCEL), L"キャンセル");
        EXPECT_EQ(Text(dialog, IDC_PREVIEW_CHECK), L"プレビュー(&P)");
        EXPECT_EQ(Text(dialog, IDC_TRANSPARENT_CHECK), L"透明(&T)");
        const wchar_t* modes[] = {L"端の画素", L"元の画素", L"繰り返し", L"折り返し", L"描画色", L"背景色"};
        ASSERT_EQ(SendMessageW(Item(dialog, IDC_UNDEFINED_AREA_COMBO), CB_GETCOUNT, 0, 0), 6);
        for (int i = 0; i < 6; ++i) {
            wchar_t entry[32] = L"";
            SendMessageW(Item(dialog, IDC_UNDEFINED_AREA_COMBO), CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(entry));
            EXPECT_EQ(std::wstring(entry), modes[i]);
        }
        for (int id = IDC_SHAPE_FIRST; id <= IDC_SHAPE_LAST; ++id) {
            EXPECT_NE(SendMessageW(Item(dialog, id), BM_GETIMAGE, IMAGE_ICON, 0), 0) << id;
        }
        EXPECT_TRUE(GetWindowLongW(Item(dialog, IDC_PREVIEW_PANE), GWL_STYLE) & SS_NOTIFY);
        // Defaults without a settings file.
        EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_SHAPE_TOP_AND_BOTTOM), BST_CHECKED);
        EXPECT_EQ(Text(dialog, IDC_DIMENSION_EDIT), L"0");
        EXPECT_EQ(SendMessageW(Item(dialog, IDC_UNDEFINED_AREA_COMBO), CB_GETCURSEL, 0, 0), 0);
        PressCancel(dialog);
    });
}

TEST_F(DialogTest, OpensWithTheFocusOnTheDimensionEdit) {
    WriteIni("[Parallelogram]\r\nshape=4\r\ndimension=12\r\n");
    RunDialog(image, 40, 30, [](HWND dialog) {
        EXPECT_EQ(GetDlgCtrlID(GetFocus()), IDC_DIMENSION_EDIT);
        DWORD start = 0, end = 0;
        SendMessageW(Item(dialog, IDC_DIMENSION_EDIT), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                     reinterpret_cast<LPARAM>(&end));
        EXPECT_EQ(start, 0u) << "typing replaces the whole text";
        EXPECT_EQ(end, 2u) << "typing replaces the whole text";
        PressCancel(dialog);
    });
}

// A click on the up-down control's upper or lower half.
void ClickSpin(HWND dialog, bool up) {
    HWND spin = Item(dialog, IDC_DIMENSION_SPIN);
    RECT client;
    GetClientRect(spin, &client);
    const LPARAM where = MAKELPARAM(client.right / 2, up ? client.bottom / 4 : client.bottom * 3 / 4);
    SendMessageW(spin, WM_LBUTTONDOWN, MK_LBUTTON, where);
    SendMessageW(spin, WM_LBUTTONUP, 0, where);
}

TEST_F(DialogTest, UpDownStepsTheEditAndTheSliderWithinMinusToPlusHundred) {
    struct SpinCase {
        int start;
        bool up;
        int expected;
    };
    const SpinCase cases[] = {{7, true, 8}, {7, false, 6}, {100, true, 100}, {-100, false, -100}};
    RunDialog(image, 40, 30, [&](HWND dialog) {
        int low = 0, high = 0;
        SendMessageW(Item(dialog, IDC_DIMENSION_SPIN), UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low),
                     reinterpret_cast<LPARAM>(&high));
        EXPECT_EQ(low, -100);
        EXPECT_EQ(high, 100);
        for (const SpinCase& c : cases) {
            SetDlgItemInt(dialog, IDC_DIMENSION_EDIT, static_cast<UINT>(c.start), TRUE);
            ClickSpin(dialog, c.up);
            EXPECT_EQ(Text(dialog, IDC_DIMENSION_EDIT), std::to_wstring(c.expected))
                << c.start << (c.up ? " up" : " down");
            EXPECT_EQ(SliderPos(dialog), c.expected) << c.start << (c.up ? " up" : " down");
        }
        PressCancel(dialog);
    });
}

struct EditCase {
    const wchar_t* typed;
    const wchar_t* shown;  // the edit afterwards
    int value;             // the slider afterwards
};

TEST_F(DialogTest, EditAcceptsOnlyValidDimensionsAndPutsTheLastOneBack) {
    const EditCase cases[] = {
        {L"0", L"0", 0},       {L"00", L"35", 35},    {L"05", L"35", 35},         {L"-0", L"35", 35},
        {L"-05", L"35", 35},   {L"100", L"100", 100}, {L"-100", L"-100", -100},   {L"101", L"35", 35},
        {L"-101", L"35", 35},  {L"1000", L"35", 35},  {L"1234567890", L"35", 35}, {L" 5", L"35", 35},
        {L"5 ", L"35", 35},    {L"+5", L"35", 35},    {L"-", L"35", 35},          {L"", L"35", 35},
        {L"-35", L"-35", -35}, {L"12a", L"35", 35},
    };
    RunDialog(image, 40, 30, [&](HWND dialog) {
        for (const EditCase& c : cases) {
            SetEdit(dialog, L"35");
            ASSERT_EQ(Text(dialog, IDC_DIMENSION_EDIT), L"35");
            SetEdit(dialog, c.typed);
            EXPECT_EQ(Text(dialog, IDC_DIMENSION_EDIT), c.shown)
                << "typed \"" << testing::PrintToString(std::wstring(c.typed)) << '"';
            EXPECT_EQ(SliderPos(dialog), c.value);
        }
        PressCancel(dialog);
    });
}

struct ScrollCase {
    int start;
    int code;
    int position;
    int expected;
};

TEST_F(DialogTest, SliderCodesMoveTheValueWithinTheRange) {
    const ScrollCase cases[] = {
        {100, TB_LINEDOWN, 0, 100},    {-100, TB_LINEUP, 0, -100}, {7, TB_LINEDOWN, 0, 8}, {7, TB_LINEUP, 0, 6},
        {95, TB_PAGEDOWN, 0, 100},     {-95, TB_PAGEUP, 0, -100},  {20, TB_PAGEUP, 0, 10}, {0, TB_THUMBTRACK, -42, -42},
        {0, TB_THUMBPOSITION, 77, 77}, {5, TB_TOP, 0, -100},       {5, TB_BOTTOM, 0, 100}, {5, TB_ENDTRACK, 0, 5},
    };
    RunDialog(image, 40, 30, [&](HWND dialog) {
        for (const ScrollCase& c : cases) {
            SetDlgItemInt(dialog, IDC_DIMENSION_EDIT, static_cast<UINT>(c.start), TRUE);
            Scroll(dialog, c.code, c.position);
            BOOL ok = FALSE;
            EXPECT_EQ(static_cast<int>(GetDlgItemInt(dialog, IDC_DIMENSION_EDIT, &ok, TRUE)), c.expected)
                << "start " << c.start << " code " << c.code;
            EXPECT_EQ(SliderPos(dialog), c.expected) << "start " << c.start << " code " << c.code;
        }
        PressCancel(dialog);
    });
}

TEST_F(DialogTest, PreviewRedrawsOnlyForChangesThatMatterWhileItIsOn) {
    RunDialog(image, 40, 30, [](HWND dialog) {
        // Preview off: nothing redraws the pane ...
        auto redrawnBy = [&](const std::function<void()>& action) {
            MarkPane(dialog);
            action();
            return PaneRedrawn(dialog);
        };
        EXPECT_FALSE(redrawnBy([&] { SetEdit(dialog, L"20"); }));
        EXPECT_FALSE(redrawnBy([&] { Click(dialog, IDC_SHAPE_BOTTOM); }));
        EXPECT_FALSE(redrawnBy([&] { Click(dialog, IDC_TRANSPARENT_CHECK); }));
        EXPECT_FALSE(redrawnBy([&] { SelectMode(dialog, 2); }));
        // ... except the preview box itself, in both directions.
        EXPECT_TRUE(redrawnBy([&] { Click(dialog, IDC_PREVIEW_CHECK); }));
        EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_PREVIEW_CHECK), BST_CHECKED);
        EXPECT_TRUE(redrawnBy([&] { Click(dialog, IDC_PREVIEW_CHECK); }));
        Click(dialog, IDC_PREVIEW_CHECK);
        // Preview on: every change that matters redraws at once.
        EXPECT_TRUE(redrawnBy([&] { SetEdit(dialog, L"30"); }));
        EXPECT_FALSE(redrawnBy([&] { SetEdit(dialog, L"30"); })) << "same value";
        EXPECT_FALSE(redrawnBy([&] { SetEdit(dialog, L"x"); })) << "refused text";
        EXPECT_TRUE(redrawnBy([&] { Scroll(dialog, TB_LINEDOWN); }));
        EXPECT_TRUE(redrawnBy([&] { Click(dialog, IDC_SHAPE_LEFT_AND_RIGHT); }));
        EXPECT_TRUE(redrawnBy([&] { Click(dialog, IDC_SHAPE_LEFT_AND_RIGHT); })) << "already checked";
        EXPECT_TRUE(redrawnBy([&] { Click(dialog, IDC_TRANSPARENT_CHECK); }));
        EXPECT_TRUE(redrawnBy([&] { SelectMode(dialog, 3); }));
        PressCancel(dialog);
    });
}

TEST_F(DialogTest, OkWritesTheFiveKeysInOrderIntoANewFile) {
    const std::int32_t result = RunDialog(image, 40, 30, [](HWND dialog) {
        Click(dialog, IDC_SHAPE_LEFT_AND_RIGHT);
        SetEdit(dialog, L"-35");
        SelectMode(dialog, 4);
        Click(dialog, IDC_TRANSPARENT_CHECK);
        Click(dialog, IDC_PREVIEW_CHECK);
        PressOk(dialog);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(ReadIni(),
              "[Parallelogram]\r\nshape=3\r\ndimension=-35\r\nundefarea=4\r\ntransparent=1\r\n"
              "preview=1\r\n");
}

TEST_F(DialogTest, OkKeepsEverythingElseInTheFile) {
    WriteIni(
        "[Other]\r\nkeep=yes\r\n[Parallelogram]\r\nfavourite=blue\r\ndimension=12\r\n"
        "shape=5\r\n");
    const std::int32_t result = RunDialog(image, 40, 30, [](HWND dialog) {
        EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_SHAPE_RIGHT), BST_CHECKED);
        EXPECT_EQ(Text(dialog, IDC_DIMENSION_EDIT), L"12");
        EXPECT_EQ(SliderPos(dialog), 12);
        SetEdit(dialog, L"40");
        PressOk(dialog);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(ReadIni(),
              "[Other]\r\nkeep=yes\r\n[Parallelogram]\r\nfavourite=blue\r\ndimension=40\r\n"
              "shape=5\r\nundefarea=0\r\ntransparent=0\r\npreview=0\r\n");
}

TEST_F(DialogTest, CancelEscapeAndCloseBoxLeaveTheFileAsItWas) {
    const std::string before = "[Parallelogram]\r\nshape=2\r\ndimension=250\r\n; a comment\r\n";
    const std::function<void(HWND)> closers[] = {
        [](HWND dialog) { PressCancel(dialog); },
        [](HWND dialog) {
            SetFocus(Item(dialog, IDC_DIMENSION_EDIT));
            PostMessageW(Item(dialog, IDC_DIMENSION_EDIT), WM_KEYDOWN, VK_ESCAPE, 0);
        },
        [](HWND dialog) { SendMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); },
    };
    for (const auto& close : closers) {
        WriteIni(before);
        const std::int32_t result = RunDialog(image, 40, 30, [&](HWND dialog) {
            // A dimension outside the range opens as 0.
            EXPECT_EQ(Text(dialog, IDC_DIMENSION_EDIT), L"0");
            EXPECT_EQ(SliderPos(dialog), 0);
            Click(dialog, IDC_SHAPE_TOP_AND_BOTTOM);
            SetEdit(dialog, L"77");
            Click(dialog, IDC_PREVIEW_CHECK);
            close(dialog);
        });
        EXPECT_EQ(result, 0);
        EXPECT_EQ(ReadIni(), before);
    }
}

// The expected pane: window colour, with the rendered window over the checkerboard.
class ExpectedPane : public PixelSink {
public:
    ExpectedPane(int w, int h) : width(w), height(h), pixels(w * h) {
        const COLORREF c = GetSysColor(COLOR_WINDOW);
        for (auto& p : pixels) p = PixelBGRA{GetBValue(c), GetGValue(c), GetRValue(c), 0};
    }
    void PutPixel(std::int32_t x, std::int32_t y, const PixelBGRA& pixel, std::uint8_t alpha) override {
        ASSERT_TRUE(StoreOverChecker(pixels.data(), width, height, x, y, pixel, alpha));
    }
    int width, height;
    std::vector<PixelBGRA> pixels;
};

void ExpectPaneEquals(const PaneShot& shot, const ExpectedPane& expected) {
    ASSERT_EQ(shot.width, expected.width);
    ASSERT_EQ(shot.height, expected.height);
    int wrong = 0;
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x)
            if (shot.At(x, y) != expected.pixels[y * shot.width + x] && ++wrong <= 5)
                ADD_FAILURE() << "pane pixel " << x << "," << y;
    EXPECT_EQ(wrong, 0);
}

// The pane's size in pixels, from a dialog opened for the purpose.
SIZE PaneSize(const std::vector<PixelBGRA>& image, int width, int height) {
    SIZE size{0, 0};
    RunDialog(image, width, height, [&](HWND dialog) {
        RECT client;
        GetClientRect(Item(dialog, IDC_PREVIEW_PANE), &client);
        size = SIZE{client.right, client.bottom};
        PressCancel(dialog);
    });
    return size;
}

TEST_F(DialogTest, ASmallImageIsCentredWithTheOddMarginRightAndBelow) {
    // Three pixels narrower and shorter than the pane: one margin column on
    // the left and two on the right, one row above and two below.  50% alpha
    // so that the checkerboard shows through.
    const SIZE pane = PaneSize(image, 40, 30);
    ASSERT_GT(pane.cx, 3);
    ASSERT_GT(pane.cy, 3);
    const int w = pane.cx - 3, h = pane.cy - 3;
    const auto translucent = CoordinateImage(w, h, 128);
    WriteIni("[Parallelogram]\r\npreview=1\r\n");
    RunDialog(translucent, w, h, [&](HWND dialog) {
        Click(dialog, IDC_PREVIEW_CHECK);
        Click(dialog, IDC_PREVIEW_CHECK);  // a synchronous redraw of the unchanged image
        const PaneShot now = ReadPane(dialog);
        ExpectedPane expected(now.width, now.height);
        RenderUnchanged(expected, PreviewImage{translucent.data(), w, h}, PreviewWindow{{1, 1}, {0, 0}, {w, h}});
        ExpectPaneEquals(now, expected);
        PressCancel(dialog);
    });
}

TEST_F(DialogTest, DraggingPansALargeImageAndStopsAtItsEdges) {
    const int w = 400, h = 300;
    const auto big = CoordinateImage(w, h);
    RunDialog(big, w, h, [&](HWND dialog) {
        HWND pane = Item(dialog, IDC_PREVIEW_PANE);
        const PaneShot first = ReadPane(dialog);
        auto drag = [&](int fromX, int fromY, int toX, int toY) {
            SendMessageW(pane, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(fromX, fromY));
            EXPECT_EQ(GetCapture(), pane);
            SendMessageW(pane, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(static_cast<WORD>(toX), static_cast<WORD>(toY)));
            SendMessageW(pane, WM_LBUTTONUP, 0, MAKELPARAM(static_cast<WORD>(toX), static_cast<WORD>(toY)));
            EXPECT_EQ(GetCapture(), nullptr);
        };
        auto shownAtOrigin = [&] {
            const PixelBGRA p = ReadPane(dialog).At(0, 0);
            return std::pair<int, int>(p.blue, p.green);
        };
        EXPECT_EQ(shownAtOrigin(), (std::pair<int, int>(0, 0)));
        drag(50, 50, 30, 40);  // the image follows the pointer: left 20, up 10
        EXPECT_EQ(shownAtOrigin(), (std::pair<int, int>(20, 10)));
        drag(50, 50, 40, 50);
        EXPECT_EQ(shownAtOrigin(), (std::pair<int, int>(30, 10)));
        drag(10, 10, 100, 100);  // past the top-left corner
        EXPECT_EQ(shownAtOrigin(), (std::pair<int, int>(0, 0)));
        drag(60, 60, -1000, -1000);  // past the bottom-right corner (captured, negative)
        EXPECT_EQ(shownAtOrigin(), (std::pair<int, int>((w - first.width) & 0xFF, (h - first.height) & 0xFF)));
        const PaneShot last = ReadPane(dialog);
        const PixelBGRA corner = last.At(last.width - 1, last.height - 1);
        EXPECT_EQ(corner.blue, (w - 1) & 0xFF);
        EXPECT_EQ(corner.green, (h - 1) & 0xFF);
        PressCancel(dialog);
    });
}

// The cursor the pane set last, compared with the plug-in's own resources.
HCURSOR PluginCursor(int id) { return LoadCursorW(pluginModule, MAKEINTRESOURCEW(id)); }

TEST_F(DialogTest, CursorsShowAnOpenHandOverAPannablePaneAndAClosedOneWhileDragging) {
    const HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    const auto big = CoordinateImage(400, 30);  // pans horizontally only
    RunDialog(big, 400, 30, [&](HWND dialog) {
        HWND pane = Item(dialog, IDC_PREVIEW_PANE);
        ASSERT_NE(PluginCursor(IDCUR_OPEN_HAND), nullptr);
        ASSERT_NE(PluginCursor(IDCUR_CLOSED_HAND), nullptr);
        SetCursor(arrow);
        SendMessageW(pane, WM_MOUSEMOVE, 0, MAKELPARAM(20, 20));
        EXPECT_EQ(GetCursor(), PluginCursor(IDCUR_OPEN_HAND)) << "hovering";
        SetCursor(arrow);
        SendMessageW(pane, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
        EXPECT_EQ(GetCursor(), PluginCursor(IDCUR_CLOSED_HAND)) << "drag started";
        SetCursor(arrow);
        SendMessageW(pane, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(25, 20));
        EXPECT_EQ(GetCursor(), PluginCursor(IDCUR_CLOSED_HAND)) << "dragging";
        SendMessageW(pane, WM_LBUTTONUP, 0, MAKELPARAM(25, 20));
        PressCancel(dialog);
    });
    RunDialog(image, 40, 30, [&](HWND dialog) {  // the image fits
        HWND pane = Item(dialog, IDC_PREVIEW_PANE);
        SetCursor(arrow);
        SendMessageW(pane, WM_MOUSEMOVE, 0, MAKELPARAM(20, 20));
        SendMessageW(pane, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
        EXPECT_EQ(GetCapture(), nullptr);
        SendMessageW(pane, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(25, 20));
        SendMessageW(pane, WM_LBUTTONUP, 0, MAKELPARAM(25, 20));
        EXPECT_EQ(GetCursor(), arrow);
        PressCancel(dialog);
    });
}

// What the pane shows in its error state: the two-line error text drawn
// over whatever was there, in the default font and colour of its DC.
PaneShot ExpectedErrorText(HWND dialog, const PaneShot& underneath, int error) {
    PaneShot expected = underneath;
    DrawOnShot(Item(dialog, IDC_PREVIEW_PANE), expected, [&](HDC screen, HDC memory) {
        SelectObject(memory, GetCurrentObject(screen, OBJ_FONT));
        SetTextColor(memory, GetTextColor(screen));
        SetBkMode(memory, TRANSPARENT);
        RECT client{0, 0, expected.width, expected.height};
        const std::string text = "プレビューエラー！\nエラー番号 " + std::to_string(error);
        DrawTextA(memory, text.c_str(), -1, &client, 0);
    });
    return expected;
}

TEST_F(DialogTest, APaneInItsErrorStateShowsTheErrorTextAndIsDisabled) {
    WriteIni("[Parallelogram]\r\nshape=1\r\ndimension=40\r\npreview=1\r\n");
    RunDialog(
        image, 40, 30,
        [](HWND dialog) {
            HWND pane = Item(dialog, IDC_PREVIEW_PANE);
            EXPECT_TRUE(IsWindowEnabled(pane));
            // The hook makes the next rendering write one pixel outside the pane.
            SendMessageW(dialog, kHookFailPaneMessage, 0, 0);
            MarkPane(dialog);
            Click(dialog, IDC_SHAPE_BOTTOM);
            EXPECT_FALSE(PaneRedrawn(dialog)) << "the failing frame is not shown";
            EXPECT_FALSE(IsWindowEnabled(pane));
            // From now on every redraw shows the text over what was there.
            for (int shape : {IDC_SHAPE_LEFT_AND_RIGHT, IDC_SHAPE_TOP_AND_BOTTOM}) {
                MarkPane(dialog);
                const PaneShot marked = ReadPane(dialog);
                Click(dialog, shape);
                const PaneShot shown = ReadPane(dialog);
                const PaneShot expected = ExpectedErrorText(dialog, marked, 6);
                ASSERT_EQ(shown.pixels.size(), expected.pixels.size());
                int differing = 0, text = 0;
                for (std::size_t i = 0; i < shown.pixels.size(); ++i) {
                    const int x = static_cast<int>(i) % shown.width, y = static_cast<int>(i) / shown.width;
                    if (shown.At(x, y) != expected.At(x, y)) ++differing;
                    if (marked.At(x, y) != expected.At(x, y)) ++text;
                }
                EXPECT_EQ(differing, 0) << "after clicking " << shape;
                EXPECT_GT(text, 0) << "the error text draws something";
            }
            PressCancel(dialog);
        },
        hookedSetupExport);
}

TEST_F(DialogTest, ShearedPreviewFollowsTheMaskAndTheTransparentRule) {
    const int w = 40, h = 30;
    std::vector<std::uint8_t> mask(w * h, 0xFF);
    for (int y = 5; y < 25; ++y)
        for (int x = 8; x < 30; ++x) mask[y * w + x] = (x + y) % 3 == 0 ? 254 : 0;
    mask[10 * w + 12] = 0xFF;  // a hole inside the bounds
    host.mask = mask.data();
    WriteIni("[Parallelogram]\r\nshape=1\r\ndimension=100\r\nundefarea=3\r\ntransparent=1\r\npreview=1\r\n");
    RunDialog(image, w, h, [&](HWND dialog) {
        Click(dialog, IDC_SHAPE_TOP);  // redraw now, synchronously
        const PaneShot shot = ReadPane(dialog);
        ExpectedPane expected(shot.width, shot.height);
        const PreviewPoint destination{(shot.width - w) / 2, (shot.height - h) / 2};
        const PreviewShear shear{{8, 5, 30, 25}, mask.data(), 1, 100, UndefinedAreaPolicy{3, {}, 1}};
        RenderRowShear(expected, PreviewImage{image.data(), w, h}, PreviewWindow{destination, {0, 0}, {w, h}}, shear);
        ExpectPaneEquals(shot, expected);
        // Unselected: unchanged.  Top row of the selection at 100%: shifted a
        // whole width to the left, so outside the image: bare checkerboard.
        const PixelBGRA hole = shot.At(destination.x + 12, destination.y + 10);
        EXPECT_EQ(hole, BlendOverChecker(destination.x + 12, destination.y + 10, image[10 * w + 12], 255));
        const int cx = destination.x + 8, cy = destination.y + 5;
        const std::uint8_t board = ((cx ^ cy) & 8) ? 192 : 255;
        EXPECT_EQ(shot.At(cx, cy), (PixelBGRA{board, board, board, 0}));
        PressCancel(dialog);
    });
}

TEST_F(DialogTest, ColourModesUseTheHostsColours) {
    const int w = 40, h = 30;
    WriteIni("[Parallelogram]\r\nshape=3\r\ndimension=-60\r\nundefarea=5\r\npreview=1\r\n");
    RunDialog(image, w, h, [&](HWND dialog) {
        Click(dialog, IDC_SHAPE_LEFT_AND_RIGHT);
        const PaneShot shot = ReadPane(dialog);
        ExpectedPane expected(shot.width, shot.height);
        const PreviewPoint destination{(shot.width - w) / 2, (shot.height - h) / 2};
        const PreviewShear shear{{0, 0, w, h}, nullptr, 3, -60, UndefinedAreaPolicy{5, host.background, 0}};
        RenderColumnShear(expected, PreviewImage{image.data(), w, h}, PreviewWindow{destination, {0, 0}, {w, h}},
                          shear);
        ExpectPaneEquals(shot, expected);
        PressCancel(dialog);
    });
}

}  // namespace

extern "C" std::int32_t WINAPI RXF_QueryClientInfo(std::int32_t code, void* data) {
    switch (code) {
        case QueryDrawingColour:
            *static_cast<PixelBGRA*>(data) = host.drawing;
            return 1;
        case QueryBackgroundColour:
            *static_cast<PixelBGRA*>(data) = host.background;
            return 1;
        case QuerySelectionMask:
            if (host.mask == nullptr) return 0;
            *static_cast<const std::uint8_t**>(data) = host.mask;
            return 1;
        default:
            return 0;
    }
}

// Copies the plug-in next to a private settings file and loads it.
int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s PARALLELOGRAM.DLL HOOKED.DLL [gtest options]\n", argv[0]);
        return 2;
    }
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_UPDOWN_CLASS | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);

    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    pluginDirectory = std::string(temp) + "pg-dialog-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(pluginDirectory.c_str(), nullptr);
    const std::string dll = pluginDirectory + "\\parallelogram.dll";
    if (!CopyFileA(argv[1], dll.c_str(), FALSE)) {
        std::fprintf(stderr, "cannot copy %s\n", argv[1]);
        return 2;
    }
    const std::string hooked = pluginDirectory + "\\" + kHookedPluginName;
    if (!CopyFileA(argv[2], hooked.c_str(), FALSE)) {
        std::fprintf(stderr, "cannot copy %s\n", argv[2]);
        return 2;
    }
    pluginModule = LoadLibraryA(dll.c_str());
    HMODULE hookedModule = LoadLibraryA(hooked.c_str());
    if (pluginModule == nullptr || hookedModule == nullptr) {
        std::fprintf(stderr, "cannot load the plug-ins from %s\n", pluginDirectory.c_str());
        return 2;
    }
    setupExport = reinterpret_cast<SetupFunction>(reinterpret_cast<void*>(GetProcAddress(pluginModule, "RXF_Setup")));
    hookedSetupExport =
        reinterpret_cast<SetupFunction>(reinterpret_cast<void*>(GetProcAddress(hookedModule, "RXF_Setup")));
    if (setupExport == nullptr || hookedSetupExport == nullptr) return 2;

    const int result = RUN_ALL_TESTS();
    FreeLibrary(hookedModule);
    FreeLibrary(pluginModule);
    DeleteFileA(IniPath().c_str());
    DeleteFileA(hooked.c_str());
    DeleteFileA(dll.c_str());
    RemoveDirectoryA(pluginDirectory.c_str());
    return result;
}
