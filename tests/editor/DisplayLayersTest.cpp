// The display's drawing under a real window: a top-level window holding a
// 670 x 260 static display control, read back pixel by pixel.
#include "editor/DisplayLayers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

#include "analysis/SpectrogramAnalyser.h"
#include "curve/PvcCurve.h"
#include "detect/SpectralPvcDetector.h"
#include "editor/ControlIds.h"
#include "editor/ViewWindow.h"
#include "signals/SyntheticSignals.h"

namespace {

constexpr int kWidth = 670;
constexpr int kHeight = 260;
constexpr int kRate = 44100;
constexpr int kFrames = 2 * kRate;

// A copy of a context's pixels.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;  // 0x00rrggbb, top row first

  Rgb at(int x, int y) const {
    const std::uint32_t p = pixels[static_cast<std::size_t>(y) * width + x];
    return {static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 8), static_cast<std::uint8_t>(p)};
  }
  bool operator==(const Picture&) const = default;
};

Picture capture(HDC source, int width, int height) {
  Picture picture{width, height, {}};
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HDC memory = CreateCompatibleDC(source);
  HBITMAP copy = CreateCompatibleBitmap(source, width, height);
  HGDIOBJ old = SelectObject(memory, copy);
  BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  picture.pixels.resize(static_cast<std::size_t>(width) * height);
  GetDIBits(memory, copy, 0, static_cast<UINT>(height), picture.pixels.data(), &info, DIB_RGB_COLORS);
  DeleteObject(copy);
  DeleteDC(memory);
  for (auto& p : picture.pixels) p &= 0xFFFFFFu;
  return picture;
}

// 24-bit BMP, for looking at what the tests drew.
void saveBmp(const Picture& picture, const std::string& path) {
  const int stride = (picture.width * 3 + 3) & ~3;
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = picture.width;
  info.biHeight = picture.height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  info.biSizeImage = static_cast<DWORD>(stride * picture.height);
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + info.biSizeImage;
  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return;
  std::fwrite(&file, sizeof file, 1, out);
  std::fwrite(&info, sizeof info, 1, out);
  std::vector<unsigned char> row(static_cast<std::size_t>(stride), 0);
  for (int y = picture.height - 1; y >= 0; --y) {
    for (int x = 0; x < picture.width; ++x) {
      const Rgb c = picture.at(x, y);
      row[static_cast<std::size_t>(x) * 3] = c.blue;
      row[static_cast<std::size_t>(x) * 3 + 1] = c.green;
      row[static_cast<std::size_t>(x) * 3 + 2] = c.red;
    }
    std::fwrite(row.data(), 1, row.size(), out);
  }
  std::fclose(out);
}

const Rgb kBlackPixel{0, 0, 0};
const Rgb kWhitePixel{255, 255, 255};
const Rgb kRedPixel{255, 0, 0};

Rgb andWith(Rgb a, std::uint8_t v) {
  return {static_cast<std::uint8_t>(a.red & v), static_cast<std::uint8_t>(a.green & v),
          static_cast<std::uint8_t>(a.blue & v)};
}

DisplayLayers* paintedLayers = nullptr;
WNDPROC staticProcedure = nullptr;

// The display paints from the layers, as the editor's display procedure does.
LRESULT CALLBACK displayProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT && paintedLayers) return paintedLayers->paintMessage(window, wParam);
  if (message == WM_ERASEBKGND) return 1;
  return CallWindowProcA(staticProcedure, window, message, wParam, lParam);
}

void pumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

std::vector<float> testSignal() {
  // Four harmonics of 1500 Hz with 0.5 % wow, and a quieter sweep.
  std::vector<detect_test::Partial> partials;
  for (int h = 1; h <= 4; ++h) partials.push_back({1500.0 * h, 0.2 / h, 0.3 * h});
  std::vector<float> signal = detect_test::synthesise(kRate, kFrames, partials, {0.005, 2.0, 0.0});
  for (int i = 0; i < kFrames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double phase = 2.0 * std::numbers::pi * (300.0 * t + 4000.0 * t * t);
    signal[static_cast<std::size_t>(i)] += static_cast<float>(0.01 * std::sin(phase));
  }
  return signal;
}

class DisplayLayersTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WNDCLASSA cls{};
    cls.lpfnWndProc = DefWindowProcA;
    cls.hInstance = GetModuleHandleA(nullptr);
    cls.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    cls.lpszClassName = "PelmoraDisplayTest";
    RegisterClassA(&cls);
    // Topmost and out of the corner where other tests' windows open: drawing
    // into a window DC is clipped where another window covers it.
    top_ = CreateWindowExA(WS_EX_TOPMOST, "PelmoraDisplayTest", "display test", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                           420, 620, 820, 380, nullptr, nullptr, cls.hInstance, nullptr);
    display_ = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_OWNERDRAW | SS_NOPREFIX | SS_NOTIFY, 75,
                               25, kWidth, kHeight, top_, reinterpret_cast<HMENU>(editor::kDisplay), cls.hInstance, nullptr);
    staticProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(display_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(displayProcedure)));
    UpdateWindow(top_);
    pumpMessages();

    analyser_ = new SpectrogramAnalyser;
    analyser_->setColumns(kWidth - 2);
    analyser_->setRows(kHeight - 1);
    analyser_->setSampleRate(kRate);
    analyser_->setZoom(1.0f);
    analyser_->allocateColumns();
    analyser_->prepare(0, kFrames, kFrames);
    signal_ = new std::vector<float>(testSignal());
  }

  static void TearDownTestSuite() {
    paintedLayers = nullptr;
    DestroyWindow(top_);
    UnregisterClassA("PelmoraDisplayTest", GetModuleHandleA(nullptr));
    delete analyser_;
    delete signal_;
  }

  void SetUp() override {
    ASSERT_TRUE(layers_.makeLayers(display_));
    paintedLayers = &layers_;
  }
  void TearDown() override {
    paintedLayers = nullptr;
    layers_.deleteLayers();
  }

  // The reading pass: every completed column is painted at once.
  void readSignal() {
    analyser_->prepare(0, kFrames, kFrames);
    for (float s : *signal_)
      while (analyser_->feed(s)) layers_.drawSpectrogramColumn(analyser_->lastColumn(), *analyser_, true);
  }

  Picture displayPicture() const {
    HDC dc = GetDC(display_);
    Picture p = capture(dc, kWidth, kHeight);
    ReleaseDC(display_, dc);
    return p;
  }

  static HWND top_;
  static HWND display_;
  static SpectrogramAnalyser* analyser_;
  static std::vector<float>* signal_;
  DisplayLayers layers_;
};

HWND DisplayLayersTest::top_ = nullptr;
HWND DisplayLayersTest::display_ = nullptr;
SpectrogramAnalyser* DisplayLayersTest::analyser_ = nullptr;
std::vector<float>* DisplayLayersTest::signal_ = nullptr;

int countPixels(const Picture& p, Rgb colour, int x0, int y0, int x1, int y1) {
  int n = 0;
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) n += p.at(x, y) == colour;
  return n;
}

// A curve laid out over the whole file, as the reading pass leaves it.
struct TestCurve {
  PvcCurve curve;
  explicit TestCurve(const SpectrogramAnalyser& analyser) : curve(tempFolder()) {
    curve.resetFlat(kFrames);
    curve.setLength(kFrames);
    curve.setView(kWidth - 2, kHeight - 1, 0, kFrames);
    curve.layout(analyser);
  }
  static std::string tempFolder() {
    char path[MAX_PATH];
    GetTempPathA(MAX_PATH, path);
    return std::string(path) + "pelmora_display_test";
  }
};

TEST_F(DisplayLayersTest, ClearedLayersAreWhiteWithABlackFrame) {
  layers_.presentDisplay();
  const Picture shown = displayPicture();
  for (HDC dc : {layers_.spectrogramDc(), layers_.curveDc(), layers_.compositeDc()}) {
    const Picture layer = capture(dc, kWidth, kHeight);
    EXPECT_EQ(layer, shown);
  }
  for (int x = 0; x < kWidth; x += 7) {
    EXPECT_EQ(shown.at(x, 0), kBlackPixel);
    EXPECT_EQ(shown.at(x, kHeight - 1), kBlackPixel);
  }
  for (int y = 0; y < kHeight; y += 7) {
    EXPECT_EQ(shown.at(0, y), kBlackPixel);
    EXPECT_EQ(shown.at(kWidth - 1, y), kBlackPixel);
  }
  EXPECT_EQ(shown.at(1, 1), kWhitePixel);
  EXPECT_EQ(shown.at(kWidth - 2, kHeight - 2), kWhitePixel);
  EXPECT_EQ(shown.at(300, 130), kWhitePixel);
}

