#include "view/places.hpp"

#include "gui/message_box.hpp"
#include "platform/graphics/graphics.hpp"
#include "view/document.hpp"
#include "view/figure3d.hpp"
#include "view/main_window.hpp"
#include "view/view3d.hpp"

namespace velmora::app {

using gfx::graphics;
using gfx::Handle;

Handle current_window() {
  return graphics().current_figure();
}

std::string recent_file_in_menu(int slot) {
  return graphics().get(control("RecentFile" + std::to_string(slot)), "UserData").text_or_empty();
}

void show_control_value(std::string_view tag, bool as_text, const std::string& value) {
  auto& g = graphics();
  const auto found = g.find_by_tag(tag);
  if (found.empty()) return;
  if (as_text)
    g.set(found.front(), "String", value);
  else
    g.set(found.front(), "Value", std::stod(value));
}

std::string control_tag(Handle h) {
  auto& g = graphics();
  return g.valid(h) ? g.get_text(h, "Tag") : std::string();
}

Value control_value(Handle h, bool as_text) {
  return graphics().get(h, as_text ? "String" : "Value");
}

void on_control_input(Handle main, const std::function<bool(std::string_view tag)>& wanted,
                      void (*taken)(Handle control)) {
  auto& g = graphics();
  for (Handle h : g.all_objects(main)) {
    if (!g.has_property(h, "Tag") || !wanted(g.get_text(h, "Tag"))) continue;
    g.set_native_callback(h, "Callback", taken);
  }
}

std::optional<Handle> window_control(Handle main, std::string_view tag) {
  auto& g = graphics();
  for (Handle h : g.all_objects(main))
    if (g.has_property(h, "Tag") && g.get_text(h, "Tag") == tag) return h;
  return std::nullopt;
}

std::vector<std::string> popup_items(Handle h) {
  const Value items = graphics().get(h, "String");
  std::vector<std::string> out;
  if (items.is_cell()) {
    for (std::size_t i = 0; i < items.numel(); ++i) out.push_back(items.at(i).text_or_empty());
  } else if (items.is_char()) {
    out.push_back(items.to_string());
  }
  return out;
}

void observe_dialogs(
    std::function<void(std::string_view kind, const std::optional<gfx::FilePick>& pick)>
        file_answered,
    std::function<void(const std::optional<std::string>& item)> item_answered) {
  graphics().set_dialog_observer(std::move(file_answered));
  graphics().set_choice_observer(std::move(item_answered));
}

void show_file_box(const std::string& text) {
  graphics().set(control("FileBox"), "String", text);
}

void show_wire_box(const std::string& text) {
  graphics().set(control("WireBox"), "String", text);
}

void show_x_scale(bool ln) {
  auto& g = graphics();
  g.set(control("LinearButton"), "Value", ln ? 0.0 : 1.0);
  g.set(control("LnButton"), "Value", ln ? 1.0 : 0.0);
}

void check_menu_pair(std::string_view on_tag, std::string_view off_tag, bool on) {
  auto& g = graphics();
  g.set(control(on_tag), "Checked", on ? "on" : "off");
  g.set(control(off_tag), "Checked", on ? "off" : "on");
}

void check_menu_items(std::initializer_list<std::pair<std::string_view, bool>> items) {
  auto& g = graphics();
  for (const auto& [tag, on] : items) g.set(control(tag), "Checked", on ? "on" : "off");
}

void show_test_status(const std::string& text) {
  auto& g = graphics();
  g.set(control("TestStatus"), "String", text);
  if (!text.empty()) g.backend().process_events();
}

Value show_message_window(const std::string& text, const std::string& title) {
  std::optional<Handle> box = gui::msgboxd({Value(text), Value(title)});
  return box ? Value(*box) : Value();
}

Value show_table_window(const std::string& text, const std::string& title) {
  gui::MessageBoxSetup setup;
  setup.title = title;
  setup.table = true;
  return Value(gui::msgboxd(Value(text), setup));
}

void show_message_box(const std::string& text, const std::string& title) {
  graphics().backend().message_box(text, title);
}

void show_about_box(const std::string& text) {
  gui::MessageBoxSetup setup;
  setup.title = "About Velmora";
  setup.icon = "help";
  setup.mode = "replace";
  gui::msgboxd(Value(text), setup);
}

void show_document(const std::string& title, const std::string& markdown) {
  graphics().backend().show_document(title, markdown);
}

bool ask_yes_no(const std::string& question, const std::string& title) {
  return graphics().backend().ask_yes_no(question, title);
}

void close_all_windows() {
  auto& g = graphics();
  for (Handle f : g.figures())
    if (g.valid(f)) g.destroy(f);
}

std::optional<std::size_t> choose_from_list(std::string_view title, std::string_view prompt,
                                            const std::vector<std::string>& items) {
  return graphics().list_dialog(title, prompt, items);
}

std::optional<std::string> choose_or_type(std::string_view title, std::string_view prompt,
                                          const std::vector<std::string>& items) {
  return graphics().edit_list_dialog(title, prompt, items);
}

Value clear_current_figure() {
  auto& g = graphics();
  const Handle fig = g.current_figure();
  g.clear_figure(fig);
  return Value(fig);
}

bool docked_view_in_front(const Document& doc) {
  auto& g = graphics();
  const std::optional<Handle>& main = doc.window.main_window;
  return main && g.valid(*main) && g.backend().docked_view_in_front(*main);
}

void show_main_window_contents(const Document& doc) {
  auto& g = graphics();
  const std::optional<Handle>& main = doc.window.main_window;
  if (main && g.valid(*main)) g.backend().show_own_contents(*main);
}

void apply_dock_choice(Document& doc) {
  auto& g = graphics();
  const WindowState& s = doc.window;
  if (s.figure3d && g.valid(*s.figure3d) && s.main_window && g.valid(*s.main_window)) {
    g.backend().dock_figure(*s.figure3d, s.dock3d.value_or(false) ? s.main_window : std::nullopt);
    capture_view3d(doc);
  }
}

Value clear_plot_and_figure3d(Document& doc) {
  auto& g = graphics();
  Handle ax = g.current_axes();
  g.clear_axes(ax);
  clear_main_plot();
  if (figure3d_open(doc)) g.clear_figure(*doc.window.figure3d);
  return Value(ax);
}

}  // namespace velmora::app
