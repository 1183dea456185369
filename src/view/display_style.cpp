// The display settings applied to the 3D figure, and the menu check marks
// that show them.
#include "view/display_style.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/render/line_spec.hpp"
#include "platform/render/renderer.hpp"
#include "platform/render/scene.hpp"
#include "platform/runtime/cformat.hpp"
#include "view/document.hpp"

namespace velmora::app {

using gfx::graphics;
using gfx::Handle;

namespace {

using render::kPxPerPt;
constexpr double kSmallestSymbol = 1;  // points
// Colours by role.  The mean is drawn last, in a face that stands out from
// the blue-to-red specimens and from the white background alike.
const render::Rgb kSpecimenColour{0.12, 0.3, 0.85};
const render::Rgb kMeanEdge{0, 0, 0};
const render::Rgb kMeanFace{1, 0.8, 0.05};
// The two ends of a pair: the colour scale's ends.
const render::Rgb kLowColour{0.1, 0.3, 0.9};
const render::Rgb kHighColour{0.85, 0.1, 0.1};
const render::Rgb kReferenceColour{0, 0.55, 0};
const render::Rgb kVectorColour{0.1, 0.25, 0.9};
const render::Rgb kGridColour{0.55, 0.55, 0.55};
const render::Rgb kCurveColour{0.2, 0.55, 0.35};
const render::Rgb kNumberColour{0.2, 0.2, 0.2};

Value rgb(render::Rgb c) {
  return Value::row({c.r, c.g, c.b});
}

// The colour a line specification names, or `fallback`.
render::Rgb spec_colour(const std::string& spec, render::Rgb fallback) {
  try {
    return render::parse_line_spec(spec).color.value_or(fallback);
  } catch (const std::exception&) {
    return fallback;
  }
}

render::LineSpec parsed(const std::string& spec, std::string_view fallback) {
  try {
    return render::parse_line_spec(spec);
  } catch (const std::exception&) {
    return render::parse_line_spec(fallback);
  }
}

// The median over landmarks of the distance to the nearest other landmark.
double typical_spacing(const shape::Config& ref) {
  std::vector<double> nearest;
  // Every landmark of a small configuration; about 400 of a dense one.
  const Eigen::Index stride = std::max<Eigen::Index>(1, ref.rows() / 400);
  for (Eigen::Index i = 0; i < ref.rows(); i += stride) {
    double best = INFINITY;
    for (Eigen::Index j = 0; j < ref.rows(); ++j)
      if (j != i) best = std::min(best, (ref.row(i) - ref.row(j)).norm());
    if (std::isfinite(best) && best > 0) nearest.push_back(best);
  }
  if (nearest.empty()) return 0;
  std::nth_element(nearest.begin(), nearest.begin() + nearest.size() / 2, nearest.end());
  return nearest[nearest.size() / 2];
}

// The 3D figure's axes, or -1 when the figure is closed or has none.
Handle axes_3d(Document& doc) {
  auto& g = graphics();
  const std::optional<Handle>& fig = doc.window.figure3d;
  if (!fig || !g.valid(*fig) || g.type(*fig) != gfx::Type::Figure) return -1;
  Value ax = g.get(*fig, "CurrentAxes");
  return g.valid(ax) && g.type(ax(0)) == gfx::Type::Axes ? Handle(ax(0)) : Handle(-1);
}

void set_on(Handle h, std::string_view prop, bool on) {
  graphics().set(h, prop, on ? "on" : "off");
}

// Symbol look: size, edge and face (filled in `face`, or hollow).
void style_symbols(Document& doc, Handle h, double size_pt, render::Rgb edge, render::Rgb face) {
  auto& g = graphics();
  const DisplaySettings& d = doc.window.display;
  g.set(h, "Color", rgb(edge));
  g.set(h, "LineStyle", "none");  // symbols only, whatever style drew them
  g.set(h, "MarkerSize", std::max(kSmallestSymbol, size_pt + d.symbol_size_change));
  g.set(h, "MarkerEdgeColor", rgb(edge));
  g.set(h, "MarkerFaceColor", d.filled_symbols ? rgb(face) : Value("none"));
}

void style_stroke(Document& doc, Handle h, render::Rgb colour, render::LineStyle style) {
  auto& g = graphics();
  g.set(h, "Color", rgb(colour));
  g.set(h, "LineStyle", std::string(render::line_style_name(style)));
  g.set(h, "LineWidth", std::max(kThinnestLine, doc.window.display.line_width));
}

// The landmark numbers beside the symbols of the first configuration shown
// (mean, reference or target), offset by the symbol's radius so that the
// number never covers its symbol.
void number_landmarks(Document& doc, Handle ax, const std::vector<Handle>& lines) {
  auto& g = graphics();
  for (Handle c : std::vector<Handle>(g.children(ax)))
    if (g.type(c) == gfx::Type::Text && g.get_text(c, "Tag") == role::kLandmarkNumber) g.destroy(c);
  if (!doc.window.display.landmark_numbers) return;
  Handle shown = -1;
  for (std::string_view r :
       {role::kMean, role::kReference, role::kTarget, role::kSurfaceLandmark}) {
    for (Handle h : lines)
      if (g.get_text(h, "Tag") == r) {
        shown = h;
        break;
      }
    if (shown >= 0) break;
  }
  std::vector<double> xs, ys, zs;
  double radius_pt = 3;
  if (shown >= 0) {
    xs = g.get(shown, "XData").data();
    ys = g.get(shown, "YData").data();
    zs = g.get(shown, "ZData").data();
    radius_pt = 0.5 * g.get_number(shown, "MarkerSize");
  } else if (const auto fit = doc.session.superimposition()) {
    const shape::Config& ref = fit->reference();
    for (Eigen::Index i = 0; i < ref.rows(); ++i)
      xs.push_back(ref(i, 0)), ys.push_back(ref(i, 1)), zs.push_back(ref(i, 2));
  }
  if (zs.size() != xs.size()) zs.assign(xs.size(), 0.0);
  for (std::size_t i = 0; i < xs.size() && i < ys.size(); ++i) {
    Handle t = g.text(ax, xs[i], ys[i], zs[i], Value(cformat("%i", {static_cast<double>(i + 1)})));
    g.set(t, {{"Tag", std::string(role::kLandmarkNumber)},
              {"HorizontalAlignment", "left"},
              {"VerticalAlignment", "bottom"},
              {"FontSize", 9.0},
              {"Color", rgb(kNumberColour)},
              {"Margin", radius_pt + 1}});
  }
}

}  // namespace

void assign_role(const std::vector<Handle>& lines, std::string_view role,
                 std::string_view legend_name) {
  auto& g = graphics();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    g.set(lines[i], "Tag", std::string(role));
    g.set(lines[i], "DisplayName", i == 0 ? std::string(legend_name) : std::string());
  }
}