TEST_F(DisplayLayersTest, ColumnsShowTheAnalysersLevelsThroughTheColourTable) {
  readSignal();
  ASSERT_EQ(analyser_->nextColumn(), kWidth - 2);
  const Picture layer = capture(layers_.spectrogramDc(), kWidth, kHeight);
  const Picture shown = displayPicture();
  float lowest = 100.0f;
  float highest = 0.0f;
  for (int c : {0, 1, 100, 333, 500, 666, 667}) {
    for (int y = 1; y <= kHeight - 2; ++y) {
      const float level = analyser_->levelAt(c, y);
      lowest = std::min(lowest, level);
      highest = std::max(highest, level);
      ASSERT_EQ(layer.at(c + 1, y), layers_.colours().colourOf(level)) << "column " << c << " row " << y;
      ASSERT_EQ(shown.at(c + 1, y), layer.at(c + 1, y)) << "column " << c << " row " << y;
    }
    // The frame rows stay.
    EXPECT_EQ(layer.at(c + 1, 0), kBlackPixel);
    EXPECT_EQ(layer.at(c + 1, kHeight - 1), kBlackPixel);
  }
  // The signal shows: loud partials and quiet background both occur.
  EXPECT_GT(highest, 60.0f);
  EXPECT_LT(lowest, 10.0f);
  for (int y = 0; y < kHeight; ++y) {
    EXPECT_EQ(layer.at(0, y), kBlackPixel);
    EXPECT_EQ(layer.at(kWidth - 1, y), kBlackPixel);
  }

  // The logarithmic scale, redrawn from the stored levels.
  layers_.redrawSpectrogram(*analyser_, false);
  const Picture logLayer = capture(layers_.spectrogramDc(), kWidth, kHeight);
  for (int c : {0, 250, 667})
    for (int y = 1; y <= kHeight - 2; ++y)
      ASSERT_EQ(logLayer.at(c + 1, y), layers_.colours().colourOf(analyser_->levelAtLog(c, y)))
          << "column " << c << " row " << y;
  EXPECT_NE(logLayer, layer);
}

TEST_F(DisplayLayersTest, ColumnsOutsideTheLayerAreNotDrawn) {
  layers_.presentDisplay();
  const Picture before = capture(layers_.spectrogramDc(), kWidth, kHeight);
  readSignal();
  const Picture after = capture(layers_.spectrogramDc(), kWidth, kHeight);
  for (int c : {-1, -100000, kWidth - 2, kWidth, 1 << 30, 0x7FFFFFFF})
    layers_.drawSpectrogramColumn(c, *analyser_, true);
  EXPECT_EQ(capture(layers_.spectrogramDc(), kWidth, kHeight), after);
  EXPECT_NE(before, after);
}

TEST_F(DisplayLayersTest, TheCurveIsDrawnInBlackThroughTheAndLayer) {
  readSignal();
  TestCurve test(*analyser_);
  const int row = analyser_->rowForRatio(1.0f);
  ASSERT_GT(row, 5);
  ASSERT_LT(row, kHeight - 6);
  layers_.drawCurve(&test.curve, false);
  EXPECT_TRUE(layers_.curveDrawn());
  layers_.presentDisplay();
  const Picture shown = displayPicture();
  const Picture spectrogram = capture(layers_.spectrogramDc(), kWidth, kHeight);
  for (int x = 2; x < kWidth - 4; ++x) {
    ASSERT_EQ(shown.at(x, row), kBlackPixel) << "column " << x;
    // Away from the line the spectrogram shows unchanged.
    ASSERT_EQ(shown.at(x, row - 4), spectrogram.at(x, row - 4)) << "column " << x;
    ASSERT_EQ(shown.at(x, row + 4), spectrogram.at(x, row + 4)) << "column " << x;
  }
  // The curve layer's frame is the display's border.
  EXPECT_EQ(shown.at(kWidth - 1, 100), kBlackPixel);
  EXPECT_EQ(shown.at(300, kHeight - 1), kBlackPixel);

  // Without a curve the layer is only cleared.
  layers_.drawCurve(nullptr, false);
  EXPECT_FALSE(layers_.curveDrawn());
  layers_.presentDisplay();
  EXPECT_EQ(displayPicture().at(300, row), spectrogram.at(300, row));
}

