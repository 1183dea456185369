#include "platform/qt/qt_backend.hpp"

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QMenuBar>

#include "platform/graphics/graphics.hpp"
#include "platform/qt/desktop.hpp"
#include "platform/qt/export_size_dialog.hpp"
#include "platform/qt/figure_window.hpp"
#include "platform/qt/window_set.hpp"

namespace velmora::qt {

namespace {

bool have_gui() {
  return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

}  // namespace

QtBackend::QtBackend() : windows_(std::make_unique<WindowSet>(*this)) {}

QtBackend::~QtBackend() = default;

std::array<double, 2> QtBackend::screen_size_px() const {
  return primary_screen_size().value_or(std::array<double, 2>{1920, 1080});
}

double QtBackend::pixels_per_inch() const {
  return primary_screen_dpi().value_or(96);
}

void QtBackend::object_created(gfx::Handle h, gfx::Handle) {
  windows_->created(h);
}

void QtBackend::object_deleted(gfx::Handle h, gfx::Handle) {
  windows_->deleted(h);
}

void QtBackend::property_changed(gfx::Handle h, gfx::Handle, std::string_view name) {
  windows_->changed(h, name);
}

void QtBackend::figure_raised(gfx::Handle figure) {
  windows_->raise(figure);
}

void QtBackend::dock_figure(gfx::Handle figure, std::optional<gfx::Handle> host) {
  Backend::dock_figure(figure, host);
  windows_->dock(figure, host);
}

bool QtBackend::docked_view_in_front(gfx::Handle host) const {
  const FigureWindow* w = windows_->window(host);
  return w && w->docked_view_in_front();
}

void QtBackend::show_own_contents(gfx::Handle host) {
  if (FigureWindow* w = windows_->window(host)) w->show_own_contents();
}

namespace {

// The window a dialog belongs to: the current figure's, when it is shown.
QWidget* dialog_parent(const WindowSet& windows) {
  QWidget* w = windows.window(gfx::graphics().current_figure_or_none());
  return w && w->isVisible() ? w : nullptr;
}

}  // namespace

std::optional<gfx::FilePick> QtBackend::open_file_dialog(std::string_view filter,
                                                         std::string_view title) {
  return ask_for_file(false, filter, title, dialog_parent(*windows_));
}

std::optional<gfx::FilePick> QtBackend::save_file_dialog(std::string_view filter,
                                                         std::string_view title) {
  return ask_for_file(true, filter, title, dialog_parent(*windows_));
}

std::vector<gfx::FilePick> QtBackend::open_files_dialog(std::string_view filter,
                                                        std::string_view title) {
  return ask_for_files(filter, title, dialog_parent(*windows_));
}

std::optional<std::size_t> QtBackend::list_dialog(std::string_view title, std::string_view prompt,
                                                  const std::vector<std::string>& items) {
  return ask_for_item(title, prompt, items, dialog_parent(*windows_));
}

std::optional<std::string> QtBackend::edit_list_dialog(std::string_view title,
                                                       std::string_view prompt,
                                                       const std::vector<std::string>& items) {
  return ask_for_text_or_item(title, prompt, items, dialog_parent(*windows_));
}

std::optional<gfx::ExportSize> QtBackend::export_size_dialog(std::string_view title,
                                                             const gfx::ExportSize& start,
                                                             std::array<double, 2> window_px,
                                                             bool raster) {
  return ask_for_export_size(title, start, window_px, raster, dialog_parent(*windows_));
}

std::optional<gfx::AnimationSettings> QtBackend::animation_dialog(
    std::string_view title, const gfx::AnimationSettings& start) {
  return ask_for_animation(title, start, dialog_parent(*windows_));
}

void QtBackend::message_box(std::string_view text, std::string_view title) {
  windows_->adopt(show_message_box(text, title, dialog_parent(*windows_)));
}

bool QtBackend::ask_yes_no(std::string_view text, std::string_view title) {
  return qt::ask_yes_no(text, title, dialog_parent(*windows_));
}

void QtBackend::show_document(std::string_view title, std::string_view markdown) {
  windows_->adopt(show_document_window(title, markdown));
}

void QtBackend::set_clipboard(const std::map<std::string, std::string>& data) {
  put_on_clipboard(data);
}

std::array<double, 2> QtBackend::text_extent_pt(std::string_view text, double font_size_pt,
                                                std::string_view font_name) const {
  if (!have_gui()) return Backend::text_extent_pt(text, font_size_pt, font_name);
  return measure_text_pt(text, font_size_pt, font_name);
}

void QtBackend::process_events() {
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

int QtBackend::run_event_loop() {
  return windows_->run_event_loop();
}

QWidget* QtBackend::window_of(gfx::Handle figure) const {
  return windows_->window(figure);
}

QWidget* QtBackend::widget_of(gfx::Handle h) const {
  return windows_->widget(h);
}

QAction* QtBackend::action_of(gfx::Handle menu) const {
  return windows_->action(menu);
}

QMenuBar* QtBackend::menu_bar_of(gfx::Handle figure) const {
  FigureWindow* w = windows_->window(figure);
  return w ? w->menu_bar() : nullptr;
}

}  // namespace velmora::qt
