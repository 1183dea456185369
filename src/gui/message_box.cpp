#include "gui/message_box.hpp"

#include <algorithm>

#include "gui/arguments.hpp"
#include "gui/message_icons.hpp"
#include "gui/window_placement.hpp"
#include "platform/runtime/console.hpp"
#include "platform/runtime/runtime_error.hpp"

namespace velmora::gui {

using gfx::Handle;
using L = MessageBoxLayout;

namespace {

constexpr const char* kModeWords[] = {"non-modal", "modal", "replace"};
constexpr const char* kIconNames[] = {"none", "help", "warn", "error", "custom"};

void warn(std::string_view text) {
  console().line("Warning: " + std::string(text));
}

bool is_mode_word(const std::string& lowered) {
  return std::find(std::begin(kModeWords), std::end(kModeWords), lowered) != std::end(kModeWords);
}

// A create mode is a mode word in any letter case, or a record.
bool is_create_mode(const Value& v) {
  return v.is_struct() || (v.is_char() && is_mode_word(gfx::lower(v.text_or_empty())));
}

std::string text_input(const Value& v, const char* what) {
  if (v.is_char()) return v.to_string();
  if (v.empty() && v.is_double()) return {};
  throw RuntimeError(std::string("The ") + what + " of a message box must be text.");
}

void apply_mode(const Value& v, MessageBoxSetup& s) {
  Value word = v;
  if (v.is_struct()) {
    word = v.has_field("WindowStyle") ? v.field("WindowStyle") : Value("non-modal");
    if (v.has_field("Interpreter"))
      s.interpreter = gfx::lower(v.field("Interpreter").text_or_empty());
  }
  std::string m = gfx::lower(word.text_or_empty());
  if (!is_mode_word(m)) {
    warn("Invalid string for CreateMode in MSGBOX.");
    m = "non-modal";
  }
  s.mode = m;
}

void apply_icon(const Value& v, MessageBoxSetup& s) {
  std::string icon = gfx::lower(v.text_or_empty());
  if (std::find(std::begin(kIconNames), std::end(kIconNames), icon) == std::end(kIconNames)) {
    warn("Invalid string for Icon in MSGBOX.");
    icon = "none";
  }
  s.icon = icon;
}

std::u16string join_lines(const std::vector<std::u16string>& lines) {
  std::u16string out;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i) out += u'\n';
    out += lines[i];
  }
  return out;
}

// The message's paragraphs before wrapping.
std::vector<std::u16string> paragraphs(const Value& message) {
  std::vector<std::u16string> out;
  auto split = [&](std::u16string_view text) {
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
      if (i == text.size() || text[i] == u'\n') {
        std::u16string_view line = text.substr(start, i - start);
        if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
        out.emplace_back(line);
        start = i + 1;
      }
    }
  };
  if (message.is_char()) {
    split(message.chars());
  } else if (message.is_cell()) {
    for (const Value& item : message.items()) {
      if (!item.is_char() && !item.empty())
        throw RuntimeError("Every entry of a message must be text.");
      split(item.is_char() ? std::u16string_view(item.chars()) : std::u16string_view());
    }
  } else if (message.is_double()) {
    std::string line;
    for (double x : message.data()) line += (line.empty() ? "" : "  ") + format_number(x);
    split(utf8_to_u16(line));
  } else {
    throw RuntimeError("A message must be text, a list of texts or numbers.");
  }
  return out;
}

void check_custom_icon(const MessageBoxSetup& s) {
  const Value& img = s.icon_data;
  const Value& map = s.icon_colormap;
  bool image_ok = img.is_double() && !img.empty() && (img.pages() == 1 || img.pages() == 3);
  bool map_ok = img.pages() == 3 || (map.is_double() && map.rows() > 0 && map.cols() == 3);
  if (!image_ok || !map_ok) {
    throw RuntimeError(
        "A custom icon in MSGBOX needs icon data (an image) and a colour map of three columns.");
  }
}

