// Runs a whole analysis through Velmora's analysis session: reads a landmark
// file (any format Velmora reads) and a list of X values (one a specimen),
// superimposes the specimens, computes their partial warp and uniform scores,
// regresses them on X, tests the regression of shape on X by 999
// permutations (seed 1) and finds the principal components of shape.
// Prints one line: R² of shape on X, the permutation test's p, and PC1's
// share of the shape variance.

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

#include "analysis/session.hpp"
#include "io/landmark_import.hpp"
#include "io/list_files.hpp"

int main(int argc, char** argv) {
  using namespace velmora;
  if (argc != 3) {
    std::cerr << "usage: velmora_analysis LANDMARKS XFILE\n";
    return 2;
  }
  try {
    analysis::Session session;
    // A reference of thousands of landmarks takes a while; say so.
    session.note = [](const std::string& line) { std::cerr << line << '\n'; };
    const std::string landmarks = argv[1], xfile = argv[2];

    const analysis::LoadSampleReport loaded = session.load_sample(
        {io::import_landmarks(landmarks), std::filesystem::path(landmarks).filename().string()});
    for (const std::string& line : loaded.notes) std::cerr << line << '\n';

    const io::TextMatrix x = io::load_x_list(xfile);
    session.set_x({analysis::XSource::File, x.matrix().col(0),
                   std::filesystem::path(xfile).stem().string(),
                   std::filesystem::path(xfile).filename().string(), 0});
    session.regression({});
    const analysis::PermutationReport test = session.permutation_test({999, 1, {}});
    const analysis::PcaReport pca = session.pca({});

    std::printf("R2=%.6g p=%.6g PC1=%.6g\n", test.result.r_squared, test.result.p,
                pca.pca->shares(0));
  } catch (const velmora::analysis::Error& e) {
    // Unreadable files, malformed lines, mismatched counts and degenerate
    // samples all land here, in words for the user.
    std::cerr << e.what() << '\n';
    return 1;
  } catch (const velmora::NumericError& e) {
    // The readers' refusals.
    std::cerr << e.what() << '\n';
    return 1;
  }
  return 0;
}
