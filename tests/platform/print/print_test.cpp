#include "platform/print/print.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

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

}  // namespace
}  // namespace velmora::gfx