SymbolSizes talk_symbol_sizes(const shape::Config& ref, const shape::Stack* fitted,
                              double axes_px) {
  SymbolSizes out;
  const Eigen::RowVector3d extent = ref.colwise().maxCoeff() - ref.colwise().minCoeff();
  const double span = extent.maxCoeff();
  if (!(span > 0) || !(axes_px > 0)) return out;
  // In the 3D view the box of the shape, turned, fits the plot along its
  // diagonal: about 1.6 spans across the smaller side.
  const double px_per_unit = axes_px / (1.6 * span);
  const double spacing_px = typical_spacing(ref) * px_per_unit;
  out.reference = out.mean = std::clamp(0.25 * spacing_px / kPxPerPt, 3.5, 7.0);
  if (!fitted || fitted->n() == 0 || fitted->k() != ref.rows()) {
    out.specimen = std::min(out.reference, 3.0);
    return out;
  }
  // The spread of the specimens about each landmark (root mean square).
  double sum = 0;
  for (Eigen::Index i = 0; i < fitted->n(); ++i) sum += (fitted->slice(i) - ref).squaredNorm();
  const double n = static_cast<double>(fitted->n());
  const double spread_px = std::sqrt(sum / (n * static_cast<double>(ref.rows()))) * px_per_unit;
  // n disks of diameter d over a disk of radius 2·spread cover a third of it
  // when d = 2·spread·sqrt(1/(3n)).
  const double d_px = 2 * spread_px / std::sqrt(3 * n);
  out.specimen = std::clamp(d_px / kPxPerPt, 2.0, std::max(2.0, 0.75 * out.reference));
  out.mean = std::clamp(2.5 * out.specimen, 4.0, std::max(4.0, out.reference));
  return out;
}

