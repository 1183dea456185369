#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "gui/register.hpp"
#include "platform/graphics/graphics.hpp"
#include "platform/runtime/function_table.hpp"
#include "platform/runtime/runtime_error.hpp"

namespace velmora::gui::testing {

/// A fresh headless graphics run-time (1920×1080 pixels, 96 px/inch) and
/// the GUI functions in the process-wide table, for every test.
class GuiTest : public ::testing::Test {
 protected:
  GuiTest()
      : headless_(new gfx::HeadlessBackend()),
        g(gfx::install_graphics(std::unique_ptr<gfx::Backend>(headless_))) {
    register_gui_functions(function_table());
  }

  ValueList call(const std::string& name, const ValueList& args, int nargout = 0) {
    return function_table().call(name, args, nargout);
  }

  gfx::HeadlessBackend& backend() { return *headless_; }

  gfx::HeadlessBackend* headless_;
  gfx::Graphics& g;
};

/// The text of the RuntimeError that `fn` raises; fails the test (and
/// returns "") when it raises none.
inline std::string error_text(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const RuntimeError& e) {
    return e.what();
  }
  ADD_FAILURE() << "no RuntimeError was raised";
  return {};
}

/// A folder of its own under the system temporary folder, made the working
/// folder for the life of the object and removed afterwards.
class TempFolder {
 public:
  TempFolder() {
    namespace fs = std::filesystem;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = fs::temp_directory_path() /
            ("velmora_gui_" + std::string(info->test_suite_name()) + "_" + info->name());
    fs::remove_all(path_);
    fs::create_directories(path_);
    old_ = fs::current_path();
    fs::current_path(path_);
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::current_path(old_, ec);
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

  /// Writes `text` to `name` inside the folder; returns the full path.
  std::string write(const std::string& name, const std::string& text) const {
    std::filesystem::path p = path_ / name;
    std::ofstream(p, std::ios::binary) << text;
    return p.string();
  }

 private:
  std::filesystem::path path_, old_;
};

}  // namespace velmora::gui::testing