TEST_F(DisplayLayersTest, PointMarkersGreyAtTheEndsBlackWhenGrabbedWhiteOtherwise) {
  TestCurve test(*analyser_);
  PvcCurve& curve = test.curve;
  ASSERT_TRUE(curve.insertPoint(kFrames / 4, 1.0f, false));
  ASSERT_TRUE(curve.insertPoint(kFrames / 2, 1.05f, false));
  curve.layout(*analyser_);
  ASSERT_EQ(curve.pointCount(), 4);
  const PvcPoint grabbed = curve.points()[2];
  ASSERT_TRUE(curve.selectNear(grabbed.column, grabbed.row));
  layers_.drawCurve(&curve, true);
  const Picture layer = capture(layers_.curveDc(), kWidth, kHeight);
  const Rgb grey{128, 128, 128};

  const PvcPoint first = curve.points()[0];
  EXPECT_EQ(layer.at(first.column + 3, first.row - 3), grey);  // outline
  EXPECT_EQ(layer.at(first.column + 2, first.row + 2), grey);  // fill
  const PvcPoint last = curve.points()[3];
  EXPECT_EQ(layer.at(last.column - 2, last.row + 2), grey);
  EXPECT_EQ(layer.at(grabbed.column + 2, grabbed.row + 2), kBlackPixel);
  EXPECT_EQ(layer.at(grabbed.column - 2, grabbed.row - 2), kBlackPixel);
  const PvcPoint plain = curve.points()[1];
  EXPECT_EQ(layer.at(plain.column - 3, plain.row + 2), kBlackPixel);
  EXPECT_EQ(layer.at(plain.column + 2, plain.row + 2), kWhitePixel);
  EXPECT_EQ(layer.at(plain.column + 2, plain.row - 2), kWhitePixel);

  // Without points only the line.
  layers_.drawCurve(&curve, false);
  const Picture bare = capture(layers_.curveDc(), kWidth, kHeight);
  EXPECT_EQ(bare.at(plain.column + 2, plain.row + 2), kWhitePixel);
  EXPECT_EQ(bare.at(first.column + 2, first.row + 2), kWhitePixel);
  EXPECT_EQ(bare.at(grabbed.column + 2, grabbed.row + 2), kWhitePixel);
}

TEST_F(DisplayLayersTest, ZoomedCurveRunsBetweenItsValuesAtTheViewEdges) {
  TestCurve test(*analyser_);
  PvcCurve& curve = test.curve;
  ASSERT_TRUE(curve.insertPoint(kFrames / 2, 1.2f, false));
  // Only the middle of the file is shown: the line starts and ends at the
  // curve's values at the view's edges (1.1), not at the points beyond.
  curve.setView(kWidth - 2, kHeight - 1, kFrames / 4, kFrames / 4 * 3);
  curve.layout(*analyser_);
  layers_.drawCurve(&curve, false);
  const Picture layer = capture(layers_.curveDc(), kWidth, kHeight);
  const int edgeRow = analyser_->rowForRatio(1.1f);
  const int nominalRow = analyser_->rowForRatio(1.0f);
  ASSERT_GT(nominalRow - edgeRow, 8);
  const PvcPoint peak = curve.points()[1];
  EXPECT_EQ(curve.leftEdgeRow(), edgeRow);
  EXPECT_EQ(layer.at(1, edgeRow), kBlackPixel);
  EXPECT_EQ(layer.at(peak.column, peak.row), kBlackPixel);
  EXPECT_GT(countPixels(layer, kBlackPixel, kWidth - 3, edgeRow - 2, kWidth - 3, edgeRow + 2), 0);
  EXPECT_EQ(countPixels(layer, kBlackPixel, kWidth - 3, edgeRow + 3, kWidth - 3, nominalRow + 2), 0);
  EXPECT_EQ(countPixels(layer, kBlackPixel, 2, nominalRow, kWidth - 3, nominalRow), 0);
}

