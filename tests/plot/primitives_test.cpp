#include "plot/primitives.hpp"

#include <Eigen/Geometry>
#include <cmath>

#include "platform/runtime/runtime_error.hpp"
#include "plot/plot_calls.hpp"
#include "plot_fixture.hpp"

namespace velmora::plot {
namespace {

struct Style {
  const char* spec;
  char color;
  const char* marker;
  const char* line_style;
};

// Every style the displays pass: a marker alone draws no line; a line style
// or a colour alone draws a line without markers.
constexpr Style kStyles[] = {
    {"gp", 'g', "pentagram", "none"}, {"bo", 'b', "o", "none"},       {"ko", 'k', "o", "none"},
    {"ks", 'k', "square", "none"},    {"kd", 'k', "diamond", "none"}, {"k+", 'k', "+", "none"},
    {"ro", 'r', "o", "none"},         {"k-", 'k', "none", "-"},       {"b-", 'b', "none", "-"},
    {"r-", 'r', "none", "-"},         {"k-.", 'k', "none", "-."},     {"r", 'r', "none", "-"},
};

void expect_style(const gfx::Graphics& g, gfx::Handle h, const Style& s) {
  EXPECT_EQ(g.get(h, "Color"), rgb(s.color)) << s.spec;
  EXPECT_EQ(g.get_text(h, "Marker"), s.marker) << s.spec;
  EXPECT_EQ(g.get_text(h, "LineStyle"), s.line_style) << s.spec;
}

using Primitives = PlotTest;

TEST_F(Primitives, ShowShapeDrawsOneLinePerConfigurationAndHolds) {
  unsigned seed = 1;
  for (std::size_t n : {1u, 2u, 5u}) {
    for (const Style& style : kStyles) {
      // A line drawn earlier, axis limits and scaling fixed by hand.  Without
      // hold the first configuration replaces it; with hold it stays.  Either
      // way showshape3D leaves hold on, automatic limits and equal scaling.
      const bool held = seed % 2 == 0;
      g->clear_axes(ax);
      g->plot(ax, {0, 1}, {0, 1}, {0, 1}, "k-", true);
      g->hold(ax, held);
      g->axis(ax, "manual");
      g->axis(ax, "normal");
      const std::size_t k = 3 + seed % 7;
      const Value x = random_stack(k, n, seed++);
      showshape3D(stack(x), style.spec);

      const auto kids = lines();
      const std::size_t first = held ? 1 : 0;
      ASSERT_EQ(kids.size(), first + n) << style.spec;
      for (std::size_t i = 0; i < n; ++i) {
        const gfx::Handle h = kids[first + i];
        ASSERT_EQ(points(h), k);
        for (std::size_t j = 0; j < k; ++j)
          EXPECT_EQ(point(h, j), Eigen::RowVector3d(x(j, 0, i), x(j, 1, i), x(j, 2, i)));
        expect_style(*g, h, style);
      }
      EXPECT_EQ(g->get_text(ax, "NextPlot"), "add");
      for (const char* mode : {"XLimMode", "YLimMode", "ZLimMode"})
        EXPECT_EQ(g->get_text(ax, mode), "auto");
      EXPECT_EQ(g->get(ax, "DataAspectRatio"), Value::row({1, 1, 1}));
      EXPECT_EQ(g->get_text(ax, "DataAspectRatioMode"), "manual");
    }
  }
  g->clear_axes(ax);
  // Held axes keep what they show.
  showshape3D(stack(random_stack(4, 2, 99)), "ko");
  showshape3D(stack(random_stack(4, 1, 98)), "gp");
  EXPECT_EQ(lines().size(), 2u + 1u);
}

TEST_F(Primitives, WiresJoinTheListedLandmarks) {
  const Value x = random_stack(12, 1, 7);
  showshape3D(config(x), "gp");
  // Wire number column of any content; landmark pairs in both orders and a
  // landmark joined to itself.
  const std::vector<std::array<double, 2>> pairs = {{1, 2}, {12, 3}, {5, 5}, {7, 11}};
  for (double number : {0.0, 7.0, -2.5}) {
    Eigen::MatrixXd w(pairs.size(), 4);
    for (std::size_t i = 0; i < pairs.size(); ++i)
      w.row(static_cast<Eigen::Index>(i)) << number, pairs[i][0], pairs[i][1], 99;
    g->clear_axes(ax);
    g->hold(ax, true);
    g->axis(ax, "normal");
    wire3d(config(x), w, "k-");
    // One line: the two ends of each wire in order, a NaN point between
    // wires, so that the pen lifts there.
    const auto kids = lines();
    ASSERT_EQ(kids.size(), 1u);
    ASSERT_EQ(points(kids[0]), 3 * pairs.size() - 1);
    for (std::size_t i = 0; i < pairs.size(); ++i) {
      for (std::size_t e = 0; e < 2; ++e) {
        const auto a = static_cast<std::size_t>(pairs[i][e]) - 1;
        EXPECT_EQ(point(kids[0], 3 * i + e), Eigen::RowVector3d(x(a, 0), x(a, 1), x(a, 2)));
      }
      if (i > 0) {
        EXPECT_TRUE(point(kids[0], 3 * i - 1).array().isNaN().all());
      }
    }
    expect_style(*g, kids[0], {"k-", 'k', "none", "-"});
    // Neither hold nor the scaling is touched.
    EXPECT_EQ(g->get_text(ax, "DataAspectRatioMode"), "auto");
  }
  // Solid blue by default; an empty list draws nothing.
  g->clear_axes(ax);
  wire3d(config(x), Value::row({1, 4, 9}).to_matrix());
  ASSERT_EQ(lines().size(), 1u);
  expect_style(*g, lines()[0], {"b-", 'b', "none", "-"});
  wire3d(config(x), Eigen::MatrixXd::Zero(0, 3));
  wire3d(config(x), Eigen::MatrixXd());
  EXPECT_EQ(lines().size(), 1u);
}

// Values that are not configurations or wire lists are refused by the
// functions called by name, before anything is drawn.
TEST_F(Primitives, WireAndConfigurationRefusalsDrawNothing) {
  FunctionTable table;
  register_plot_functions(table);
  auto showshape3D = [&](const Value& x, const char* spec) {
    table.call("showshape3D", {x, Value(spec)}, 0);
  };
  auto wire3d = [&](const Value& x, const Value& list, const char* spec = "b-") {
    table.call("wire3d", {x, list, Value(spec)}, 0);
  };
  auto disvec3d = [&](const Value& ref, const Value& target, const char* spec) {
    table.call("disvec3d", {ref, target, Value(spec)}, 0);
  };
  const Value x = random_stack(12, 1, 3);
  // Two wires: the first landmarks of both, then the second landmarks.
  auto wires = [&](std::initializer_list<double> from, std::initializer_list<double> to) {
    std::vector<double> v{1, 2};
    v.insert(v.end(), from);
    v.insert(v.end(), to);
    return Value::array(2, 3, 1, v);
  };
  const struct {
    Value list;
    const char* text;
  } bad[] = {
      {wires({1, 13}, {2, 3}), "Wire row 2: landmark 13 is not a whole number from 1 to 12."},
      {wires({0, 2}, {2, 3}), "Wire row 1: landmark 0 is not a whole number from 1 to 12."},
      {wires({1, 2}, {2, 2.5}), "Wire row 2: landmark 2.5 is not a whole number from 1 to 12."},
      {Value::row({1, 2}),
       "The wireframe needs 3 numbers per wire (wire number, landmark, landmark); it has 2."},
      {Value("1 2 3"), "The wireframe must be a matrix of numbers, one wire per row."},
  };
  for (const auto& b : bad) {
    EXPECT_EQ(message_of<DataRefusal>([&] { wire3d(x, b.list, "k-"); }), b.text);
    EXPECT_TRUE(lines().empty());
  }
  const std::string config = " must be a configuration of landmarks with three columns (x, y, z).";
  for (const Value& not_config : {Value::zeros(4, 2), Value::zeros(0, 3), Value("abc")}) {
    EXPECT_EQ(message_of<RuntimeError>([&] { showshape3D(not_config, "ko"); }),
              "The configuration" + config);
    EXPECT_EQ(message_of<RuntimeError>([&] {
                wire3d(not_config, Value::row({1, 1, 1}));
              }),
              "The configuration" + config);
    EXPECT_EQ(message_of<RuntimeError>([&] { disvec3d(not_config, x, "b-"); }),
              "The reference" + config);
    EXPECT_EQ(message_of<RuntimeError>([&] { disvec3d(x, not_config, "b-"); }),
              "The target" + config);
  }
  EXPECT_EQ(message_of<RuntimeError>([&] { showshape3D(x, "kq"); }),
            "Bad line specification \"kq\".");
  EXPECT_TRUE(lines().empty());
}

TEST_F(Primitives, VectorsRunFromReferenceToTarget) {
  for (unsigned seed : {1u, 2u, 3u}) {
    const std::size_t m = 4 + seed;
    const Value ref = random_stack(m, 1, seed);
    // A target with more landmarks than the reference: the extra ones are
    // not drawn.
    const Value target = random_stack(m + seed - 1, 1, seed + 10);
    g->clear_axes(ax);
    g->hold(ax, true);
    disvec3d(config(ref), config(target), "b-");
    auto kids = lines();
    ASSERT_EQ(kids.size(), m);
    for (std::size_t i = 0; i < m; ++i) {
      ASSERT_EQ(points(kids[i]), 2u);
      EXPECT_EQ(point(kids[i], 0), Eigen::RowVector3d(ref(i, 0), ref(i, 1), ref(i, 2)));
      EXPECT_EQ(point(kids[i], 1), Eigen::RowVector3d(target(i, 0), target(i, 1), target(i, 2)));
      expect_style(*g, kids[i], {"b-", 'b', "none", "-"});
    }
    // A target equal to the reference: m segments of length zero.
    g->clear_axes(ax);
    disvec3d(config(ref), config(ref), "r-");
    kids = lines();
    ASSERT_EQ(kids.size(), m);
    for (gfx::Handle h : kids) EXPECT_EQ(point(h, 0), point(h, 1));
  }
  EXPECT_EQ(
      message_of<RuntimeError>([&] { disvec3d(random_config(4, 1), random_config(3, 2), "b-"); }),
      "The target has 3 landmarks, fewer than the reference's 4.");
}

TEST_F(Primitives, CalledByNameWithTheDeclaredCounts) {
  FunctionTable table;
  register_plot_functions(table);
  const struct {
    const char* name;
    int inputs;
  } declared[] = {{"showshape3D", 2},
                  {"wire3d", 3},
                  {"disvec3d", 3},
                  {"incrementlinethickness", 2},
                  {"incrementsymbolsize", 2},
                  {"setlinethickness", 2},
                  {"setsymbolfill", 2}};
  for (const auto& d : declared) {
    const FunctionSpec* spec = table.find(d.name);
    ASSERT_NE(spec, nullptr) << d.name;
    EXPECT_EQ(spec->nargin, d.inputs) << d.name;
    EXPECT_EQ(spec->nargout, 0) << d.name;
    const std::string prefix = "Run-time Error: File: " + std::string(d.name) +
                               " Line: 1 Column: 1 The function \"" + d.name +
                               "\" was called with more than the declared number of ";
    EXPECT_EQ(message_of<RuntimeError>(
                  [&] { table.call(d.name, ValueList(d.inputs + 1, Value(1.0)), 0); }),
              prefix + "inputs (" + std::to_string(d.inputs) + ").");
    EXPECT_EQ(message_of<RuntimeError>([&] { table.call(d.name, {}, 1); }),
              prefix + "outputs (0).");
  }
  EXPECT_TRUE(lines().empty());

  // wire3d with two inputs: solid blue.
  const Value x = random_stack(5, 1, 4);
  table.call("showshape3D", {x, Value("ko")}, 0);
  table.call("wire3d", {x, Value::row({1, 2, 5})}, 0);
  table.call("disvec3d", {x, x, Value("r-")}, 0);
  const auto kids = lines();
  ASSERT_EQ(kids.size(), 1u + 1u + 5u);
  expect_style(*g, kids[1], {"b-", 'b', "none", "-"});
  expect_style(*g, kids[2], {"r-", 'r', "none", "-"});

  EXPECT_EQ(message_of<RuntimeError>([&] { table.call("showshape3D", {x}, 0); }),
            "Run-time Error: File: showshape3D Line: 1 Column: 1 Input argument \"dsymbol\" is "
            "undefined.");
  EXPECT_EQ(message_of<RuntimeError>([&] {
              table.call("setsymbolfill", {Value(fig), 1.0}, 0);
            }),
            "setsymbolfill: the first input must be an axes handle.");
  EXPECT_EQ(message_of<RuntimeError>([&] { table.call("setlinethickness", {Value(ax)}, 0); }),
            "Run-time Error: File: setlinethickness Line: 1 Column: 1 Input argument \"width\" is "
            "undefined.");
}

}  // namespace
}  // namespace velmora::plot

