#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/graphics/backend.hpp"
#include "platform/graphics/object.hpp"
#include "platform/value/value.hpp"

namespace velmora::gfx {

/// The graphics run-time: every object in a registry keyed by handle, named
/// case-insensitive properties, the current figure and axes, application
/// data, callbacks and plot commands.  Printing is the print library's
/// (platform/print/print.hpp).
///
/// Figures get the small integers 1, 2, 3 … (the lowest free one); other
/// objects get deterministic non-integer handles.  A stale handle throws
/// RuntimeError.  On/off properties accept any letter case and read back as
/// "on"/"off".  Positions are kept in pixels and converted to the object's
/// "Units" (pixels, points, inches, centimeters, characters, normalized) on
/// every get and set.
class Graphics {
 public:
  explicit Graphics(std::unique_ptr<Backend> backend);
  ~Graphics();
  Graphics(const Graphics&) = delete;
  Graphics& operator=(const Graphics&) = delete;

  Backend& backend() { return *backend_; }
  const Backend& backend() const { return *backend_; }

  // --- objects -------------------------------------------------------------
  /// Creates an object with its type's defaults, then applies `props` in
  /// order.  A new figure becomes the current figure; new axes become their
  /// figure's current axes.
  Handle create(Type type, Handle parent, const PropList& props = {});
  Handle new_figure(const PropList& props = {}) { return create(Type::Figure, kRoot, props); }
  /// Deletes the object and its descendants (closing a figure's window).
  void destroy(Handle h);
  bool valid(Handle h) const;
  /// True when `v` holds exactly one valid handle.
  bool valid(const Value& v) const;
  const Object& object(Handle h) const;
  Type type(Handle h) const { return object(h).type; }
  Handle parent(Handle h) const { return object(h).parent; }
  /// The figure an object belongs to (itself for a figure), or -1 (root).
  Handle figure_of(Handle h) const;
  /// Children in creation order, hidden ones included.
  const std::vector<Handle>& children(Handle h) const { return object(h).children; }
  /// The figure itself followed by all its descendants, depth first in
  /// creation order, hidden ones included.
  std::vector<Handle> all_objects(Handle figure) const;
  /// Open figures in creation order.
  std::vector<Handle> figures() const;
  /// Every object of every open figure whose "Tag" equals `tag`.
  std::vector<Handle> find_by_tag(std::string_view tag) const;
  /// The first object tagged `tag`; RuntimeError when there is none.
  Handle find_tag(std::string_view tag) const;

  // --- properties ----------------------------------------------------------
  Value get(Handle h, std::string_view name) const;
  void set(Handle h, std::string_view name, Value v);
  void set(Handle h, const PropList& props);
  /// Text of a char property ("" for anything else).
  std::string get_text(Handle h, std::string_view name) const;
  double get_number(Handle h, std::string_view name) const;
  bool has_property(Handle h, std::string_view name) const;
  /// Attaches C++ code to a callback property ("Callback", "KeyPressFcn" …).
  void set_native_callback(Handle h, std::string_view name, NativeCallback fn);

  // --- application data ----------------------------------------------------
  bool has_appdata(Handle h, std::string_view name) const;
  Value appdata(Handle h, std::string_view name) const;
  void set_appdata(Handle h, std::string_view name, Value v);

  // --- current figure and axes ----------------------------------------------
  /// The current figure, creating one when no eligible figure exists.
  Handle current_figure();
  /// The current figure or -1, without creating one.
  Handle current_figure_or_none() const;
  /// Makes `fig` the current figure and raises it.
  void make_current(Handle fig);
  /// The current axes of the current figure, creating axes when it has none.
  Handle current_axes();
  Handle current_axes_or_none() const;
  void set_current_axes(Handle ax);

  // --- callbacks -----------------------------------------------------------
  /// Runs the callback stored in property `name` of `h` (a cell
  /// {function, args…} called by name, or native code) with the callback
  /// object and figure set.  Errors are caught and printed on the console.
  void run_callback(Handle h, std::string_view name);
  Handle callback_object() const { return callback_object_; }
  Handle callback_figure() const { return callback_figure_; }
  /// Sets the callback object for the life of the scope.
  class CallbackScope {
   public:
    CallbackScope(Graphics& g, Handle source);
    ~CallbackScope();
    CallbackScope(const CallbackScope&) = delete;
    CallbackScope& operator=(const CallbackScope&) = delete;

   private:
    Graphics& g_;
    Handle old_object_, old_figure_;
  };