TEST_F(DisplayLayersTest, FilterBoundsAreLabelled) {
  TestCurve test(*analyser_);
  layers_.drawCurveWithBounds(test.curve, 200, 60, false);
  const Picture layer = capture(layers_.curveDc(), kWidth, kHeight);
  int lowerDark = 0;
  int upperDark = 0;
  for (int x = 300; x < kWidth - 1; ++x) {
    lowerDark += layer.at(x, 200) == kBlackPixel;
    upperDark += layer.at(x, 60) == kBlackPixel;
  }
  // Dotted lines: dark and light pixels alternate.
  EXPECT_GT(lowerDark, 60);
  EXPECT_LT(lowerDark, kWidth - 310);
  EXPECT_GT(upperDark, 60);
  // Text just under the lower line and just above the upper one.
  int textPixels = 0;
  for (int y = 201; y < 216; ++y)
    for (int x = 1; x < 120; ++x) textPixels += layer.at(x, y) == kBlackPixel;
  EXPECT_GT(textPixels, 30);
  textPixels = 0;
  for (int y = 45; y < 60; ++y)
    for (int x = 1; x < 120; ++x) textPixels += layer.at(x, y) == kBlackPixel;
  EXPECT_GT(textPixels, 30);
  const int row = analyser_->rowForRatio(1.0f);
  EXPECT_EQ(layer.at(400, row), kBlackPixel);
}

TEST_F(DisplayLayersTest, CursorLineOnlyInsideANonEmptyWindow) {
  readSignal();
  layers_.presentDisplay();
  const Picture before = displayPicture();
  EXPECT_FALSE(layers_.drawCursorLine(500, 0, 0));
  EXPECT_FALSE(layers_.drawCursorLine(1500, 0, 1000));
  EXPECT_FALSE(layers_.drawCursorLine(99, 100, 1000));
  EXPECT_EQ(displayPicture(), before);
  EXPECT_TRUE(layers_.drawCursorLine(600, 100, 1000));
  const Picture after = displayPicture();
  const int x = view::columnOfSample(500, 1000, kWidth);
  EXPECT_EQ(x, 336);
  for (int y = 1; y < kHeight - 1; ++y) ASSERT_EQ(after.at(x, y), kBlackPixel);
  EXPECT_EQ(after.at(x + 1, 100), before.at(x + 1, 100));
}

TEST_F(DisplayLayersTest, HostSelectionOnlyWhenBothEndsAreVisible) {
  readSignal();
  layers_.presentDisplay();
  const Picture before = displayPicture();
  EXPECT_FALSE(layers_.drawHostSelection(100, 500, 0, 0));
  EXPECT_FALSE(layers_.drawHostSelection(-10, 500, 0, 1000));
  EXPECT_FALSE(layers_.drawHostSelection(900, 1500, 1000, 1000));  // starts before the view
  EXPECT_FALSE(layers_.drawHostSelection(100, 1000, 0, 1000));      // ends past it
  EXPECT_EQ(displayPicture(), before);
  EXPECT_TRUE(layers_.drawHostSelection(100, 500, 0, 1000));
  const Picture after = displayPicture();
  const int l = view::columnOfSample(100, 1000, kWidth);
  const int r = view::columnOfSample(500, 1000, kWidth);
  EXPECT_EQ(after.at((l + r) / 2, 100), andWith(before.at((l + r) / 2, 100), 160));
  EXPECT_EQ(after.at(l, 100), andWith(before.at(l, 100), 128));
  EXPECT_EQ(after.at(r - 1, 100), andWith(before.at(r - 1, 100), 128));
  EXPECT_EQ(after.at(r + 2, 100), before.at(r + 2, 100));
  EXPECT_EQ(after.at(l - 2, 100), before.at(l - 2, 100));
}

