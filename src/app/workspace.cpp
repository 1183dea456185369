#include "app/workspace.hpp"

#include "bindings/numeric_calls.hpp"
#include "bindings/shape_values.hpp"
#include "view/main_window.hpp"

namespace velmora::app {

namespace {

template <typename T>
Value optional_matrix(const std::optional<T>& m) {
  return m ? Value::matrix(*m) : Value();
}

Value optional_matrix(const std::shared_ptr<const Eigen::MatrixXd>& m) {
  return m ? Value::matrix(*m) : Value();
}

Value optional_handle(const std::optional<gfx::Handle>& h) {
  return h ? Value(*h) : Value();
}

}  // namespace

namespace {

// The session's notes of long computations (a dense reference's basis)
// reach the console and, before the work blocks the window, its status line.
Notify session_note() {
  return [console = console_note()](const std::string& line) {
    console(line);
    show_status_now(line);
  };
}

}  // namespace

Workspace::Workspace() {
  session.note = session_note();
}

void Workspace::reset() {
  session = analysis::Session{};
  session.note = session_note();
  window = WindowState{};
}

std::vector<std::pair<std::string_view, Value>> Workspace::named() const {
  const analysis::Session& a = session;
  const WindowState& w = window;
  const auto fit = a.superimposition();
  const auto x = a.x();
  const auto regression = a.regression();
  std::vector<std::pair<std::string_view, Value>> out;
  out.emplace_back("DATA", a.has_sample() ? Value::matrix(a.sample().rows) : Value());
  out.emplace_back("DATAV", fit ? shape::stack_to_value(fit->fitted()) : Value());
  out.emplace_back("reference", fit ? Value::matrix(fit->reference()) : Value());
  out.emplace_back("XVariable", x ? Value::matrix(x->values) : Value());
  out.emplace_back("pwscores", optional_matrix(a.scores()));
  out.emplace_back("gvector", regression ? Value::matrix(regression->slopes) : Value());
  out.emplace_back("delta", regression ? Value::matrix(regression->delta) : Value());
  out.emplace_back("linregress", Value(a.scale() == analysis::Scale::Log ? 0.0 : 1.0));
  out.emplace_back("wirelist", optional_matrix(a.wires()));
  out.emplace_back("wireactive", a.wires() ? Value(1.0) : Value());
  out.emplace_back("h3dfig", optional_handle(w.figure3d));
  out.emplace_back("h2dfig", optional_handle(w.main_window));
  ValueList codes;
  for (const std::string& c : deformation_codes()) codes.emplace_back(c);
  out.emplace_back("deftypelist", Value::cell_row(std::move(codes)));
  out.emplace_back("vrefsymbol", Value(w.display.reference_symbol));
  out.emplace_back("vtargetsymbol", Value(w.display.target_symbol));
  out.emplace_back("vlineformat1", Value(w.display.line_format));
  out.emplace_back("vlinewidth", Value(w.display.line_width));
  out.emplace_back("vaheads", Value(w.display.arrow_heads ? 1.0 : 0.0));
  out.emplace_back("vplotdensity", Value(w.display.plot_density));
  out.emplace_back("vsuperimposition",
                   Value(a.method() == analysis::Method::Optimal ? "optimal" : "classic"));
  out.emplace_back("vfullprecision", Value(w.full_precision ? "on" : "off"));
  return out;
}

Workspace& workspace() {
  static Workspace w;
  return w;
}

}  // namespace velmora::app
