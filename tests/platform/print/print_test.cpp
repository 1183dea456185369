#include "platform/print/print.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/graphics/graphics.hpp"
#include "platform/graphics/sample_figure.hpp"
#include "platform/graphics/scene.hpp"
#include "platform/runtime/runtime_error.hpp"

namespace velmora::gfx {
namespace {

class PrintTest : public ::testing::Test, protected SampleFigure {
 protected:
  PrintTest() {
    dir = std::filesystem::temp_directory_path() / ("velmora-print-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
  }
  ~PrintTest() override { std::filesystem::remove_all(dir); }
  std::string head(const std::filesystem::path& p, std::size_t n) {
    std::ifstream in(p, std::ios::binary);
    std::string s(n, '\0');
    in.read(s.data(), static_cast<std::streamsize>(n));
    return s;
  }
  std::filesystem::path dir;
};

TEST_F(PrintTest, DevicesAndFailures) {
  print_figure(g, fig, {"-depsc"}, (dir / "f.eps").string());
  EXPECT_EQ(head(dir / "f.eps", 23), "%!PS-Adobe-3.0 EPSF-3.0");
  print_figure(g, fig, {"-dpng", "-r300"}, (dir / "f.png").string());
  EXPECT_EQ(head(dir / "f.png", 4), "\x89PNG");
  print_figure(g, fig, {"-dsvg"}, (dir / "f.svg").string());
  EXPECT_EQ(head(dir / "f.svg", 5), "<?xml");
  print_figure(g, fig, {"-dpdf"}, (dir / "f.pdf").string());
  EXPECT_EQ(head(dir / "f.pdf", 4), "%PDF");
  print_figure(g, fig, {"-noui", "-dmeta"});
  const auto& clip = headless_backend()->clipboard();
  EXPECT_EQ(clip.at("image/png").substr(0, 4), "\x89PNG");
  EXPECT_NE(clip.at("image/svg+xml").find("<svg"), std::string::npos);
  EXPECT_THROW(print_figure(g, fig, {"-dxyz"}, (dir / "f.x").string()), RuntimeError);
  EXPECT_THROW(print_figure(g, fig, {"-depsc"}), RuntimeError);
  try {
    print_figure(g, fig, {"-depsc"}, (dir / "missing" / "f.eps").string());
    FAIL();
  } catch (const RuntimeError& e) {
    EXPECT_NE(std::string(e.what()).find("missing/f.eps"), std::string::npos) << e.what();
  }
}

// A size in centimetres or inches at a resolution gives that many pixels
// and says so in the file; a vector page is that size in points.
TEST_F(PrintTest, PrintSizeAndResolution) {
  auto be32 = [](const std::string& b, std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(b[at + i]);
    return v;
  };
  print_figure(g, fig, export_options("PNG", "10x5cm,254dpi"), (dir / "s.png").string());
  const std::string png = head(dir / "s.png", 64);
  EXPECT_EQ(be32(png, 16), 1000u);       // width: 10 cm at 100 dots a cm
  EXPECT_EQ(be32(png, 20), 500u);        // height
  EXPECT_EQ(png.substr(37, 4), "pHYs");  // right after the header
  EXPECT_EQ(be32(png, 41), 10000u);      // dots per metre
  print_figure(g, fig, export_options("svg", "4x3in"), (dir / "s.svg").string());
  EXPECT_NE(head(dir / "s.svg", 400).find("width=\"288pt\" height=\"216pt\""), std::string::npos);
  print_figure(g, fig, export_options("eps", "4x3in"), (dir / "s.eps").string());
  EXPECT_NE(head(dir / "s.eps", 400).find("%%BoundingBox: 0 0 288 216"), std::string::npos);

  EXPECT_EQ(export_options("pdf", ""), (std::vector<std::string>{"-dpdf", "-r300"}));
  EXPECT_EQ(export_options("png", "600dpi,6.5x5IN"),
            (std::vector<std::string>{"-dpng", "-s6.5x5in", "-r600"}));
  EXPECT_EQ(export_options("png", "8.5x7cm,8pt"),
            (std::vector<std::string>{"-dpng", "-s8.5x7cm", "-t8", "-r300"}));
  EXPECT_EQ(export_options("svg", "talk"),
            (std::vector<std::string>{"-dsvg", "-s25x14.0625cm", "-t18", "-r300"}));
  EXPECT_EQ(export_options("svg", "12pt,talk"),
            (std::vector<std::string>{"-dsvg", "-s25x14.0625cm", "-t12", "-r300"}));
  const std::string why =
      " is neither a size (\"17x12cm\", \"6.5x5in\", at most 100 cm a side, or \"talk\"), a "
      "resolution (\"300dpi\", from 10 to 2400) nor a text size (\"8pt\", from 4 to 48).";
  for (const char* bad :
       {"17x12", "0x5cm", "101x5cm", "5dpi", "17x12cm 300dpi", "axbcm", "3pt", "49pt", "pt"}) {
    try {
      export_options("png", bad);
      ADD_FAILURE() << bad;
    } catch (const RuntimeError& e) {
      EXPECT_EQ(std::string(e.what()), "\"" + std::string(bad) + "\"" + why);
    }
  }
  // What the export size dialog answers reads back as the same options.
  const std::pair<ExportSize, std::vector<std::string>> answers[] = {
      {ExportSize{}, {"-dpng", "-r300"}},
      {ExportSize{false, 1, 1, false, 150}, {"-dpng", "-r150"}},
      {ExportSize{true, 17, 12, false, 300}, {"-dpng", "-s17x12cm", "-r300"}},
      {ExportSize{true, 6.5, 4.25, true, 600}, {"-dpng", "-s6.5x4.25in", "-r600"}},
      {ExportSize{true, 8.5, 7, false, 300, 9}, {"-dpng", "-s8.5x7cm", "-t9", "-r300"}},
      {ExportSize{false, 1, 1, false, 300, 12}, {"-dpng", "-t12", "-r300"}}};
  for (const auto& [answer, options] : answers)
    EXPECT_EQ(export_options("png", answer.text()), options) << answer.text();
  EXPECT_EQ(ExportSize{}.text(), "");
  EXPECT_THROW(export_options("gif", ""), RuntimeError);
  EXPECT_THROW(print_figure(g, fig, {"-dpng", "-s10x5"}, (dir / "t.png").string()), RuntimeError);
}

// The text of a figure printed at a size follows that size: its tick labels
// at the text size asked (8 pt up to 9 cm wide, 10 pt above, 18 pt for a
// talk), no text above 1.2 times it, and every text on the page.
TEST_F(PrintTest, TextFollowsThePrintedSize) {
  struct Case {
    const char* words;
    double text_pt, width_pt, height_pt;
  };
  for (const Case& c :
       {Case{"8.5x7cm", 8, 240.945, 198.425}, Case{"17x12cm", 10, 481.89, 340.157},
        Case{"talk", 18, 708.661, 398.622}, Case{"8.5x7cm,12pt", 12, 240.945, 198.425}}) {
    const auto path = dir / "t.svg";
    std::vector<std::string> options = export_options("svg", c.words);
    options.push_back("-noui");  // the push button keeps the window's text
    print_figure(g, fig, options, path.string());
    std::ifstream in(path);
    const std::string svg((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The page is in points, its user units are pixels at 96 to the inch.
    const double px_per_pt = 96.0 / 72;
    std::vector<double> sizes;
    for (std::size_t at = svg.find("font-size=\""); at != std::string::npos;
         at = svg.find("font-size=\"", at + 1))
      sizes.push_back(std::stod(svg.substr(at + 11)) / px_per_pt);
    ASSERT_FALSE(sizes.empty()) << c.words;
    EXPECT_NEAR(*std::min_element(sizes.begin(), sizes.end()), c.text_pt, 1e-3) << c.words;
    EXPECT_LE(*std::max_element(sizes.begin(), sizes.end()), 1.2 * c.text_pt + 1e-9) << c.words;
    for (std::size_t at = svg.find("<g transform=\"translate("); at != std::string::npos;
         at = svg.find("<g transform=\"translate(", at + 1)) {
      std::istringstream xy(svg.substr(at + 24));
      double x = 0, y = 0;
      xy >> x >> y;
      EXPECT_TRUE(x >= 0 && x <= c.width_pt * px_per_pt && y >= 0 && y <= c.height_pt * px_per_pt)
          << c.words << ": a text at " << x << ", " << y;
    }
  }
}

}  // namespace
}  // namespace velmora::gfx