TEST_F(DisplayLayersTest, RubberBandRedForAValidAxisBlackOtherwise) {
  layers_.composeLayers();
  layers_.drawRubberBand(100, 50, 300, 200, true, false, RubberBand::Rectangle);
  Picture p = displayPicture();
  EXPECT_GT(countPixels(p, kRedPixel, 100, 52, 100, 198), 40);
  EXPECT_EQ(countPixels(p, kBlackPixel, 100, 52, 100, 198), 0);
  EXPECT_GT(countPixels(p, kBlackPixel, 102, 50, 298, 50), 40);
  EXPECT_EQ(countPixels(p, kRedPixel, 102, 50, 298, 50), 0);
  EXPECT_GT(countPixels(p, kBlackPixel, 102, 200, 298, 200), 40);
  saveBmp(p, "editor_rubber_band.bmp");

  layers_.drawRubberBand(100, 50, 300, 200, false, true, RubberBand::Horizontal);
  p = displayPicture();
  EXPECT_GT(countPixels(p, kRedPixel, 2, 50, kWidth - 3, 50), 200);
  EXPECT_GT(countPixels(p, kRedPixel, 2, 200, kWidth - 3, 200), 200);
  EXPECT_EQ(countPixels(p, kRedPixel, 100, 52, 100, 198), 0);  // no vertical edges

  layers_.drawRubberBand(100, 50, 300, 200, false, false, RubberBand::Vertical);
  p = displayPicture();
  EXPECT_GT(countPixels(p, kBlackPixel, 300, 2, 300, kHeight - 3), 80);
  EXPECT_EQ(countPixels(p, kRedPixel, 0, 0, kWidth - 1, kHeight - 1), 0);

  // A drag beyond the display keeps its edges on the border.
  layers_.drawRubberBand(-50, -50, 5000, 5000, true, true, RubberBand::Rectangle);
  p = displayPicture();
  EXPECT_GT(countPixels(p, kRedPixel, kWidth - 1, 2, kWidth - 1, kHeight - 3), 80);
}

TEST_F(DisplayLayersTest, ChartTraceClearsTheBufferOutsideTheDrag) {
  layers_.composeLayers();
  std::vector<int> rows(kWidth - 2, 0);
  rows[10] = 5;
  for (int i = 40; i <= 60; ++i) rows[static_cast<std::size_t>(i)] = 120;
  rows[600] = 7;
  layers_.drawChartTrace(55, 40, rows);
  EXPECT_EQ(rows[10], 0);
  EXPECT_EQ(rows[600], 0);
  EXPECT_EQ(rows[56], 0);
  EXPECT_EQ(rows[60], 0);
  EXPECT_EQ(rows[40], 120);
  EXPECT_EQ(rows[55], 120);
  const Picture p = displayPicture();
  EXPECT_GT(countPixels(p, kRedPixel, 41, 120, 54, 120), 10);
  EXPECT_EQ(countPixels(p, kRedPixel, 57, 120, 70, 120), 0);

  // Ends beyond the buffer: nothing is read or written outside it.
  layers_.drawChartTrace(-20, 5000, rows);
  EXPECT_EQ(rows[40], 120);
  layers_.drawChartTrace(700, 800, rows);
  for (int v : rows) ASSERT_EQ(v, 0);
  layers_.drawChartTrace(3, 4, std::span<int>());
}

TEST_F(DisplayLayersTest, GravityTraceInRedWithItsLevel) {
  layers_.composeLayers();
  std::vector<int> rows(100, 130);
  layers_.drawGravityTrace(200, 100, 130, 42, rows);
  const Picture p = displayPicture();
  EXPECT_GT(countPixels(p, kRedPixel, 101, 130, 198, 130), 40);
  EXPECT_GT(countPixels(p, kBlackPixel, 100, 20, 100, kHeight - 3), 60);
  EXPECT_GT(countPixels(p, kBlackPixel, 201, 1, 300, 16), 20);  // "DSC Level: 42"
}

// The spectral detector's families for the test signal, between 1 and 7 kHz.
void detectTracks(detect::SpectralPvcDetector& detector, const std::vector<float>& signal, int length = kFrames) {
  ASSERT_TRUE(detector.beginRun(kRate, 1000.0f, 7000.0f, length));
  const float* in = signal.data();
  ASSERT_TRUE(detector.process(length, 1, &in, nullptr));
  detector.collectTracks();
  detector.buildCurve();
  ASSERT_GT(detector.familyCount(), 0);
}

