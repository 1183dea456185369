#include "plot/deformation.hpp"

#include <cmath>

#include "platform/runtime/runtime_error.hpp"
#include "plot/plot_calls.hpp"
#include "plot_fixture.hpp"
#include "shape/types.hpp"
#include "tps/deformation.hpp"

namespace velmora::plot {
namespace {

constexpr Eigen::Index kLandmarks = 8;
constexpr Eigen::Index kScoreColumns = 3 * kLandmarks - 7;

// The line style a specification draws: its own, none for a marker alone,
// solid for a colour alone.
std::string line_style_of(const std::string& spec) {
  const auto dash = spec.find('-');
  if (dash != std::string::npos) return spec.substr(dash);
  return spec.size() > 1 ? "none" : "-";
}

// plotpw3d as a script calls it.
void plotpw3d(const Value& ref, const Value& scores, const char* refsymbol,
              const char* targetsymbol, const char* type, const Value& refwires,
              const Value& targetwires, const char* linespec = "r-") {
  static const FunctionTable* table = [] {
    auto* t = new FunctionTable;
    register_deformation_functions(*t);
    return t;
  }();
  table->call("plotpw3d",
              {ref, scores, Value(refsymbol), Value(targetsymbol), Value(type), refwires,
               targetwires, Value(linespec)},
              0);
}

class Deformation : public PlotTest {
 protected:
  void SetUp() override {
    PlotTest::SetUp();
    ref_ = random_config(kLandmarks, 5);
    ref_.rowwise() -= ref_.colwise().mean();
    ref_ /= ref_.norm();
    scores_ = 0.05 * random_config(kScoreColumns, 6).col(0).transpose();
    wires_.resize(5, 3);
    wires_ << 1, 1, 2, 2, 2, 3, 3, 3, 8, 4, 5, 6, 5, 7, 4;
  }
  Eigen::MatrixXd target(const Eigen::RowVectorXd& scores) const {
    return tps::deformations_from_scores(ref_, scores).slice(0);
  }

  // What one drawn object must be.
  struct Expected {
    enum Kind { Shape, Wire, Vector } kind;
    const Eigen::MatrixXd* config;  // the configuration drawn (Vector: its start)
    const char* style;
    Eigen::Index index = 0;  // the landmark of a vector
  };
  void expect_drawn(const std::vector<Expected>& want, const Eigen::MatrixXd& deformed,
                    const std::string& what) const {
    const auto kids = lines();
    ASSERT_EQ(kids.size(), want.size()) << what;
    for (std::size_t i = 0; i < want.size(); ++i) {
      const Expected& e = want[i];
      const gfx::Handle h = kids[i];
      SCOPED_TRACE(what + ", object " + std::to_string(i + 1));
      EXPECT_EQ(g->get(h, "Color"), rgb(e.style[0]));
      EXPECT_EQ(g->get_text(h, "LineStyle"), line_style_of(e.style));
      const Eigen::MatrixXd& c = *e.config;
      switch (e.kind) {
        case Expected::Shape:
          ASSERT_EQ(points(h), static_cast<std::size_t>(c.rows()));
          for (Eigen::Index j = 0; j < c.rows(); ++j)
            EXPECT_LT((point(h, static_cast<std::size_t>(j)) - c.row(j)).norm(), 1e-15);
          break;
        case Expected::Wire:
          // The whole wireframe: each wire's two ends, NaN between wires.
          ASSERT_EQ(points(h), static_cast<std::size_t>(3 * wires_.rows() - 1));
          for (Eigen::Index w = 0; w < wires_.rows(); ++w) {
            for (Eigen::Index end = 0; end < 2; ++end) {
              const auto j = static_cast<Eigen::Index>(wires_(w, 1 + end)) - 1;
              EXPECT_LT((point(h, static_cast<std::size_t>(3 * w + end)) - c.row(j)).norm(), 1e-15);
            }
          }
          break;
        case Expected::Vector:
          ASSERT_EQ(points(h), 2u);
          EXPECT_LT((point(h, 0) - c.row(e.index)).norm(), 1e-15);
          EXPECT_LT((point(h, 1) - deformed.row(e.index)).norm(), 1e-15);
          break;
      }
    }
  }