  // --- plotting ------------------------------------------------------------
  /// A line in axes `ax` from coordinate vectors and a line specification.
  /// When the axes do not hold ("NextPlot" "replace"), their plotted
  /// children are removed and the view and limits reset first (a 3-D view
  /// for `three_d`, the top view otherwise).
  Handle plot(Handle ax, const std::vector<double>& x, const std::vector<double>& y,
              const std::vector<double>& z, std::string_view line_spec, bool three_d);
  Handle text(Handle ax, double x, double y, double z, const Value& string);
  void hold(Handle ax, bool on);
  /// Axis modes "auto", "manual", "equal", "normal", "on", "off", "tight".
  void axis(Handle ax, std::string_view mode);
  /// Deletes the axes' plotted children and its colour bars (the axis
  /// label texts stay).
  void clear_axes(Handle ax);
  /// Gives axes `ax` a shaded surface drawn under its lines (nullptr: none).
  /// Clearing the axes removes it.
  void set_surface(Handle ax, std::shared_ptr<const render::SceneSurface> surface);
  /// Deletes the figure's children whose handles are visible.
  void clear_figure(Handle fig);

  // --- dialogs ------------------------------------------------------------
  /// The backend's modal file dialogs; every answer is also passed to the
  /// dialog observer (the session recorder).  A file chosen to open is an
  /// opened input from then on (note_opened_input): no writer replaces it.
  std::optional<FilePick> open_file_dialog(std::string_view filter, std::string_view title);
  std::optional<FilePick> save_file_dialog(std::string_view filter, std::string_view title);
  /// The open dialog in which several files may be chosen; the observer
  /// hears one "open" answer a file, or one cancel.
  std::vector<FilePick> open_files_dialog(std::string_view filter, std::string_view title);
  using DialogObserver =
      std::function<void(std::string_view kind, const std::optional<FilePick>& answer)>;
  void set_dialog_observer(DialogObserver fn) { dialog_observer_ = std::move(fn); }
  /// The backend's list dialog (see Backend::list_dialog); the chosen item's
  /// text, or nullopt for a cancel, is passed to the choice observer.
  std::optional<std::size_t> list_dialog(std::string_view title, std::string_view prompt,
                                         const std::vector<std::string>& items);
  /// The backend's editable list dialog: the text chosen or typed, or
  /// nullopt for a cancel; a queued item answer is taken as typed.  Its
  /// answer reaches no observer: the action records what was typed as its
  /// argument.
  std::optional<std::string> edit_list_dialog(std::string_view title, std::string_view prompt,
                                              const std::vector<std::string>& items);
  using ChoiceObserver = std::function<void(const std::optional<std::string>& item)>;
  void set_choice_observer(ChoiceObserver fn) { choice_observer_ = std::move(fn); }
  /// Answers given ahead for the next dialogs, whatever the backend (a
  /// script run in the window): each file dialog takes the first queued
  /// files (none: a cancel; an open dialog of several files takes every
  /// queued answer) instead of asking, each list dialog the first queued
  /// item (one it does not offer, or none, cancels it).  The answers still
  /// reach the observers.
  void queue_file_answer(std::vector<FilePick> picks) { file_answers_.push_back(std::move(picks)); }
  void queue_item_answer(std::optional<std::string> item) {
    item_answers_.push_back(std::move(item));
  }
  /// How many queued answers no dialog has taken yet; clear drops them.
  std::size_t queued_answers() const { return file_answers_.size() + item_answers_.size(); }
  void clear_queued_answers() { file_answers_.clear(), item_answers_.clear(); }

  /// Converts a length between units ("pixels", "points", "inches",
  /// "centimeters", "characters") for the backend's screen.
  double pixels_per_unit(std::string_view units, bool vertical) const;

 private:
  Object& mut(Handle h);
  Handle next_handle(Type t);
  void apply_defaults(Object& o);
  void set_one(Object& o, std::string_view lname, Value v);
  Value get_position(const Object& o, std::string_view which) const;
  void set_position(Object& o, std::string_view which, const Value& v);
  std::array<double, 2> parent_size_px(const Object& o) const;
  void touch(const Object& o, std::string_view name);
  void destroy_tree(Handle h, std::vector<Handle>& closed_figures);
  bool eligible_current(Handle fig) const;

  std::unique_ptr<Backend> backend_;
  std::map<Handle, Object> objects_;
  std::vector<Handle> figure_order_;  // most recently current last
  double next_object_ = 0;
  Handle callback_object_ = -1;
  Handle callback_figure_ = -1;
  DialogObserver dialog_observer_;
  ChoiceObserver choice_observer_;
  std::deque<std::vector<FilePick>> file_answers_;
  std::deque<std::optional<std::string>> item_answers_;
};

/// The process-wide graphics run-time.  `install` replaces it (tests use a
/// fresh headless run-time per case); `graphics()` creates a headless one on
/// first use when none is installed.
Graphics& graphics();
Graphics& install_graphics(std::unique_ptr<Backend> backend);
HeadlessBackend* headless_backend();

}  // namespace velmora::gfx