void style_figure3d(Document& doc) {
  auto& g = graphics();
  const Handle ax = axes_3d(doc);
  if (ax < 0) return;
  const WindowState& s = doc.window;
  const DisplaySettings& d = s.display;

  std::vector<Handle> lines;
  for (Handle c : g.children(ax))
    if (g.type(c) == gfx::Type::Line) lines.push_back(c);
  std::size_t specimens = 0;
  for (Handle h : lines) specimens += g.get_text(h, "Tag") == role::kSpecimen;

  SymbolSizes sizes;
  const std::shared_ptr<const analysis::Superimposition> fit = doc.session.superimposition();
  if (fit) {
    const auto& pos = g.object(ax).pos_px;
    sizes = talk_symbol_sizes(fit->reference(), specimens ? &fit->fitted() : nullptr,
                              std::min(pos[2], pos[3]));
  }
  // Specimens by X: only when every specimen has its value.
  const std::shared_ptr<const analysis::XVariable> xv = doc.session.x();
  const bool by_x = d.colour_by_x && xv && fit && xv->values.size() == fit->fitted().n();
  const Eigen::VectorXd* x = by_x ? &xv->values : nullptr;
  const double lo = by_x ? x->minCoeff() : 0, hi = by_x ? x->maxCoeff() : 1;

  const render::LineSpec ref_spec = parsed(d.reference_symbol, "ko");
  const render::LineSpec wire_spec = parsed(d.line_format, "k-");
  const render::Rgb target_colour = spec_colour(d.target_symbol, {1, 0, 0});
  bool first_specimen = true;
  for (Handle h : lines) {
    const std::string r = g.get_text(h, "Tag");
    if (r == role::kSpecimen) {
      render::Rgb c = kSpecimenColour;
      const Value index = g.get(h, "UserData");
      if (by_x && index.is_double() && index.numel() == 1) {
        const auto i = static_cast<Eigen::Index>(index(0));
        if (i >= 0 && i < x->size()) c = render::blue_red(hi > lo ? ((*x)(i)-lo) / (hi - lo) : 0.5);
      }
      style_symbols(doc, h, sizes.specimen, c, c);
      if (first_specimen) {
        g.set(h, "DisplayName",
              cformat(by_x ? "Specimens (n = %i), coloured by X" : "Specimens (n = %i)",
                      {static_cast<double>(specimens)}));
      }
      first_specimen = false;
    } else if (r == role::kMean) {
      g.set(
          h, "Marker",
          std::string(render::marker_name(
              ref_spec.marker == render::Marker::None ? render::Marker::Circle : ref_spec.marker)));
      const render::Rgb edge = ref_spec.color.value_or(kMeanEdge);
      style_symbols(doc, h, sizes.mean, edge, kMeanFace);
      g.set(h, "LineWidth", std::max(1.0, d.line_width));  // a clear edge round the face
    } else if (r == role::kReference) {
      // A star looks smaller than a circle of the same size.
      style_symbols(doc, h, 1.3 * sizes.reference, kReferenceColour, kReferenceColour);
    } else if (r == role::kTarget) {
      style_symbols(doc, h, sizes.reference, target_colour, target_colour);
    } else if (r == role::kSurfaceLandmark) {
      // Yellow with a black edge: neither end of the blue-to-red heat
      // scale, and seen on both.
      style_symbols(doc, h, sizes.reference, kMeanEdge, kMeanFace);
    } else if (r == role::kReferenceWire) {
      style_stroke(doc, h, wire_spec.color.value_or(render::Rgb{0, 0, 0}), wire_spec.style);
    } else if (r == role::kTargetWire) {
      style_stroke(doc, h, target_colour,
                   d.dash_dot_target ? render::LineStyle::DashDot : render::LineStyle::Solid);
    } else if (r == role::kLow || r == role::kHigh) {
      const render::Rgb c = r == role::kLow ? kLowColour : kHighColour;
      style_symbols(doc, h, sizes.reference, c, c);
    } else if (r == role::kLowWire || r == role::kHighWire) {
      style_stroke(doc, h, r == role::kLowWire ? kLowColour : kHighColour,
                   render::LineStyle::Solid);
    } else if (r == role::kVector) {
      style_stroke(doc, h, kVectorColour, render::LineStyle::Solid);
    } else if (r == role::kSemilandmark) {
      style_symbols(doc, h, 0.6 * sizes.mean, ref_spec.color.value_or(kMeanEdge), kMeanFace);
    } else if (r == role::kCurve) {
      style_stroke(doc, h, kCurveColour, render::LineStyle::Solid);
    } else if (r == role::kGrid) {
      style_stroke(doc, h, kGridColour, render::LineStyle::Solid);
      g.set(h, "LineWidth", std::max(kThinnestLine, 0.6 * d.line_width));
    } else if (r == role::kArrowHead) {
      style_stroke(doc, h, kVectorColour, render::LineStyle::Solid);
      set_on(h, "Visible", d.arrow_heads);
    } else if (g.get_text(h, "LineStyle") != "none") {
      g.set(h, "LineWidth", std::max(kThinnestLine, d.line_width));
    }
  }

  for (const char* grid : {"XGrid", "YGrid", "ZGrid"}) set_on(ax, grid, d.grid);
  g.axis(ax, d.axes_shown ? "on" : "off");
  const char* names[3] = {"x", "y", "z"};
  const char* props[3] = {"XLabel", "YLabel", "ZLabel"};
  for (int i = 0; i < 3; ++i)
    g.set(g.get(ax, props[i])(0), "String", d.axis_labels ? names[i] : "");
  number_landmarks(doc, ax, lines);
  g.set_appdata(ax, "Legend", Value(d.legend ? 1.0 : 0.0));
  if (by_x && specimens > 0) {
    g.set_appdata(ax, "ColorBar", Value::row({lo, hi}));
    // The bar names what X is: the X file's name, "Centroid size" or a label.
    const std::string& x_name = xv->name;
    g.set_appdata(ax, "ColorBarLabel", Value(x_name.empty() ? std::string("X") : x_name));
  } else {
    g.set_appdata(ax, "ColorBar", Value());
  }
}

