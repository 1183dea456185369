// Printing figures: the figure's scene drawn by the Cairo renderer to a file
// or to the clipboard.
#include "platform/print/print.hpp"

#include <string>
#include <vector>

#include "platform/graphics/graphics.hpp"
#include "platform/graphics/scene.hpp"
#include "platform/render/renderer.hpp"
#include "platform/runtime/console.hpp"
#include "platform/runtime/runtime_error.hpp"

namespace velmora::gfx {

void print_figure(Graphics& g, Handle fig, const std::vector<std::string>& options,
                  const std::string& path) {
  if (!g.valid(fig) || g.type(fig) != Type::Figure)
    throw RuntimeError("print needs a figure handle.");
  bool noui = false;
  std::string device;
  double dpi = 150;
  for (const std::string& o : options) {
    if (o == "-noui") {
      noui = true;
    } else if (o.rfind("-d", 0) == 0) {
      device = o.substr(2);
    } else if (o.rfind("-r", 0) == 0) {
      try {
        dpi = std::stod(o.substr(2));
      } catch (...) {
        throw RuntimeError("Bad print resolution \"" + o + "\".");
      }
      if (!(dpi > 0 && dpi <= 2400)) throw RuntimeError("Bad print resolution \"" + o + "\".");
    } else {
      throw RuntimeError("Unknown print option \"" + o + "\".");
    }
  }
  render::FigureScene scene = figure_scene(g, fig, !noui);
  double scale = dpi / g.backend().pixels_per_inch();
  if (device == "meta") {
    if (!path.empty()) throw RuntimeError("-dmeta prints to the clipboard, not to a file.");
    std::string svg = render::to_svg(scene, !noui), png = render::to_png(scene, scale, !noui);
    const std::size_t svg_size = svg.size(), png_size = png.size();
    g.backend().set_clipboard({{"image/svg+xml", std::move(svg)}, {"image/png", std::move(png)}});
    // Without a desktop no other program can paste the copy: say where it
    // went rather than seem to have done nothing.
    if (headless_backend()) {
      console().write("The figure was copied to the headless clipboard (SVG, " +
                      std::to_string(svg_size) + " bytes; PNG, " + std::to_string(png_size) +
                      " bytes); without a desktop no other program can paste it.\n");
    }
    return;
  }
  if (path.empty()) throw RuntimeError("print -d" + device + " needs a file name.");
  if (device == "epsc" || device == "eps" || device == "epsc2" || device == "eps2") {
    render::write_eps(scene, path, !noui);
  } else if (device == "png") {
    render::write_png(scene, path, scale, !noui);
  } else if (device == "svg") {
    render::write_svg(scene, path, !noui);
  } else if (device == "pdf") {
    render::write_pdf(scene, path, !noui);
  } else {
    throw RuntimeError("Unknown print device \"-d" + device + "\".");
  }
}

}  // namespace velmora::gfx
