#include "app/control_states.hpp"

#include "app/switchyard.hpp"
#include "app/workspace.hpp"
#include "view/controls.hpp"

namespace velmora::app {

std::string why_disabled(Workspace& ws, unsigned needs) {
  const analysis::Session& a = ws.session;
  if ((needs & kNeedSample) && !a.has_sample()) return kLoadLandmarksFirst;
  // The scores come with X.
  if ((needs & (kNeedX | kNeedScores)) && !a.x()) return kLoadXFirst;
  return a.missing(needs & ~kNeed3D);
}

void sync_main_controls(Workspace& ws) {
  sync_controls(ws, [&ws](std::string_view action) -> std::optional<std::string> {
    const ActionSpec* spec = find_action(action);
    if (!spec || spec->needs == kNeedNothing) return std::nullopt;
    return why_disabled(ws, spec->needs);
  });
}

void allow_rotation(Workspace& ws, bool allowed) {
  ws.window.rotation_allowed = allowed;
  sync_main_controls(ws);
}

}  // namespace velmora::app