namespace {

void check(std::string_view tag, bool on) {
  auto& g = graphics();
  for (Handle h : g.find_by_tag(tag)) g.set(h, "Checked", on ? "on" : "off");
}

bool near(double a, double b) {
  return std::fabs(a - b) < 1e-9;
}

}  // namespace

void sync_display_menus(Document& doc) {
  const DisplaySettings& d = doc.window.display;
  for (double density : {10, 20, 30, 50})
    check("Density" + std::to_string(static_cast<int>(density)), d.plot_density == density);
  check("ArrowHeads", d.arrow_heads);
  check("NoArrowHeads", !d.arrow_heads);
  check("RefSquare", d.reference_symbol == "ks");
  check("RefDiamond", d.reference_symbol == "kd");
  check("RefCircle", d.reference_symbol == "ko");
  check("RefPlus", d.reference_symbol == "k+");
  check("Line1Red", d.line_format == "r");
  check("Line1Black", d.line_format == "k" || d.line_format == "k-");
  check("Line1Dotted", d.line_format == "k:");
  for (int tenths : {5, 10, 15, 20, 25})
    check("Weight" + std::to_string(tenths), near(10 * d.line_width, tenths));
  check("DotCheck", d.dash_dot_target);
  check("SymbolFillCheck", d.filled_symbols);
  check("SymbolEmptyCheck", !d.filled_symbols);
  check("GridCheck", d.grid);
  check("AxesOnCheck", d.axes_shown);
  check("AxesOffCheck", !d.axes_shown);
  check("AxisLabelsCheck", d.axis_labels);
  check("LandmarkNumbersCheck", d.landmark_numbers);
  check("LegendCheck", d.legend);
  check("ColourByXCheck", d.colour_by_x);
  const bool log_x = doc.session.scale() == analysis::Scale::Log;
  check("RegressXCheck", !log_x);
  check("RegressLnXCheck", log_x);
  const analysis::ModelChoice& groups = doc.session.choices();
  check("SSTypeI", groups.sums == stats::SumsOfSquares::Sequential);
  check("SSTypeII", groups.sums == stats::SumsOfSquares::Marginal);
  check("OutlineNone", doc.window.outline == GroupOutline::None);
  check("OutlineEllipses", doc.window.outline == GroupOutline::Ellipses);
  check("OutlineHulls", doc.window.outline == GroupOutline::Hulls);
  check("PCACorrectedCheck", groups.pca_corrected);
  check("SpecimenLabelsCheck", d.specimen_labels);
  check("HeatScaleFixed", d.heat_scale > 0);
  // The surface shape shown, where a menu entry names it.
  using analysis::SurfaceTarget;
  const ShownSurface& shown = doc.surface;
  const bool on = shown.report && shown.of && shown.of == doc.session.surface();
  const analysis::SurfaceWarpParams& p = shown.params;
  check("SurfaceMean", on && p.target == SurfaceTarget::Mean);
  check("SurfaceXLow", on && p.target == SurfaceTarget::Regression && p.x == shown.report->x_low);
  check("SurfaceXHigh", on && p.target == SurfaceTarget::Regression && p.x == shown.report->x_high);
  check("SurfacePC1Low",
        on && p.target == SurfaceTarget::Component && p.component == 1 && p.factor == -2);
  check("SurfacePC1High",
        on && p.target == SurfaceTarget::Component && p.component == 1 && p.factor == 2);
  check("SurfaceGroup", on && p.target == SurfaceTarget::Group);
  check("Dock3DCheck", doc.window.dock3d.value_or(false));
  auto& g = graphics();
  for (Handle h : g.find_by_tag("ThinnerLines"))
    g.set(h, "Enable", d.line_width > kThinnestLine + 1e-9 ? "on" : "off");
}

PlotStyleCheck check_plot_style(const std::string& style) {
  try {
    return {true, render::parse_line_spec(style).marker != render::Marker::None};
  } catch (const std::exception&) {
    return {};
  }
}

}  // namespace velmora::app