namespace velmora::plot {
namespace {

using Arrowheads = PlotTest;

// Every head is two V-shaped pairs of barbs meeting at the target end of its
// segment, each barb at 20° to the segment and 0.35 of it long (or the cap),
// under any rotation and translation of the configurations; zero-length
// segments get none.
TEST_F(Arrowheads, BarbsMeetAtTheTargetAtTwentyDegreesInAnyPose) {
  const double cap = 0.3;
  for (unsigned seed = 1; seed <= 6; ++seed) {
    Eigen::MatrixXd ref = random_config(7, seed), target = random_config(7, seed + 100);
    target.row(2) = ref.row(2);  // no head on a zero-length vector
    const Eigen::Matrix3d turn =
        Eigen::AngleAxisd(0.3 * seed, Eigen::Vector3d(1, seed, 2).normalized()).toRotationMatrix();
    const Eigen::RowVector3d shift(seed, -2.0 * seed, 0.5);
    for (bool posed : {false, true}) {
      Eigen::MatrixXd r = ref, t = target;
      if (posed) {
        r = (ref * turn).rowwise() + shift;
        t = (target * turn).rowwise() + shift;
      }
      g->clear_axes(ax);
      const gfx::Handle h = arrowheads3d(r, t, "b-", cap);
      ASSERT_EQ(points(h), 6u * 8) << seed;  // 6 heads of 2 × (barb, tip, barb, break)
      std::size_t head = 0;
      for (Eigen::Index i = 0; i < r.rows(); ++i) {
        const Eigen::RowVector3d along = t.row(i) - r.row(i);
        if (along.norm() == 0) continue;
        const double len = std::min(0.35 * along.norm(), cap);
        for (std::size_t pair = 0; pair < 2; ++pair) {
          const std::size_t at = 8 * head + 4 * pair;
          EXPECT_LT((point(h, at + 1) - t.row(i)).norm(), 1e-12);
          EXPECT_TRUE(std::isnan(g->get(h, "XData")(at + 3)));
          for (std::size_t barb : {at, at + 2}) {
            const Eigen::RowVector3d back = point(h, barb) - t.row(i);
            const double cosine = -back.dot(along) / (back.norm() * along.norm());
            EXPECT_NEAR(cosine, std::cos(20 * M_PI / 180), 1e-12);
            EXPECT_NEAR(back.norm() * cosine, len, 1e-12);
          }
        }
        ++head;
      }
      expect_style(*g, h, {"b-", 'b', "none", "-"});
    }
  }
  EXPECT_EQ(message_of<RuntimeError>(
                [&] { arrowheads3d(random_config(4, 1), random_config(3, 2), "b-", 1); }),
            "The target has 3 landmarks, fewer than the reference's 4.");
}

}  // namespace
}  // namespace velmora::plot
