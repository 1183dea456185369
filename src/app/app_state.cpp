#include "app/app_state.hpp"

namespace velmora::app {

std::vector<std::pair<std::string_view, const Value*>> AppState::named() const {
  return {{"DATA", &DATA},           {"DATAV", &DATAV},
          {"reference", &reference}, {"XVariable", &XVariable},
          {"pwscores", &pwscores},   {"gvector", &gvector},
          {"delta", &delta},         {"linregress", &linregress},
          {"wirelist", &wirelist},   {"wireactive", &wireactive},
          {"h3dfig", &h3dfig},       {"h2dfig", &h2dfig},
          {"deftypelist", &deftypelist}, {"vrefsymbol", &vrefsymbol},
          {"vtargetsymbol", &vtargetsymbol}, {"vlineformat1", &vlineformat1},
          {"vlinewidth", &vlinewidth}, {"vaheads", &vaheads},
          {"vplotdensity", &vplotdensity}, {"vsuperimposition", &vsuperimposition},
          {"vfullprecision", &vfullprecision}};
}

AppState& state() {
  static AppState s;
  return s;
}

void reset_state() { state() = AppState{}; }

}  // namespace velmora::app
