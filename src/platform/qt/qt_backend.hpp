#pragma once

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/graphics/backend.hpp"

class QAction;
class QMenuBar;
class QWidget;

namespace velmora::qt {

class WindowSet;

/// The windowing backend: every figure of the graphics run-time becomes a
/// real Qt window with its controls, menus and axes, and the run-time's
/// dialogs, message boxes and clipboard are Qt's.
///
/// Create it after the QApplication and hand it to the run-time:
/// `gfx::install_graphics(std::make_unique<qt::QtBackend>())`.  It reads and
/// writes the objects through `gfx::graphics()`, so it serves the installed
/// run-time only.  Positions are pixels: the object model counts a figure's
/// bottom from the bottom edge of the primary screen, Qt counts from the top.
class QtBackend : public gfx::Backend {
 public:
  QtBackend();
  ~QtBackend() override;
  QtBackend(const QtBackend&) = delete;
  QtBackend& operator=(const QtBackend&) = delete;

  /// The primary screen's size in logical pixels (1920×1080 without one).
  std::array<double, 2> screen_size_px() const override;
  /// The primary screen's logical dots per inch (96 without one).
  double pixels_per_inch() const override;
  /// Repaints the windows without taking user input.
  void process_events() override;

  void object_created(gfx::Handle h, gfx::Handle figure) override;
  void object_deleted(gfx::Handle h, gfx::Handle figure) override;
  void property_changed(gfx::Handle h, gfx::Handle figure, std::string_view name) override;
  void figure_raised(gfx::Handle figure) override;
  /// The figure's window in a tab of the host's (see FigureWindow::dock).
  void dock_figure(gfx::Handle figure, std::optional<gfx::Handle> host) override;
  bool docked_view_in_front(gfx::Handle host) const override;
  void show_own_contents(gfx::Handle host) override;

  /// Qt file dialogs starting in the working folder; `filter` is a pattern
  /// list such as "*.txt" or "*.png;*.svg".
  std::optional<gfx::FilePick> open_file_dialog(std::string_view filter,
                                                std::string_view title) override;
  std::optional<gfx::FilePick> save_file_dialog(std::string_view filter,
                                                std::string_view title) override;
  std::vector<gfx::FilePick> open_files_dialog(std::string_view filter,
                                               std::string_view title) override;
  /// A list that cannot be edited, the first item preselected.
  std::optional<std::size_t> list_dialog(std::string_view title, std::string_view prompt,
                                         const std::vector<std::string>& items) override;
  std::optional<std::string> edit_list_dialog(std::string_view title, std::string_view prompt,
                                              const std::vector<std::string>& items) override;
  /// A small modal dialog over the current figure's window (see
  /// ask_for_export_size).
  std::optional<gfx::ExportSize> export_size_dialog(std::string_view title,
                                                    const gfx::ExportSize& start,
                                                    std::array<double, 2> window_px,
                                                    bool raster) override;
  /// A small modal dialog over the current figure's window (see
  /// ask_for_animation).
  std::optional<gfx::AnimationSettings> animation_dialog(
      std::string_view title, const gfx::AnimationSettings& start) override;
  /// A non-modal warning box that stays until the user closes it.
  void message_box(std::string_view text, std::string_view title) override;
  /// A modal Yes/No question over the current figure's window.
  bool ask_yes_no(std::string_view text, std::string_view title) override;
  /// A read-only window showing the Markdown document.
  void show_document(std::string_view title, std::string_view markdown) override;
  /// Every MIME type given, plus the PNG (when there is one) as image data.
  void set_clipboard(const std::map<std::string, std::string>& data) override;
  /// Measured with Qt's font metrics, in points.
  std::array<double, 2> text_extent_pt(std::string_view text, double font_size_pt,
                                       std::string_view font_name) const override;

  /// Runs QApplication::exec() until no figure remains; returns its status
  /// (0 when the last figure closed).  Returns 0 at once without figures.
  int run_event_loop() override;

  // --- the widgets behind the objects (for tests and tools) ----------------
  /// The top-level window of a figure, or nullptr.
  QWidget* window_of(gfx::Handle figure) const;
  /// The widget of a uicontrol or the view of an axes, or nullptr.
  QWidget* widget_of(gfx::Handle h) const;
  /// The menu entry of a uimenu, or nullptr.
  QAction* action_of(gfx::Handle menu) const;
  /// The menu bar of a figure's window, or nullptr.
  QMenuBar* menu_bar_of(gfx::Handle figure) const;

 private:
  std::unique_ptr<WindowSet> windows_;
};

}  // namespace velmora::qt
