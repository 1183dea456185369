#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/inputs.hpp"
#include "app/script_recorder.hpp"
#include "app/switchyard.hpp"
#include "app/velmora.hpp"
#include "app/workspace.hpp"
#include "platform/graphics/graphics.hpp"
#include "platform/runtime/console.hpp"

namespace velmora::app {

/// Runs the program in `folder` with `arguments`; its exit status and what
/// it printed (both streams).
inline std::pair<int, std::string> run_program(const std::filesystem::path& folder,
                                               const std::string& arguments) {
  const std::string command = "cd '" + folder.string() + "' && QT_QPA_PLATFORM=offscreen '" +
                              std::string(VELMORA_PROGRAM) + "' " + arguments + " 2>&1";
  std::FILE* pipe = ::popen(command.c_str(), "r");
  std::string out;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  const int status = ::pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

/// A part of the running analysis by the name the console shows it under.
inline Value var(std::string_view name) {
  for (auto& [n, v] : workspace().named())
    if (n == name) return v;
  ADD_FAILURE() << "no state variable " << name;
  return {};
}

/// Replaces the independent variable, keeping what X is called.
inline void set_x(const std::vector<double>& x) {
  analysis::Session& a = workspace().session;
  const auto old = a.x();
  a.set_x({analysis::XSource::File,
           Eigen::Map<const Eigen::VectorXd>(x.data(), static_cast<Eigen::Index>(x.size())),
           old ? old->name : std::string(), old ? old->source_text : std::string()});
}

/// A fresh headless run-time with the main window open, as at start-up.
class AppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g = &gfx::install_graphics(std::make_unique<gfx::HeadlessBackend>());
    hb = gfx::headless_backend();
    workspace().reset();
    workspace().recorder.clear();
    workspace().recorder.stop_recording();
    static bool registered = [] {
      register_all_functions();
      return true;
    }();
    (void)registered;
    source_ = VELMORA_SOURCE_DIR;
    ASSERT_EQ(::chdir((source_ + "/src/app").c_str()), 0);
    ValueList out = velmora({}, 1);
    ASSERT_EQ(out.size(), 1u);
    main = out[0].to_scalar();
    tmp_ = std::filesystem::temp_directory_path() /
           ("velmora-app-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(tmp_);
    // The recent-files list of a test never reaches the user's own.
    ::setenv("XDG_CONFIG_HOME", (tmp_ / "config").c_str(), 1);
  }
  void TearDown() override { std::filesystem::remove_all(tmp_); }

  /// A click on the main window's control for `action`.
  ActionReport run(const std::string& action, const Value& fpass = Value()) {
    if (g->valid(main)) g->make_current(main);
    return run_action(workspace(), Value(action), fpass);
  }
  std::string example(const std::string& name) const { return source_ + "/examples/" + name; }
  std::string temp(const std::string& name) const { return (tmp_ / name).string(); }
  std::string write(const std::string& name, const std::string& text) const {
    std::ofstream(temp(name), std::ios::binary) << text;
    return temp(name);
  }
  /// LoadData of the example skulls (and optionally X and wires).
  void load_examples(bool x = true, bool wires = false) {
    hb->queue_path(example("skulls.txt"));
    ASSERT_EQ(run("LoadData").outcome, Outcome::Done) << workspace().last_action.message;
    if (wires) {
      hb->queue_path(example("skull_wires.txt"));
      ASSERT_EQ(run("LoadWireFrame").outcome, Outcome::Done) << workspace().last_action.message;
    }
    if (x) {
      hb->queue_path(example("age.txt"));
      ASSERT_EQ(run("LoadXList").outcome, Outcome::Done) << workspace().last_action.message;
    }
  }
  /// Types `value` into the edit box tagged `tag` (or chooses it in a
  /// pop-up or check box) and runs the control's callback, as the window
  /// does; the report says whether the model took it.
  ActionReport type_into(const std::string& tag, const Value& value) {
    gfx::Handle h = g->find_tag(tag);
    g->set(h, value.is_char() ? "String" : "Value", value);
    workspace().last_input = ActionReport{};
    g->run_callback(h, "Callback");
    return workspace().last_input;
  }

  /// The example skulls as a Morphologika file with three labels: Age (the
  /// values of age.txt), Sex ("M" for the first specimen, then "F", …: no
  /// number) and Weight (100 + i for specimen i from 0).
  std::string labelled_skulls() const {
    std::ifstream in(example("formats/skulls_morphologika.txt"), std::ios::binary);
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    text = text.substr(0, text.find("[labels]")) + "[labels]\nAge Sex Weight\n[labelvalues]\n";
    std::ifstream ages(example("age.txt"));
    std::string age;
    for (int i = 0; std::getline(ages, age); ++i)
      text += age + (i % 2 ? " F " : " M ") + std::to_string(100 + i) + "\n";
    return text;
  }
  std::string text_of(const std::string& tag) const {
    return g->get_text(g->find_tag(tag), "String");
  }
  std::string last_message() const {
    return hb->messages().empty() ? std::string() : hb->messages().back().text;
  }

  gfx::Graphics* g = nullptr;
  gfx::HeadlessBackend* hb = nullptr;
  gfx::Handle main = -1;

 private:
  std::string source_;
  std::filesystem::path tmp_;
};

}  // namespace velmora::app
