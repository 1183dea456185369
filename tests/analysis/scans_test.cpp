// The specimens' scans in the session: semilandmarks placed on them and slid
// over them stay on them.
#include <gtest/gtest.h>

#include <Eigen/SVD>

#include "analysis/error.hpp"
#include "analysis/session.hpp"
#include "io/landmark_import.hpp"
#include "io/semilandmark_files.hpp"
#include "mesh/nearest.hpp"

namespace velmora::analysis {
namespace {

const std::string kVault = std::string(VELMORA_SOURCE_DIR) + "/examples/semilandmarks/";

std::vector<std::string> scan_paths() {
  std::vector<std::string> paths;
  for (int i = 1; i <= 30; ++i)
    paths.push_back(kVault + "scans/specimen " + std::to_string(i) + ".ply");
  return paths;
}

std::string refusal(const std::function<void()>& f) {
  try {
    f();
  } catch (const Error& e) {
    return e.what();
  }
  return "(nothing refused)";
}

// `fitted` carried back onto the raw specimen by the similarity of their
// first `fixed` landmarks (which sliding does not move).
shape::Config back_to_raw(const shape::Config& fitted, const shape::Config& raw,
                          Eigen::Index fixed) {
  const Eigen::RowVector3d cf = fitted.topRows(fixed).colwise().mean();
  const Eigen::RowVector3d cr = raw.topRows(fixed).colwise().mean();
  const Eigen::MatrixXd f = fitted.topRows(fixed).rowwise() - cf,
                        r = raw.topRows(fixed).rowwise() - cr;
  const Eigen::JacobiSVD<Eigen::Matrix3d> svd(f.transpose() * r,
                                              Eigen::ComputeFullU | Eigen::ComputeFullV);
  const Eigen::Matrix3d turn = svd.matrixU() * svd.matrixV().transpose();
  const double scale = r.norm() / f.norm();
  return ((fitted.rowwise() - cf) * turn * scale).rowwise() + cr;
}

TEST(Scans, PlacedAndSlidSemilandmarksLieOnTheirSpecimensScans) {
  Session s;
  s.load_sample({io::import_landmarks(kVault + "vault.txt"), "vault.txt"});
  s.set_curves(io::load_curve_file(kVault + "vault_curves.txt", 48), "vault_curves.txt");
  s.set_surface_points(io::load_surface_point_file(kVault + "vault_surface.txt", 48),
                       "vault_surface.txt");
  EXPECT_EQ(refusal([&] {
              s.place_semilandmarks({20, {}});
            }),
            "Placing semilandmarks needs a scan of every specimen; 30 of 30 have none. Load them "
            "with Load Surfaces….");
  EXPECT_EQ(refusal([&] {
              s.load_scans({std::string(VELMORA_SOURCE_DIR) + "/examples/specimen 1.ply",
                            kVault + "scans/specimen 1.ply"});
            }),
            "The scans \"specimen 1.ply\" and \"specimen 1.ply\" are both of specimen \"specimen "
            "1\": choose one.");
  EXPECT_EQ(s.scan_count(), 0);
  EXPECT_EQ(s.load_scans(scan_paths()).message, "30 scans loaded: every specimen has one.");

  const PlaceSemilandmarksReport placed = s.place_semilandmarks({20, {}});
  EXPECT_EQ(placed.first, 49);
  EXPECT_EQ(s.sample().landmarks(), 68);
  EXPECT_EQ(s.semilandmarks().surface.size(), 50u);
  std::vector<std::unique_ptr<mesh::SurfaceIndex>> scans;
  for (const std::string& p : scan_paths())
    scans.push_back(std::make_unique<mesh::SurfaceIndex>(mesh::read_surface(p)));
  const shape::Stack raw = s.sample().raw();
  for (Eigen::Index i = 0; i < 30; ++i)
    for (Eigen::Index p = 48; p < 68; ++p)
      ASSERT_LT(scans[static_cast<std::size_t>(i)]->nearest(raw.slice(i).row(p)).distance, 1e-9)
          << "specimen " << i + 1 << " landmark " << p + 1;

  s.set_sliding_projection(true);
  const SettleReport slid = s.settle_sliding();
  ASSERT_TRUE(slid.done);
  EXPECT_NE(slid.message.find("on the scans: converged"), std::string::npos) << slid.message;
  const shape::Stack& fitted = s.superimposition()->fitted();
  for (Eigen::Index i = 0; i < 30; ++i) {
    const shape::Config back = back_to_raw(fitted.slice(i), raw.slice(i), 8);
    for (Eigen::Index p : s.semilandmarks().surface)
      ASSERT_LT(scans[static_cast<std::size_t>(i)]->nearest(back.row(p)).distance, 1e-7)
          << "specimen " << i + 1 << " landmark " << p + 1;
  }
}

}  // namespace
}  // namespace velmora::analysis