  Eigen::MatrixXd ref_;
  Eigen::RowVectorXd scores_;
  Eigen::MatrixXd wires_;
};

TEST_F(Deformation, EachDisplayTypeDrawsItsObjectsInOrder) {
  const Eigen::MatrixXd deformed = target(scores_);
  // The deformed shape differs from the reference, so the checks below can
  // tell them apart.
  ASSERT_GT((deformed - ref_).norm(), 1e-3);
  const Value absent_lists[] = {Value(), Value::zeros(0, 3)};
  Eigen::MatrixXd unnumbered = wires_;
  unnumbered(0, 0) = 0;  // a list whose first number is 0 counts as absent
  for (int present = 0; present < 4; ++present) {
    const Value wires = present == 1   ? absent_lists[0]
                        : present == 2 ? absent_lists[1]
                        : present == 3 ? Value::matrix(unnumbered)
                                       : Value::matrix(wires_);
    const bool drawn = present == 0;
    for (const char* type : {"a", "b", "c", "d"}) {
      for (const char* linespec : {"k-.", "r"}) {
        g->clear_figure(fig);
        ax = g->current_axes();
        plotpw3d(Value::matrix(ref_), Value::matrix(scores_), "ks", "ro", type, wires, wires,
                 linespec);
        std::vector<Expected> want;
        const std::string t = type;
        auto shape_with_wires = [&](const Eigen::MatrixXd* c, const char* symbol,
                                    const char* wire_style) {
          want.push_back({Expected::Shape, c, symbol});
          if (drawn) want.push_back({Expected::Wire, c, wire_style});
        };
        if (t != "d") shape_with_wires(&ref_, "ks", "k-");
        if (t == "a" || t == "b") want.push_back({Expected::Shape, &deformed, "ro"});
        if (t == "b" && drawn) want.push_back({Expected::Wire, &deformed, linespec});
        if (t == "c")
          for (Eigen::Index j = 0; j < kLandmarks; ++j)
            want.push_back({Expected::Vector, &ref_, "b-", j});
        if (t == "d") shape_with_wires(&deformed, "ro", linespec);
        expect_drawn(want, deformed,
                     "type " + t + ", wire list " + std::to_string(present) + ", " + linespec);
        EXPECT_EQ(g->get_text(ax, "NextPlot"), "add");
        EXPECT_EQ(g->get_text(ax, "DataAspectRatioMode"), "manual");
      }
    }
  }
  // Any other type draws nothing.
  g->clear_figure(fig);
  for (const char* other : {"e", "", "A"})
    plotpw3d(Value::matrix(ref_), Value::matrix(scores_), "ks", "ro", other, Value::matrix(wires_),
             Value::matrix(wires_));
  EXPECT_TRUE(g->get(g->current_axes(), "Children").empty());
}

TEST_F(Deformation, TheTargetListDecidesAndTheReferenceListLinks) {
  const Eigen::MatrixXd deformed = target(scores_);
  // No reference wireframe, a target one present: the target's links are
  // still those of the reference list's landmark columns.
  Eigen::MatrixXd unnumbered = wires_;
  unnumbered(0, 0) = 0;
  plotpw3d(Value::matrix(ref_), Value::matrix(scores_), "ko", "ro", "d", Value::matrix(unnumbered),
           Value(5.0), "k-.");
  std::vector<Expected> want = {{Expected::Shape, &deformed, "ro"}};
  want.push_back({Expected::Wire, &deformed, "k-."});
  expect_drawn(want, deformed, "target list present");
  // A reference list without a target list: links on the reference only.
  g->clear_figure(fig);
  ax = g->current_axes();
  plotpw3d(Value::matrix(ref_), Value::matrix(scores_), "ko", "ro", "b", Value::matrix(wires_),
           Value(), "k-.");
  want = {{Expected::Shape, &ref_, "ko"}};
  want.push_back({Expected::Wire, &ref_, "k-"});
  want.push_back({Expected::Shape, &deformed, "ro"});
  expect_drawn(want, deformed, "target list absent");
}

TEST_F(Deformation, ExaggerationScalesTheDisplacements) {
  // No change: the vectors have (up to rounding) no length.
  plotpw3d(Value::matrix(ref_), Value::matrix(Eigen::RowVectorXd::Zero(kScoreColumns)), "ko", "ro",
           "c", Value(), Value());
  auto kids = lines();
  ASSERT_EQ(kids.size(), 1u + kLandmarks);
  for (std::size_t i = 1; i < kids.size(); ++i)
    EXPECT_LT((point(kids[i], 1) - point(kids[i], 0)).norm(), 1e-14);
  // The opposite scores move every landmark the opposite way, to first
  // order in the size of the change.
  const Eigen::RowVectorXd small = 1e-3 * scores_;
  const Eigen::MatrixXd forward = target(small) - ref_, back = target(-small) - ref_;
  ASSERT_GT(forward.norm(), 1e-5);
  EXPECT_LT((forward + back).norm(), 1e-2 * forward.norm());
}

TEST_F(Deformation, RefusalsAndTheCallByName) {
  auto draw = [&](const Value& ref, const Value& scores) {
    plotpw3d(ref, scores, "ko", "ro", "c", Value(), Value());
  };
  EXPECT_EQ(message_of<RuntimeError>([&] { draw(Value::zeros(8, 2), Value::matrix(scores_)); }),
            "the reference must be a configuration (k landmarks x 3 coordinates), not a 8x2 "
            "array.");
  EXPECT_EQ(message_of<RuntimeError>(
                [&] { draw(Value::matrix(ref_), Value::zeros(1, kScoreColumns + 2)); }),
            "The implied deformation got 19 score columns, but the warp matrix of the reference "
            "has 17.");
  Eigen::RowVectorXd not_finite = scores_;
  not_finite(3) = std::nan("");
  EXPECT_EQ(message_of<RuntimeError>([&] { draw(Value::matrix(ref_), Value::matrix(not_finite)); }),
            "The implied deformation cannot be built: the scores include values that are not "
            "finite numbers.");
  EXPECT_TRUE(lines().empty());

  FunctionTable table;
  register_deformation_functions(table);
  ASSERT_NE(table.find("plotpw3d"), nullptr);
  EXPECT_EQ(table.find("plotpw3d")->nargin, 8);
  EXPECT_EQ(table.find("plotpw3d")->nargout, 0);
  ValueList args = {Value::matrix(ref_), Value::matrix(scores_), Value("ko"),          Value("ro"),
                    Value("d"),          Value::matrix(wires_),  Value::matrix(wires_)};
  // Seven inputs: the deformed wireframe is solid red.
  table.call("plotpw3d", args, 0);
  const Eigen::MatrixXd deformed = target(scores_);
  std::vector<Expected> want = {{Expected::Shape, &deformed, "ro"}};
  want.push_back({Expected::Wire, &deformed, "r-"});
  expect_drawn(want, deformed, "by name");
  args.push_back(Value("k-"));
  args.push_back(Value(1.0));
  EXPECT_EQ(message_of<RuntimeError>([&] { table.call("plotpw3d", args, 0); }),
            "Run-time Error: File: plotpw3d Line: 1 Column: 1 The function \"plotpw3d\" was "
            "called with more than the declared number of inputs (8).");
}

}  // namespace
}  // namespace velmora::plot