// The windows that a "modal" or "replace" box may take over.
std::vector<Handle> windows_titled(gfx::Graphics& g, const std::string& title) {
  std::vector<Handle> out;
  for (Handle f : g.figures())
    if (g.get_text(f, "Tag") == title && g.get_text(f, "Name") == title) out.push_back(f);
  return out;
}

Handle reuse_or_create_window(gfx::Graphics& g, const MessageBoxSetup& s, double width) {
  if (s.mode != "non-modal") {
    std::vector<Handle> same = windows_titled(g, s.title);
    if (!same.empty()) {
      Handle fig = same.front();
      for (std::size_t i = 1; i < same.size(); ++i) g.destroy(same[i]);
      g.set(fig, "Units", "points");
      Value pos = g.get(fig, "Position");
      g.set(fig, "Position", Value::row({pos(0), pos(1), width, L::kInitialHeight}));
      std::vector<Handle> kids = g.children(fig);
      for (Handle c : kids)
        if (g.valid(c)) g.destroy(c);
      return fig;
    }
  }
  Handle fig = g.new_figure({{"Name", s.title},
                             {"Tag", s.title},
                             {"NumberTitle", "off"},
                             {"Pointer", "arrow"},
                             {"Units", "points"},
                             {"Visible", "off"},
                             {"WindowStyle", s.mode == "modal" ? "modal" : "normal"},
                             {"HandleVisibility", "callback"},
                             {"ToolBar", "none"},
                             {"MenuBar", "none"},
                             {"Resize", "off"},
                             {"Color", g.get(gfx::kRoot, "defaultUicontrolBackgroundColor")}});
  g.set(fig, "Position", Value::row({0, 0, width, L::kInitialHeight}));
  g.set_native_callback(fig, "KeyPressFcn", [](Handle) { message_box_key_press(); });
  return fig;
}

Value lines_cell(const std::vector<std::u16string>& lines) {
  Value c = Value::cell(lines.size(), lines.empty() ? 0 : 1);
  for (std::size_t i = 0; i < lines.size(); ++i) c.at(i) = Value::from_u16(lines[i]);
  return c;
}

}  // namespace

MessageBoxSetup resolve_message_box_args(const ValueList& args) {
  if (args.empty()) throw RuntimeError(kNotEnoughInputsText);
  if (args.size() > 6) throw RuntimeError(kTooManyInputsText);
  MessageBoxSetup s;
  const std::size_t n = args.size();
  if (n == 2) {
    if (is_create_mode(args[1]))
      apply_mode(args[1], s);
    else
      s.title = text_input(args[1], "title");
  } else if (n == 3) {
    s.title = text_input(args[1], "title");
    if (is_create_mode(args[2]))
      apply_mode(args[2], s);
    else
      apply_icon(args[2], s);
  } else if (n == 4) {
    s.title = text_input(args[1], "title");
    apply_icon(args[2], s);
    apply_mode(args[3], s);
  } else if (n >= 5) {
    if (n == 5 && is_create_mode(args[4]))
      throw RuntimeError(
          "A Colormap must be specified when calling MSGBOX with 5 input arguments.");
    s.title = text_input(args[1], "title");
    apply_icon(args[2], s);
    s.icon_data = args[3];
    s.icon_colormap = args[4];
    if (n == 5 && s.icon != "custom") {
      warn("Icon must be 'custom' when specifying icon data in MSGBOX");
      s.icon = "custom";
    }
    if (n == 6) apply_mode(args[5], s);
  }
  return s;
}

std::vector<std::u16string> wrap_message(const Value& message, std::size_t columns) {
  std::vector<std::u16string> lines;
  for (std::u16string rest : paragraphs(message)) {
    bool broken = false;
    while (rest.size() > columns) {
      broken = true;
      std::size_t cut = rest.find_last_of(u' ', columns);
      std::size_t next = cut + 1;
      if (cut == std::u16string::npos || cut == 0) cut = next = columns;  // one long word
      std::u16string line = rest.substr(0, cut);
      while (!line.empty() && line.back() == u' ') line.pop_back();
      lines.push_back(line);
      std::size_t keep = rest.find_first_not_of(u' ', next);
      rest.erase(0, keep == std::u16string::npos ? rest.size() : keep);
    }
    if (!broken || !rest.empty()) lines.push_back(rest);
  }
  return lines;
}

