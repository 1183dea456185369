// Surfaces: loading a specimen's surface, showing it carried by the spline
// to the shape the analysis draws (shaded, with a heat map of the change),
// saving it and exporting a morph as picture frames.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/actions.hpp"
#include "app/presenting.hpp"
#include "app/switchyard.hpp"
#include "app/workspace.hpp"
#include "core/number_text.hpp"
#include "core/shown_text.hpp"
#include "mesh/surface.hpp"
#include "platform/runtime/console.hpp"
#include "platform/runtime/runtime_error.hpp"
#include "platform/runtime/safe_file.hpp"
#include "stats/model_formula.hpp"
#include "view/animation.hpp"
#include "view/display_style.hpp"
#include "view/figure3d.hpp"
#include "view/loaders.hpp"
#include "view/main_window.hpp"
#include "view/places.hpp"
#include "view/surface_view.hpp"

namespace velmora::app {

namespace {

constexpr const char* kSurfaceFilter = "*.ply;*.obj;*.stl;*.off";

// The words of an action's argument: a text split at blanks, or a list of
// words (a script line with several arguments).

bool number_of(const std::string& w, double& out) {
  const char* end = w.data() + w.size();
  auto [p, ec] = std::from_chars(w.data(), end, out);
  return ec == std::errc() && p == end && std::isfinite(out);
}

std::string joined(const std::vector<std::string>& w) {
  std::string s;
  for (const auto& x : w) s += (s.empty() ? "" : " ") + x;
  return s;
}

// The level a "group LEVEL" argument names, as written: the one argument
// after "group", or the text after "group" and its blanks.
std::string level_of(const Value& arg, const std::vector<std::string>& words) {
  if (arg.is_cell() && arg.numel() == 2 && arg.at(1).is_char()) return arg.at(1).to_string();
  if (arg.is_char()) {
    const std::string text = arg.to_string();
    const std::size_t at = text.find("group");
    if (at != std::string::npos) {
      const std::size_t level = text.find_first_not_of(" \t", at + 5);
      return level == std::string::npos ? std::string() : text.substr(level);
    }
  }
  return joined({words.begin() + 1, words.end()});
}

// The target a SetSurfaceTarget argument names: "mean", "x VALUE" (or
// "x low", "x high": the smallest or largest X observed), "pc N SD",
// "group LEVEL" (a group of the factor chosen; "group" alone asks which:
// nothing when the question is cancelled).
std::optional<analysis::SurfaceWarpParams> target_of(Workspace& ws, const Value& arg) {
  const std::vector<std::string> w = argument_words(arg);
  const std::string bad =
      "Set Surface Target takes \"mean\", \"x VALUE\" (or \"x low\", \"x "
      "high\"), \"pc N SD\" or \"group LEVEL\", not \"" +
      shown_text(joined(w)) + "\".";
  analysis::SurfaceWarpParams p = ws.surface.params;
  if (w.size() == 1 && w[0] == "mean") {
    p.target = analysis::SurfaceTarget::Mean;
    return p;
  }
  if (!w.empty() && w[0] == "group") {
    p.target = analysis::SurfaceTarget::Group;
    const std::vector<std::string> levels = stats::factor_levels(ws.session.chosen_factor().levels);
    p.grouping = ws.session.choices().factor;
    p.group = level_of(arg, w);
    if (w.size() == 1) {
      const auto chosen = choose_from_list(
          "Surface Shape", "The mean shape of which group of " + shown_text(p.grouping) + "?",
          levels);
      if (!chosen) return std::nullopt;
      p.group = levels[*chosen];
    }
    return p;
  }
  if (w.size() == 2 && w[0] == "x") {
    p.target = analysis::SurfaceTarget::Regression;
    if (w[1] == "low" || w[1] == "high") {
      const auto x = ws.session.x();
      if (!x || x->values.size() == 0) return p;  // the warp refuses without X
      p.x = w[1] == "low" ? x->values.minCoeff() : x->values.maxCoeff();
      return p;
    }
    if (!number_of(w[1], p.x)) refuse(bad, "Set Surface Target");
    return p;
  }
  double n = 0, sd = 0;
  if (w.size() == 3 && w[0] == "pc" && number_of(w[1], n) && number_of(w[2], sd) && n >= 1 &&
      n == std::floor(n) && n < 1e9) {
    p.target = analysis::SurfaceTarget::Component;
    p.component = static_cast<long long>(n);
    p.factor = sd;
    return p;
  }
  refuse(bad, "Set Surface Target");
}

// Warps and draws what a slider now asks, from the coarse copy of a large
// surface (not logged: a drag is many steps; where it ends, the action
// draws the whole surface).
void slid(Document& ws, const analysis::SurfaceWarpParams& params) {
  try {
    analysis::SurfaceWarpReport r = ws.session.warp_surface(params);
    make_figure3d_current(ws);
    draw_surface_report(ws, r, ws.session.wires().has_value(), ws.window.display.heat_scale,
                        SurfaceDetail::Draft);
    ShownSurface& s = ws.surface;
    s.params = params;
    s.of = r.surface;
    s.report = std::move(r);
  } catch (const std::exception& e) {
    console().error(e.what());
  }
}

// A slider let go: the action that sets its target runs on the program's
// workspace, as a click's would.
void settled(const char* action, const Value& argument) {
  run_action(workspace(), Value(action), argument);
}

// Warps and draws, with the sliders for the target; the results log records
// what was warped to what.
void show(Workspace& ws, const analysis::SurfaceWarpParams& params, bool log) {
  analysis::SurfaceWarpReport r = ws.session.warp_surface(params);
  make_figure3d_current(ws);
  draw_surface_report(ws, r, ws.session.wires().has_value(), ws.window.display.heat_scale);
  show_surface_sliders(ws, params, r, slid, settled);
  std::string logged = r.log_line;
  for (const std::string& note : r.notes) {
    console().line(note);
    logged += "\n" + note;
  }
  if (log) log_report(ws, "Surface warp", logged);
  show_status("Surface: " + r.description);
  ShownSurface& s = ws.surface;
  s.params = params;
  s.of = r.surface;
  s.report = std::move(r);
}

// The surface as shown, warped again from the session as it is now (the
// regression or the superimposition may have changed since it was drawn);
// the mean surface when the surface shown is not the one loaded.
const analysis::SurfaceWarpReport& current(Workspace& ws) {
  ShownSurface& s = ws.surface;
  if (s.of != ws.session.surface()) s.params = {};
  s.report = ws.session.warp_surface(s.params);
  s.of = s.report->surface;
  return *s.report;
}

}  // namespace

void actions::load_surface(Workspace& ws, const Value&) {
  analysis::Session& a = ws.session;
  auto pick = pick_file_to_load(kSurfaceFilter);
  if (!pick) return;
  analysis::LoadSurfaceParams params;
  params.path = pick->path();
  analysis::LoadSurfaceReport r = a.load_surface(params);
  if (r.needs_choice) {
    const auto chosen = choose_from_list(
        "Load Surface", "Which specimen is \"" + shown_name(pick->name) + "\" the surface of?",
        r.choices);
    if (!chosen) return;
    params.surface = std::move(r.read);
    params.specimen = static_cast<Eigen::Index>(*chosen);
    r = a.load_surface(std::move(params));
  }
  for (const std::string& note : r.notes) console().line(note);
  if (!r.notes.empty()) show_message_box(joined(r.notes), "Load Surface");
  log_report(ws, "Surface loaded", r.log_line);
  ws.surface = {};
  show(ws, {}, false);
  make_main_current(ws);
}

void actions::show_surface(Workspace& ws, const Value&) {
  show(ws,
       ws.surface.of == ws.session.surface() ? ws.surface.params : analysis::SurfaceWarpParams{},
       true);
}

void actions::set_surface_target(Workspace& ws, const Value& arg) {
  if (const auto target = target_of(ws, arg)) show(ws, *target, true);
}

void actions::set_surface_exaggeration(Workspace& ws, const Value& arg) {
  std::vector<std::string> w = argument_words(arg);
  if (w.empty()) {
    // The window offers the usual factors; the slider gives any other.
    const std::vector<double> offered = {0.5, 1, 2, 3, 5, 10};
    std::vector<std::string> names;
    for (double f : offered)
      names.push_back("×" + shortest_number(f) + (f == 1 ? " (the change itself)" : ""));
    const auto chosen = choose_from_list(
        "Surface Exaggeration", "By how much is the change from the mean shape multiplied?", names);
    if (!chosen) return;
    w = {shortest_number(offered[*chosen])};
  }
  double times = 0;
  // Beyond a factor of 1e6 the drawn change is far outside any window, as
  // for the landmark displays.
  if (w.size() != 1 || !number_of(w[0], times) || std::abs(times) > 1e6)
    refuse(
        "Set Surface Exaggeration takes one number from -1000000 to 1000000, the factor on "
        "the change from the mean shape (1: the change itself), as in SetSurfaceExaggeration "
        "2; not \"" +
            shown_text(joined(w)) + "\".",
        "Set Surface Exaggeration");
  analysis::SurfaceWarpParams p =
      ws.surface.of == ws.session.surface() ? ws.surface.params : analysis::SurfaceWarpParams{};
  p.exaggeration = times;
  // The mean surface itself does not change: nothing to log.
  show(ws, p, p.target != analysis::SurfaceTarget::Mean);
}

void actions::save_surface(Workspace& ws, const Value&) {
  const analysis::SurfaceWarpReport& r = current(ws);
  auto pick = pick_file_to_save("*.ply;*.obj;*.stl;*.off", "Save Surface As");
  if (!pick) return;
  mesh::SurfaceFormat format{};
  try {
    format = mesh::format_for_saving(pick->name);
  } catch (const std::exception& e) {
    refuse(e.what(), "Save Surface As");
  }
  mesh::Surface out;
  out.vertices = r.vertices;
  out.triangles = r.surface->mesh.triangles;
  if (format == mesh::SurfaceFormat::PlyBinary || format == mesh::SurfaceFormat::PlyAscii) {
    const std::vector<render::Rgb> heat = heat_of(r);
    out.colours.resize(static_cast<Eigen::Index>(heat.size()), 3);
    for (std::size_t i = 0; i < heat.size(); ++i) {
      const double c[3] = {heat[i].r, heat[i].g, heat[i].b};
      for (int k = 0; k < 3; ++k)
        out.colours(static_cast<Eigen::Index>(i), k) =
            static_cast<std::uint8_t>(std::lround(std::clamp(c[k], 0.0, 1.0) * 255));
    }
  }
  write_file_safely(pick->path(), mesh::surface_bytes(out, format));
  show_status("Saved the surface (" + r.description + "): " + pick->path());
}

void actions::export_animation(Workspace& ws, const Value& arg) {
  const std::string words = joined(argument_words(arg));
  // The target shown belongs to the surface loaded (and without one there
  // is nothing to ask about).
  current(ws);
  std::optional<AnimationSize> asked;
  if (words.empty()) {
    asked = ask_animation_size(ws);
    if (!asked) return;
  }
  const AnimationSize size = asked ? *asked : animation_size(words);
  const AnimationEnds ends = animation_ends(ws, ws.surface.params);
  auto pick = pick_file_to_save("*.png;*.gif;*.mp4",
                                "Export Animation: the first frame (.png), a GIF or an MP4 video");
  if (!pick) return;
  const AnimationFile kind = animation_file(pick->name);
  check_animation_budget(size);
  const std::vector<std::string> paths = kind == AnimationFile::Frames
                                             ? frame_paths(pick->path(), size.frames)
                                             : std::vector<std::string>{pick->path()};
  // Every file's name is checked before the first frame is drawn.
  for (const std::string& path : paths) check_writable(path);
  if (asked) ws.recorder.record_argument(asked->text());
  const gfx::Handle fig = make_figure3d_current(ws);
  // Every frame on one scale: the animation's own, the display's fixed one,
  // else the larger end's.
  const double top = size.scale_top > 0                 ? size.scale_top
                     : ws.window.display.heat_scale > 0 ? ws.window.display.heat_scale
                                                        : ends.largest;
  auto draw = [&](std::size_t i) {
    const double t = size.frames == 1 ? 0.5 : double(i) / (size.frames - 1);
    analysis::SurfaceWarpReport r = ws.session.warp_surface(frame_params(ends, t));
    draw_surface_report(ws, r, ws.session.wires().has_value(), top);
  };
  try {
    if (kind == AnimationFile::Frames) {
      auto frame = [&](std::size_t i) {
        draw(i);
        return frame_png(fig, size);
      };
      // The first frame, made before any is written, tells what they all take.
      std::string first = frame(0);
      if (const auto free = free_bytes_in(pick->folder)) {
        const std::string why =
            animation_space_refusal(first.size(), size.frames, *free, pick->folder);
        if (!why.empty()) refuse(why, "Export Animation");
      }
      write_files_safely(paths,
                         [&](std::size_t i) { return i == 0 ? std::move(first) : frame(i); });
    } else {
      const std::string bytes = animation_video(fig, size, kind, draw);
      if (const auto free = free_bytes_in(pick->folder)) {
        const std::string why = animation_space_refusal(bytes.size(), 1, *free, pick->folder);
        if (!why.empty()) refuse(why, "Export Animation");
      }
      write_file_safely(pick->path(), bytes);
    }
  } catch (...) {
    show(ws, ws.surface.params, false);  // the 3-D window shows what it showed
    throw;
  }
  const std::string what =
      kind == AnimationFile::Frames
          ? shown_name(paths.front()) + " … " + shown_name(paths.back())
          : shown_name(paths.front()) +
                (kind == AnimationFile::Gif ? " (an animated GIF)" : " (an H.264 video)");
  char speed[32];
  std::snprintf(speed, sizeof speed, "%d a second", size.fps);
  log_report(ws, "Surface animation",
             std::to_string(size.frames) + " frames from " + ends.from_text + " to " +
                 ends.to_text + ", " + std::to_string(size.width) + "×" +
                 std::to_string(size.height) + " pixels" +
                 (kind == AnimationFile::Frames ? std::string() : ", " + std::string(speed)) +
                 ", heat scale 0 to " + format_number(top) + ": " + what + ".");
  show(ws, ws.surface.params, false);
  show_status(kind == AnimationFile::Frames
                  ? "Exported " + std::to_string(size.frames) + " frames: " + paths.front()
                  : "Exported the animation (" + std::to_string(size.frames) +
                        " frames): " + paths.front());
}

// "auto": each surface shape's heat map from 0 to its own largest
// displacement; a number: every shape's and every animation frame's from 0
// to it; without an argument the other of the two, fixed at the largest
// displacement shown now, recorded as chosen.
void actions::set_heat_scale(Workspace& ws, const Value& arg) {
  double& scale = ws.window.display.heat_scale;
  const std::vector<std::string> w = argument_words(arg);
  double top = 0;
  if (w.empty()) {
    const ShownSurface& s = ws.surface;
    const bool shown = s.report && s.of == ws.session.surface();
    if (scale == 0 && !(shown && s.report->largest_displacement > 0))
      refuse(
          "The surface shown has no displacement to fix the scale at: show a surface shape "
          "first (Display ▸ Surface Shape), or give the scale's top, as in SetHeatScale 0.5.",
          "Set Heat Scale");
    top = scale > 0 ? 0 : s.report->largest_displacement;
    ws.recorder.record_argument(top > 0 ? shortest_number(top) : "auto");
  } else if (!(w.size() == 1 && (w[0] == "auto" || (number_of(w[0], top) && top > 0)))) {
    refuse(
        "Set Heat Scale takes \"auto\" or the top of the scale in specimen units, a number "
        "above 0, as in SetHeatScale 0.5; not \"" +
            shown_text(joined(w)) + "\".",
        "Set Heat Scale");
  }
  scale = top;
  if (ws.surface.of == ws.session.surface() && ws.surface.report)
    show(ws, ws.surface.params, false);
}

}  // namespace velmora::app