double distanceToSegment(double px, double py, double ax, double ay, double bx, double by) {
  const double dx = bx - ax;
  const double dy = by - ay;
  const double length = dx * dx + dy * dy;
  double t = length > 0.0 ? ((px - ax) * dx + (py - ay) * dy) / length : 0.0;
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(px - (ax + t * dx), py - (ay + t * dy));
}

TEST_F(DisplayLayersTest, DetectedTracksDarkenTheSpectrogram) {
  readSignal();
  TestCurve test(*analyser_);
  layers_.drawCurve(&test.curve, false);
  layers_.presentDisplay();
  detect::SpectralPvcDetector detector;
  detectTracks(detector, *signal_);

  const Picture before = displayPicture();
  layers_.drawTrackOverlay(*analyser_, detector, 0, 0, kFrames);
  const Picture after = displayPicture();
  saveBmp(after, "editor_tracks.bmp");
  const int row = analyser_->rowForFrequency(1.0f, 3000.0f);
  int changed = 0;
  int nearTrack = 0;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      if (after.at(x, y) == before.at(x, y)) continue;
      ++changed;
      ASSERT_EQ(after.at(x, y), andWith(before.at(x, y), 119)) << x << "," << y;
      nearTrack += std::abs(y - row) <= 4;
    }
  EXPECT_GT(nearTrack, 300);
  EXPECT_GT(changed, nearTrack);  // the other harmonics too
  // No span: only the spectrogram copy is ANDed.
  layers_.presentDisplay();
  layers_.drawTrackOverlay(*analyser_, detector, 0, 0, 0.5);
  const Picture none = displayPicture();
  const Picture spectrogram = capture(layers_.spectrogramDc(), kWidth, kHeight);
  EXPECT_EQ(none.at(300, row), spectrogram.at(300, row));
}

// Each family is its own line: nothing is drawn from one family's last point
// to the next family's first, which would cross the display between them.
TEST_F(DisplayLayersTest, EachTrackIsDrawnAsItsOwnLine) {
  readSignal();
  layers_.presentDisplay();
  // A length the frames fill exactly, so that the last frame has values too.
  detect::SpectralPvcDetector detector;
  const int length = detector.fftLength() + (kFrames - detector.fftLength()) / detector.hop() * detector.hop();
  detectTracks(detector, *signal_, length);
  ASSERT_GT(detector.familyCount(), 1);

  // Every family's points where the display puts them (the view is the
  // whole file), one run of points per stretch with values.
  struct Point {
    double x, y;
  };
  std::vector<std::vector<Point>> runs;
  int fromFirstFrame = 0;
  int toLastFrame = 0;
  const double scale = static_cast<double>(static_cast<float>(kWidth / static_cast<double>(kFrames)));
  for (int i = 0; i < detector.familyCount(); ++i) {
    runs.emplace_back();
    for (int j = 0; j < detector.frameCount(); ++j) {
      const float f = detector.familyFrequency(i, j);
      if (!(f > 0.0f)) {
        if (!runs.back().empty()) runs.emplace_back();
        continue;
      }
      const int y = analyser_->rowForRatio(analyser_->ratioForFrequency(f));
      runs.back().push_back({detector.position(j) * scale + 1.0, static_cast<double>(y)});
      fromFirstFrame += j == 0;
      toLastFrame += j == detector.frameCount() - 1;
    }
  }
  // The harmonics' families run from end to end, a harmonic apart: a line
  // joining two of them would run back across the whole display.
  ASSERT_GE(fromFirstFrame, 2);
  ASSERT_GE(toLastFrame, 2);

  const Picture before = displayPicture();
  layers_.drawTrackOverlay(*analyser_, detector, 0, 0, kFrames);
  const Picture after = displayPicture();
  int changed = 0;
  int away = 0;  // changed more than 4 pixels from every track's own line
  std::string firstAway;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      if (after.at(x, y) == before.at(x, y)) continue;
      ++changed;
      double nearest = 1e9;
      for (const auto& run : runs)
        for (std::size_t k = 0; k < run.size(); ++k) {
          const Point& a = run[k];
          const Point& b = run[k + 1 < run.size() ? k + 1 : k];
          nearest = std::min(nearest, distanceToSegment(x, y, a.x, a.y, b.x, b.y));
        }
      if (nearest <= 4.0) continue;
      if (away++ == 0) firstAway = std::to_string(x) + "," + std::to_string(y);
    }
  EXPECT_GT(changed, 300);
  EXPECT_EQ(away, 0) << "the first at " << firstAway;
}

