#pragma once

namespace velmora::qt::gl {

/// Stroke pieces as covered rectangles: vertex and fragment sources.
extern const char* const kStrokeVertex;
extern const char* const kStrokeFragment;
/// Markers as point sprites copying Cairo-drawn images: vertex and fragment sources.
extern const char* const kMarkerVertex;
extern const char* const kMarkerFragment;

}  // namespace velmora::qt::gl
