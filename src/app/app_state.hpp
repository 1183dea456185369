#pragma once

#include <string_view>
#include <vector>

#include "platform/value/value.hpp"

namespace velmora::app {

/// The state variables of the running analysis.  Every one starts empty
/// (not set) and lives until the process ends.
struct AppState {
  Value DATA;              ///< n×(3k+1) sample rows as loaded
  Value DATAV;             ///< k×3×n superimposed sample, principal-axes frame
  Value reference;         ///< k×3 consensus, centred, unit centroid size
  Value XVariable;         ///< n×1 independent variable
  Value pwscores;          ///< n×(3p+5) partial warp and uniform scores
  Value gvector;           ///< 1×m regression slopes, one per score column
  Value delta;             ///< 1×m slopes times the regressor's range
  Value linregress;        ///< 1: regress on X, 0: on ln X
  Value wirelist;          ///< w×3 wires (number, landmark, landmark)
  Value wireactive;        ///< 1 once a wireframe was loaded
  Value h3dfig;            ///< the 3D display figure
  Value h2dfig;            ///< the main window
  Value deftypelist;       ///< {"a","b","c","d"} deformation display codes
  Value vrefsymbol;        ///< reference symbol style
  Value vtargetsymbol;     ///< deformed configuration symbol style
  Value vlineformat1;      ///< chosen line format
  Value vlinewidth;        ///< chosen line width (points)
  Value vaheads;           ///< 1: arrow heads chosen
  Value vplotdensity;      ///< chosen plot density
  Value vsuperimposition;  ///< "optimal" or "classic" (empty: classic)
  Value vfullprecision;    ///< "on" or "off": full-precision result files (empty: off)

  /// Every variable by name, in declaration order (for displays and tests).
  std::vector<std::pair<std::string_view, const Value*>> named() const;
};

/// The switchyard's state.
AppState& state();
/// Forgets everything (a fresh start; used by tests and batch runs).
void reset_state();

}  // namespace velmora::app