TEST_F(DisplayLayersTest, PaintCopiesTheLayersAndTheSplashSurvivesTheLayers) {
  readSignal();
  TestCurve test(*analyser_);
  // A curve with a few points, one of them grabbed, for the picture.
  for (int k = 1; k < 8; ++k)
    test.curve.insertPoint(kFrames / 8 * k, 1.0f + 0.04f * static_cast<float>((k % 3) - 1), false);
  test.curve.layout(*analyser_);
  test.curve.selectNear(test.curve.points()[3].column, test.curve.points()[3].row);
  layers_.drawCurve(&test.curve, true);
  layers_.composeLayers();
  const Picture composite = capture(layers_.compositeDc(), kWidth, kHeight);
  layers_.drawRubberBand(10, 10, 200, 200, true, true, RubberBand::Rectangle);
  ASSERT_NE(displayPicture(), composite);
  InvalidateRect(display_, nullptr, TRUE);
  UpdateWindow(display_);
  EXPECT_EQ(displayPicture(), composite);
  layers_.drawHostSelection(kFrames / 2, kFrames / 10 * 7, 0, kFrames);
  saveBmp(displayPicture(), "editor_display.bmp");
  layers_.drawCursorLine(kFrames / 3, 0, kFrames);
  saveBmp(displayPicture(), "editor_cursor.bmp");

  // A splash picture selected into the spectrogram layer is shown, painted
  // over, and handed back intact when the layers go.
  HDC screen = GetDC(display_);
  HBITMAP splash = CreateCompatibleBitmap(screen, kWidth, kHeight);
  HDC memory = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(memory, splash);
  RECT all{0, 0, kWidth, kHeight};
  HBRUSH green = CreateSolidBrush(RGB(10, 200, 30));
  FillRect(memory, &all, green);
  DeleteObject(green);
  SelectObject(memory, old);
  ASSERT_TRUE(layers_.selectSplash(splash));
  layers_.showSplash();
  EXPECT_EQ(displayPicture().at(300, 100), (Rgb{10, 200, 30}));
  layers_.drawSpectrogramColumn(299, *analyser_, true);
  EXPECT_EQ(displayPicture().at(300, 100), layers_.colours().colourOf(analyser_->levelAt(299, 100)));
  layers_.deleteLayers();
  ASSERT_NE(SelectObject(memory, splash), nullptr);  // no longer held by the layer
  const Picture kept = capture(memory, kWidth, kHeight);
  EXPECT_EQ(kept.at(0, 100), (Rgb{10, 200, 30}));
  EXPECT_EQ(kept.at(300, 100), layers_.colours().colourOf(analyser_->levelAt(299, 100)));
  SelectObject(memory, old);
  DeleteDC(memory);
  ReleaseDC(display_, screen);
  EXPECT_TRUE(DeleteObject(splash));

  // Blanking a splash fills the picture itself with white.
  ASSERT_TRUE(layers_.makeLayers(display_));
  HBITMAP second = CreateCompatibleBitmap(screen = GetDC(display_), kWidth, kHeight);
  ReleaseDC(display_, screen);
  ASSERT_TRUE(layers_.selectSplash(second));
  layers_.blankSplash();
  EXPECT_EQ(displayPicture().at(0, 0), kWhitePixel);
  EXPECT_EQ(displayPicture().at(300, 100), kWhitePixel);
  layers_.restoreSpectrogramBitmap();
  layers_.showSplash();
  EXPECT_EQ(displayPicture().at(0, 0), kBlackPixel);  // the layer's own frame again
  layers_.deleteLayers();
  DeleteObject(second);
}

}  // namespace