Handle msgboxd(const Value& message, const MessageBoxSetup& setup) {
  gfx::Graphics& g = gfx::graphics();
  const bool has_icon = setup.icon != "none";
  if (setup.icon == "custom") check_custom_icon(setup);
  const std::vector<std::u16string> lines =
      setup.table ? paragraphs(message) : wrap_message(message);
  const std::u16string unwrapped = join_lines(paragraphs(message));

  const double init_width = has_icon ? L::kInitialWidthWithIcon : L::kInitialWidth;
  Handle fig = reuse_or_create_window(g, setup, init_width);
  Value color = g.get(fig, "Color");
  Value font = setup.table ? Value(kTableFontName) : g.get(gfx::kRoot, "FactoryUicontrolFontName");

  Handle ok = g.create(gfx::Type::UiControl, fig,
                       {{"Style", "pushbutton"},
                        {"Units", "points"},
                        {"Tag", "OKButton"},
                        {"String", "OK"},
                        {"HorizontalAlignment", "center"}});
  g.set_native_callback(ok, "Callback", [](Handle source) {
    gfx::Graphics& gr = gfx::graphics();
    Handle f = gr.valid(source) ? gr.figure_of(source) : gr.current_figure_or_none();
    if (f >= 0) gr.destroy(f);
  });

  // The wrapped text's size, measured by a temporary control in the box's font.
  const double text_bottom = L::kOffset + L::kOffset + L::kButtonHeight;
  const double text_left = has_icon ? L::kOffset + L::kIconSide + L::kOffset : L::kOffset;
  const double init_text_w = init_width - 2 * L::kOffset - (has_icon ? L::kIconSide : 0);
  const double init_text_h = L::kInitialHeight - L::kOffset - text_bottom;
  Handle probe =
      g.create(gfx::Type::UiControl, fig,
               {{"Style", "text"},
                {"Units", "points"},
                {"Position", Value::row({text_left, text_bottom, init_text_w, init_text_h})},
                {"Tag", "MessageBox"},
                {"HorizontalAlignment", "left"},
                {"ForegroundColor", Value::row({0, 0, 0})},
                {"BackgroundColor", color},
                {"FontName", font},
                {"FontSize", L::kFontSize},
                {"String", Value::from_u16(join_lines(lines))}});
  Value extent = g.get(probe, "Extent");
  g.destroy(probe);
  double text_w = std::max(init_text_w, extent(2));
  double text_h = std::max(init_text_h, extent(3));
  auto [sw, sh] = screen_size("points");
  if (setup.table) {
    // A table sits in a read-only text field with room for its frame; a
    // table larger than most of the screen scrolls inside the field, so the
    // window never passes the screen's edges.
    text_w = std::min(text_w + L::kTableFieldPad,
                      std::max(init_text_w, sw * L::kTableScreenShare - text_left - L::kOffset));
    text_h = std::min(text_h + L::kTableFieldPad,
                      std::max(init_text_h, sh * L::kTableScreenShare - text_bottom - L::kOffset));
  }

  double icon_bottom = text_bottom, text_y = text_bottom;
  if (has_icon) {
    if (text_h < L::kIconSide)
      text_y = text_bottom + (L::kIconSide - text_h) / 2;
    else
      icon_bottom = text_bottom + (text_h - L::kIconSide) / 2;
  }
  const double content_h = has_icon ? std::max(text_h, L::kIconSide) : text_h;
  const double height = text_bottom + content_h + L::kOffset;
  const double width = text_left + text_w + L::kOffset;
  g.set(ok, "Position",
        Value::row({(width - L::kButtonWidth) / 2, L::kOffset, L::kButtonWidth, L::kButtonHeight}));

  g.set(fig, "Units", "points");
  g.set(fig, "Position", Value::row({(sw - width) / 2, (sh - height) / 2, width, height}));

  if (setup.table) {
    // The table can be selected and copied, and grows with the window.
    Handle field = g.create(gfx::Type::UiControl, fig,
                            {{"Style", "edit"},
                             {"Max", 2},
                             {"Min", 0},
                             {"Enable", "inactive"},
                             {"Units", "points"},
                             {"Position", Value::row({text_left, text_y, text_w, text_h})},
                             {"Tag", "MessageBox"},
                             {"HorizontalAlignment", "left"},
                             {"ForegroundColor", Value::row({0, 0, 0})},
                             {"BackgroundColor", Value::row({1, 1, 1})},
                             {"FontName", font},
                             {"FontSize", L::kFontSize},
                             {"String", lines_cell(lines)}});
    g.set(field, "Units", "normalized");
  } else {
    // The text lives on an invisible axes spanning the window, in points.
    Handle text_axes = g.create(gfx::Type::Axes, fig,
                                {{"Units", "normalized"},
                                 {"Position", Value::row({0, 0, 1, 1})},
                                 {"Visible", "off"},
                                 {"XLim", Value::row({0, width})},
                                 {"YLim", Value::row({0, height})}});
    g.create(gfx::Type::Text, text_axes,
             {{"Position", Value::row({text_left, text_y + L::kTextRaise, 0})},
              {"HorizontalAlignment", "left"},
              {"VerticalAlignment", "bottom"},
              {"Interpreter", setup.interpreter},
              {"FontName", font},
              {"FontSize", L::kFontSize},
              {"Color", Value::row({0, 0, 0})},
              {"Tag", "MessageBox"},
              {"String", lines_cell(lines)}});
  }

  if (has_icon) {
    Value image, map;
    if (setup.icon == "custom") {
      image = setup.icon_data;
      map = setup.icon_colormap;
    } else {
      StockIcon which = setup.icon == "warn"   ? StockIcon::Warn
                        : setup.icon == "help" ? StockIcon::Help
                                               : StockIcon::Error;
      image = stock_icon_image(which);
      map = stock_icon_colormap(color);
    }
    const double rows = static_cast<double>(image.rows()), cols = static_cast<double>(image.cols());
    Handle icon_axes =
        g.create(gfx::Type::Axes, fig,
                 {{"Units", "points"},
                  {"Position", Value::row({L::kOffset, icon_bottom, L::kIconSide, L::kIconSide})},
                  {"Tag", "IconAxes"},
                  {"Visible", "off"},
                  {"XLim", Value::row({0.5, cols + 0.5})},
                  {"YLim", Value::row({0.5, rows + 0.5})}});
    g.create(
        gfx::Type::Image, icon_axes,
        {{"CData", image}, {"XData", Value::row({1, cols})}, {"YData", Value::row({1, rows})}});
    if (!map.empty()) g.set(fig, "Colormap", map);
  }

  g.set(fig, "HandleVisibility", "callback");
  g.set(fig, "Visible", "on");
  g.backend().message_window_shown(fig, setup.title, u16_to_utf8(unwrapped));
  return fig;
}

std::optional<Handle> msgboxd(const ValueList& args) {
  if (!args.empty() && args[0].is_char() && args[0].to_string() == kKeyPressMarker) {
    message_box_key_press();
    return std::nullopt;
  }
  MessageBoxSetup setup = resolve_message_box_args(args);
  return msgboxd(args[0], setup);
}

void message_box_key_press() {
  gfx::Graphics& g = gfx::graphics();
  // The window whose key handler runs; the current figure may be another
  // window that was made current after the box opened.
  Handle fig = g.valid(g.callback_figure()) ? g.callback_figure() : g.current_figure_or_none();
  if (fig < 0) return;
  Value ch = g.get(fig, "CurrentCharacter");
  double code = -1;
  if (ch.is_char() && !ch.empty())
    code = ch.chars().front();
  else if (ch.is_double() && !ch.empty())
    code = ch(0);
  if (code == 32 || code == 13) g.destroy(fig);
}

}  // namespace velmora::gui
