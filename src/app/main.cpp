// velmora: the program entry.  Options that begin with "--" are the
// program's own; any other arguments go to the main window function as text.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/batch.hpp"
#include "app/script_recorder.hpp"
#include "app/velmora.hpp"
#include "app/workspace.hpp"
#include "gui/layout_file.hpp"
#include "platform/graphics/graphics.hpp"
#include "platform/runtime/console.hpp"
#include "platform/runtime/huge_pages.hpp"
#include "platform/runtime/safe_file.hpp"

#ifdef VELMORA_HAVE_QT
#include <QApplication>

#include "platform/qt/qt_backend.hpp"
#endif

namespace {

constexpr const char* kUsage =
    "Usage: velmora [FILE...]\n"
    "       velmora [FUNCTION [ARG...]]\n"
    "       velmora --batch FILE     (a file or a pipe; - for standard input)\n"
    "       velmora --help | --version\n"
    "\n"
    "With no arguments Velmora opens its main window.  Files (existing ones, or\n"
    "names ending in .velmora, .txt, .tps, .nts, .fcsv, .json, .csv, .tsv, .tab)\n"
    "open in it: a .velmora script runs there as clicks, landmark files load.\n"
    "Any other first argument calls the window callback or the function of that\n"
    "name with the other arguments as text, e.g. 'velmora pushbutton4_Callback'.\n"
    "\n"
    "Batch mode runs a script headless, one command per line:\n"
    "  # comment                 skipped, like blank lines\n"
    "  open PATH | save PATH     answers an open (save) dialog of the next action\n"
    "  cancel                    cancels a dialog of the next action\n"
    "                            (PATH bare, 'as is', or \"quoted\" with \\\\ \\\" \\n \\t \\xNN)\n"
    "                            (a PATH with a NUL byte stops the script)\n"
    "                            consecutive 'open' lines of .fcsv/.mrk.json files\n"
    "                            answer LoadData's dialog as one choice of files\n"
    "  choose ITEM               picks ITEM in a list dialog of the next action\n"
    "  ACTION [ARG]              a click on the main window's control for ACTION\n"
    "                            (e.g. LoadData, SetPlotDensity 30)\n"
    "  call NAME ARG...          calls a function by name; numbers, [1 2 3],\n"
    "                            'text' and [] are arguments; shows its result\n"
    "  set TAG VALUE             types VALUE into the edit box TAG, or chooses an\n"
    "                            entry (number or text) of a pop-up, or 1/0 of a\n"
    "                            check box, as in the window (quoted like PATH)\n"
    "  view AZ EL ZOOM           turns and zooms the 3-D window (degrees; zoom > 0)\n"
    "  figsize WIDTH HEIGHT      sizes the 3-D window (pixels)\n"
    "Console lines and message boxes go to standard output ('msgbox: TITLE'\n"
    "then the text).  An answer that does not fit its dialog, a dialog without\n"
    "an answer, an answer left unused and an unknown name stop the script.\n"
    "Exit status: 0 clean, 1 run-time error, 2 malformed script or unusable\n"
    "layout file, 3 some action was refused by a data check or a file was not\n"
    "written (\"Cannot write the file \\\"PATH\\\": REASON.\").\n"
    "\n"
    "The window layout Velmora.fig is read from the working folder when one is\n"
    "there (a console line then says so), else beside the program.\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace velmora;
  restart_with_huge_pages(argv);
  keep_freed_memory();
  // A save past the file-size limit is then an error the writer reports,
  // not the end of the program with a temporary file left behind.
  ignore_file_size_signal();
  std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && args[0].rfind("--", 0) == 0) {
    if (args[0] == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (args[0] == "--version") {
      std::puts("velmora " VELMORA_VERSION);
      return 0;
    }
    if (args[0] == "--batch") {
      if (args.size() != 2) {
        std::fputs(kUsage, stderr);
        return 2;
      }
      try {
        return app::run_batch_file(args[1]);
      } catch (const gui::LayoutError& e) {
        console().error(e.what());
        return 2;
      } catch (const std::exception& e) {
        console().error(e.what());
        return 1;
      }
    }
    std::fprintf(stderr, "velmora: unknown option %s\n\n%s", args[0].c_str(), kUsage);
    return 2;
  }

#ifdef VELMORA_HAVE_QT
  QApplication qapp(argc, argv);
  gfx::install_graphics(std::make_unique<qt::QtBackend>());
#else
  gfx::install_graphics(std::make_unique<gfx::HeadlessBackend>());
#endif
  app::register_all_functions();
  app::workspace().recorder.start_recording(app::workspace().session.method());
  // A person at the window: quitting asks about unsaved results, and loaded
  // files join the recent-files list.
  app::workspace().window.desktop = true;
  ValueList in;
  for (const std::string& a : args) in.emplace_back(a);
  // Files to open (landmarks, scripts) open in the window; anything else
  // is a function or callback by name.
  const bool files = !args.empty() && std::all_of(args.begin(), args.end(), app::names_a_file);
  bool opening = in.empty() || files;
  ValueList out;
  try {
    out = opening ? app::velmora({}, 1) : app::command_line_call(in);
    if (opening && !out.empty()) {
      // Files dropped on any window open as files named here do.
      const gfx::Handle main_window = out[0].to_scalar();
      gfx::graphics().backend().files_dropped =
          [main_window](gfx::Handle, const std::vector<std::string>& paths) {
            app::open_in_window(paths, main_window);
          };
    }
    if (files && !out.empty()) app::open_in_window(args, out[0].to_scalar());
  } catch (const gui::LayoutError& e) {
    console().error(e.what());
    return 2;
  } catch (const std::exception& e) {
    console().error(e.what());
    return 1;
  }
  if (opening && out.empty()) return 1;
  if (gfx::graphics().figures().empty()) return 0;
  return gfx::graphics().backend().run_event_loop();
}
