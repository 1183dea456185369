// Properties by name, the dialogs, and the process-wide run-time.  What each
// type has and accepts is in property_schema.cpp, positions in units.cpp.
#include "platform/graphics/graphics.hpp"

#include <algorithm>
#include <string>

#include "core/file_bytes.hpp"
#include "core/shown_text.hpp"
#include "platform/graphics/property_schema.hpp"
#include "platform/runtime/runtime_error.hpp"
#include "platform/runtime/safe_file.hpp"

namespace velmora::gfx {

std::string lower(std::string_view s) {
  return lower_text(s);
}

// --- properties --------------------------------------------------------------

Value Graphics::get(Handle h, std::string_view name) const {
  const Object& o = object(h);
  std::string ln = lower(name);
  if (ln == "type") return Value(std::string(type_name(o.type)));
  if (ln == "parent") return o.parent < 0 ? Value() : Value(o.parent);
  if (ln == "children") {
    // Newest first, without the hidden axis-label texts.
    std::vector<double> kids;
    for (auto it = o.children.rbegin(); it != o.children.rend(); ++it) {
      const Object& c = object(*it);
      if (c.type == Type::Text && o.type == Type::Axes &&
          lower(c.props.at("handlevisibility").text_or_empty()) == "off")
        continue;
      kids.push_back(*it);
    }
    return Value::column(kids);
  }
  if (is_rect_property(o.type, ln)) return get_position(o, ln);
  if (ln == "callbackobject" && o.type == Type::Root) {
    return callback_object_ < 0 ? Value() : Value(callback_object_);
  }
  if (ln == "extent" && (o.type == Type::UiControl || o.type == Type::Text)) {
    double size = o.props.at("fontsize").to_scalar();
    auto e = backend_->text_extent_pt(
        o.props.at("string").is_char() ? o.props.at("string").to_string() : std::string(), size,
        o.props.at("fontname").text_or_empty());
    std::string units =
        o.type == Type::Text ? "points" : lower(o.props.at("units").text_or_empty());
    double f = units == "normalized"
                   ? 1
                   : (backend_->pixels_per_inch() / 72) / pixels_per_unit(units, false);
    return Value::row({0, 0, e[0] * f, e[1] * f});
  }
  auto it = o.props.find(ln);
  if (it == o.props.end()) {
    throw RuntimeError("There is no \"" + std::string(name) + "\" property of the " +
                       std::string(type_name(o.type)) + " object.");
  }
  return it->second;
}

std::string Graphics::get_text(Handle h, std::string_view name) const {
  Value v = get(h, name);
  return v.text_or_empty();
}

double Graphics::get_number(Handle h, std::string_view name) const {
  return get(h, name).to_scalar(name);
}

bool Graphics::has_property(Handle h, std::string_view name) const {
  const Object& o = object(h);
  std::string ln = lower(name);
  return o.props.count(ln) || ln == "type" || ln == "parent" || ln == "children" ||
         is_rect_property(o.type, ln);
}

void Graphics::touch(const Object& o, std::string_view name) {
  backend_->property_changed(o.handle, figure_of(o.handle), name);
}

void Graphics::set_one(Object& o, std::string_view lname, Value v) {
  std::string ln(lname);
  if (is_read_only_property(ln)) {
    throw RuntimeError("The \"" + ln + "\" property of the " + std::string(type_name(o.type)) +
                       " object is read-only.");
  }
  if (ln == "parent") throw RuntimeError("Objects cannot be moved to another parent.");
  if (is_rect_property(o.type, ln)) {
    const std::array<double, 4> before = o.pos_px;
    set_position(o, ln, v);
    touch(o, ln);
    // A figure whose size changed lets its owner lay its children out anew.
    if (o.type == Type::Figure && (o.pos_px[2] != before[2] || o.pos_px[3] != before[3]))
      run_callback(o.handle, "SizeChangedFcn");
    return;
  }
  auto it = o.props.find(ln);
  if (it == o.props.end()) {
    throw RuntimeError("There is no \"" + ln + "\" property of the " +
                       std::string(type_name(o.type)) + " object.");
  }
  v = checked_value(o.type, ln, std::move(v));
  if (ln == "currentfigure" && o.type == Type::Root) {
    if (!v.empty()) {
      make_current(v.to_scalar("CurrentFigure"));
      return;
    }
  }
  if (ln == "currentaxes" && o.type == Type::Figure && !v.empty()) {
    Handle ax = v.to_scalar("CurrentAxes");
    if (!valid(ax) || type(ax) != Type::Axes || parent(ax) != o.handle)
      throw RuntimeError("CurrentAxes must be an axes of this figure.");
  }
  // Limits the user sets stay until the axis mode is set back to auto.
  if ((ln == "xlim" || ln == "ylim" || ln == "zlim") && o.type == Type::Axes)
    o.props[ln + "mode"] = Value("manual");
  it->second = std::move(v);
  touch(o, ln);
}

void Graphics::set(Handle h, std::string_view name, Value v) {
  set_one(mut(h), lower(name), std::move(v));
}

void Graphics::set(Handle h, const PropList& props) {
  for (const auto& [name, v] : props) set(h, name, v);
}

void Graphics::set_native_callback(Handle h, std::string_view name, NativeCallback fn) {
  Object& o = mut(h);
  std::string ln = lower(name);
  if (!o.props.count(ln)) {
    throw RuntimeError("There is no \"" + std::string(name) + "\" property of the " +
                       std::string(type_name(o.type)) + " object.");
  }
  o.native[ln] = std::move(fn);
  o.props[ln] = Value("<built-in>");
}

// --- dialogs ----------------------------------------------------------------

namespace {

// A chosen name with a NUL byte is no file name: the system would take the
// part before the NUL, another file.  Refused before any action sees it.
void check_pick(const std::optional<FilePick>& pick, std::string_view title) {
  if (!pick) return;
  const std::string path = pick->path();
  if (std::string why = nul_in_name_reason(path); !why.empty())
    throw DataRefusal("\"" + shown_name(path) + "\" is no file name: " + why + ".",
                      std::string(title));
}

// The first queued answer of a one-file dialog, else what `ask` gets.
template <typename Ask>
std::optional<FilePick> take_file_answer(std::deque<std::vector<FilePick>>& answers, Ask ask) {
  if (answers.empty()) return ask();
  std::vector<FilePick> a = std::move(answers.front());
  answers.pop_front();
  if (a.empty()) return std::nullopt;
  return a.front();
}

}  // namespace

std::optional<FilePick> Graphics::open_file_dialog(std::string_view filter,
                                                   std::string_view title) {
  auto pick =
      take_file_answer(file_answers_, [&] { return backend_->open_file_dialog(filter, title); });
  check_pick(pick, title);
  if (pick) note_opened_input(pick->path());
  if (dialog_observer_) dialog_observer_("open", pick);
  return pick;
}

std::optional<FilePick> Graphics::save_file_dialog(std::string_view filter,
                                                   std::string_view title) {
  auto pick =
      take_file_answer(file_answers_, [&] { return backend_->save_file_dialog(filter, title); });
  check_pick(pick, title);
  if (dialog_observer_) dialog_observer_("save", pick);
  return pick;
}

std::vector<FilePick> Graphics::open_files_dialog(std::string_view filter, std::string_view title) {
  std::vector<FilePick> picks;
  if (file_answers_.empty()) {
    picks = backend_->open_files_dialog(filter, title);
  } else {
    for (std::vector<FilePick>& a : file_answers_) picks.insert(picks.end(), a.begin(), a.end());
    file_answers_.clear();
  }
  for (const FilePick& p : picks) check_pick(p, title);
  for (const FilePick& p : picks) note_opened_input(p.path());
  if (dialog_observer_) {
    if (picks.empty()) dialog_observer_("open", std::nullopt);
    for (const FilePick& p : picks) dialog_observer_("open", p);
  }
  return picks;
}

std::optional<std::size_t> Graphics::list_dialog(std::string_view title, std::string_view prompt,
                                                 const std::vector<std::string>& items) {
  if (items.empty()) throw RuntimeError("A list dialog needs at least one item to offer.");
  std::optional<std::size_t> chosen;
  if (item_answers_.empty()) {
    chosen = backend_->list_dialog(title, prompt, items);
  } else {
    const std::optional<std::string> item = std::move(item_answers_.front());
    item_answers_.pop_front();
    const auto at = item ? std::find(items.begin(), items.end(), *item) : items.end();
    if (at != items.end()) chosen = static_cast<std::size_t>(at - items.begin());
  }
  if (chosen && *chosen >= items.size()) chosen.reset();
  if (choice_observer_) {
    choice_observer_(chosen ? std::optional<std::string>(items[*chosen]) : std::nullopt);
  }
  return chosen;
}

std::optional<std::string> Graphics::edit_list_dialog(std::string_view title,
                                                      std::string_view prompt,
                                                      const std::vector<std::string>& items) {
  if (item_answers_.empty()) return backend_->edit_list_dialog(title, prompt, items);
  std::optional<std::string> typed = std::move(item_answers_.front());
  item_answers_.pop_front();
  return typed;
}

// --- the process-wide instance ------------------------------------------------

namespace {
std::unique_ptr<Graphics>& instance() {
  static std::unique_ptr<Graphics> g;
  return g;
}
}  // namespace

Graphics& install_graphics(std::unique_ptr<Backend> backend) {
  instance().reset();
  instance() = std::make_unique<Graphics>(std::move(backend));
  return *instance();
}

Graphics& graphics() {
  if (!instance()) install_graphics(std::make_unique<HeadlessBackend>());
  return *instance();
}

HeadlessBackend* headless_backend() {
  return dynamic_cast<HeadlessBackend*>(&graphics().backend());
}

}  // namespace velmora::gfx
