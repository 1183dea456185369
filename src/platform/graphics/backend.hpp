#pragma once

#include <array>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::gfx {

using Handle = double;

/// A file chosen in a dialog: the folder ends with the path separator so
/// that folder + name is the full path.
struct FilePick {
  std::string folder;
  std::string name;
  std::string path() const { return folder + name; }
};

/// The text sizes an export may ask, in points.
inline constexpr double kSmallestTextPt = 4, kLargestTextPt = 48;

/// The size and resolution of a figure export: the window's size or a width
/// × height in centimetres or inches, dots per inch (which a PNG takes) and
/// the text size.
struct ExportSize {
  bool custom = false;  ///< false: the window's size
  double width = 17, height = 12;
  bool inches = false;  ///< width and height in inches, else in centimetres
  double dpi = 300;
  /// The text size in points; 0: the size's own (8 pt up to 9 cm wide, 10 pt
  /// above; the window's texts at the window's size).
  double text_pt = 0;
  /// The argument an export action takes for it, as one word: "17x12cm,600dpi",
  /// "6.5x5in,300dpi,9pt", "150dpi"; "" for the window's size at 300 dpi (what
  /// no argument means).
  std::string text() const;
  bool operator==(const ExportSize&) const = default;
};

/// The frames of an animation export: how many, their size in pixels, how
/// many a second a GIF or a video shows, and the top of the heat scale.
struct AnimationSettings {
  int frames = 24;
  int width = 800, height = 600;
  int fps = 12;
  /// The heat scale's top for every frame, in specimen units; 0: the
  /// display's fixed scale, else the larger end's largest displacement.
  double scale_top = 0;
  /// The argument Export Animation takes for them, as one word:
  /// "24,800x600,12fps", with ",scale=3.5" when the scale's top is given.
  std::string text() const;
  bool operator==(const AnimationSettings&) const = default;
};

/// What the graphics run-time needs from the outside world: windows,
/// dialogs, clipboard, screen.  The object model tells the backend what
/// changed; the backend decides when to repaint.
class Backend {
 public:
  virtual ~Backend() = default;

  /// Screen size in pixels and the screen's pixels per inch.
  virtual std::array<double, 2> screen_size_px() const { return {1920, 1080}; }
  virtual double pixels_per_inch() const { return 96; }

  // Object notifications (figure = the figure the object belongs to).
  virtual void object_created(Handle /*h*/, Handle /*figure*/) {}
  virtual void object_deleted(Handle /*h*/, Handle /*figure*/) {}
  virtual void property_changed(Handle /*h*/, Handle /*figure*/, std::string_view /*name*/) {}
  /// The figure became the current figure (raise its window).
  virtual void figure_raised(Handle /*figure*/) {}
  /// Shows the window of `figure` inside the window of `host` (a tab beside
  /// its contents) instead of on its own, or on its own again for nullopt.
  /// Only the windows change: the figures, their sizes included, stay.
  virtual void dock_figure(Handle figure, std::optional<Handle> host) {
    if (host)
      docked_[figure] = *host;
    else
      docked_.erase(figure);
  }
  /// Whether the window of `host` shows a docked figure's tab in front of
  /// its own contents.
  virtual bool docked_view_in_front(Handle /*host*/) const { return false; }
  /// Brings the window of `host`'s own contents in front of a docked
  /// figure's tab.
  virtual void show_own_contents(Handle /*host*/) {}
  /// The figure whose window shows `figure`'s, as dock_figure last said.
  std::optional<Handle> docked_in(Handle figure) const {
    auto it = docked_.find(figure);
    return it == docked_.end() ? std::nullopt : std::optional<Handle>(it->second);
  }

  /// Modal file dialogs; nullopt when the user cancelled.
  virtual std::optional<FilePick> open_file_dialog(std::string_view filter,
                                                   std::string_view title) = 0;
  virtual std::optional<FilePick> save_file_dialog(std::string_view filter,
                                                   std::string_view title) = 0;
  /// Modal open dialog in which several files may be chosen at once; the
  /// files in the order chosen, none when the user cancelled.
  virtual std::vector<FilePick> open_files_dialog(std::string_view filter,
                                                  std::string_view title) = 0;
  /// Modal dialog that asks the user to pick one of `items` (at least one);
  /// the index of the chosen item, nullopt when the user cancelled.
  virtual std::optional<std::size_t> list_dialog(std::string_view title, std::string_view prompt,
                                                 const std::vector<std::string>& items) = 0;
  /// A list dialog whose entry the user may also edit or replace by typing:
  /// the text chosen or typed, or nullopt for a cancel.  By default the
  /// plain list dialog's item.
  virtual std::optional<std::string> edit_list_dialog(std::string_view title,
                                                      std::string_view prompt,
                                                      const std::vector<std::string>& items) {
    const std::optional<std::size_t> at = list_dialog(title, prompt, items);
    if (!at || *at >= items.size()) return std::nullopt;
    return items[*at];
  }

  /// Modal dialog that asks the size and resolution of a figure export,
  /// starting from `start`; `window_px` is the size the window's choice
  /// gives, in pixels, and `raster` whether the resolution matters (a PNG).
  /// nullopt when the user cancelled.  Without a dialog to show: `start`.
  virtual std::optional<ExportSize> export_size_dialog(std::string_view /*title*/,
                                                       const ExportSize& start,
                                                       std::array<double, 2> /*window_px*/,
                                                       bool /*raster*/) {
    return start;
  }

  /// Modal dialog that asks the frames of an animation export, starting
  /// from `start`; nullopt when the user cancelled.  Without a dialog to
  /// show: `start`.
  virtual std::optional<AnimationSettings> animation_dialog(std::string_view /*title*/,
                                                            const AnimationSettings& start) {
    return start;
  }

  /// The run-time's own short message box (text and an optional title).
  virtual void message_box(std::string_view text, std::string_view title) = 0;
  /// A message window built from graphics objects was shown (msgboxd); the
  /// headless backend records it, a windowing backend needs nothing.
  virtual void message_window_shown(Handle /*figure*/, std::string_view /*title*/,
                                    std::string_view /*text*/) {}

  /// Replaces the clipboard contents: MIME type → bytes.
  virtual void set_clipboard(const std::map<std::string, std::string>& data) = 0;

  /// A modal question with the answers Yes and No; true for Yes.
  virtual bool ask_yes_no(std::string_view text, std::string_view title) = 0;
  /// Shows a read-only document (Markdown) in a window of its own.
  virtual void show_document(std::string_view title, std::string_view markdown) = 0;

  /// Text extent in points (width, height) of `text` (lines separated by
  /// line feeds) in the given font.
  virtual std::array<double, 2> text_extent_pt(std::string_view text, double font_size_pt,
                                               std::string_view font_name) const;

  /// Lets the windows repaint during a long computation (user input waits).
  virtual void process_events() {}

  /// Runs the event loop until no figure window remains; returns the exit
  /// status.  A backend without windows returns at once.
  virtual int run_event_loop() { return 0; }

  /// Called with the local files dropped on a figure's window (the program
  /// opens them); none: windows take no drops.
  std::function<void(Handle figure, const std::vector<std::string>& paths)> files_dropped;

 private:
  std::map<Handle, Handle> docked_;
};

/// No windows: dialog answers come from a queue (an empty queue means the
/// user cancelled); message boxes, message windows and the clipboard are
/// recorded for inspection.  Used by tests and batch mode.
class HeadlessBackend : public Backend {
 public:
  struct Message {
    std::string title;
    std::string text;
    bool window = false;  // a message window (msgboxd) rather than a short box
  };
  struct Question {
    std::string title;
    std::string text;
    bool answer = false;
  };
  struct Document {
    std::string title;
    std::string markdown;
  };
  struct Dialog {
    std::string kind;  // "open", "save" or "list"
    std::string filter;
    std::string title;
    bool answered = false;
    bool several = false;            // an open dialog that takes several files
    std::vector<std::string> items;  // what a list dialog offers
  };

  std::array<double, 2> screen_size_px() const override { return screen_; }
  void set_screen_size_px(double w, double h) { screen_ = {w, h}; }

  /// Queues the answer of the next file dialog: a pick, or nullopt for a
  /// cancel.
  void queue_answer(std::optional<FilePick> pick);
  /// Queues a full path, split into folder and name.
  void queue_path(const std::string& path);
  /// Queues several files chosen together in the next file dialog (a
  /// one-file dialog takes the first).
  void queue_paths(const std::vector<std::string>& paths);
  void queue_cancel() { answers_.emplace_back(); }
  std::size_t pending_answers() const { return answers_.size(); }
  /// Queues the answer of the next list dialog: the text of the item to
  /// pick, or nullopt for a cancel (a text the dialog does not offer
  /// cancels it too).
  void queue_choice(std::optional<std::string> item) { choices_.push_back(std::move(item)); }
  std::size_t pending_choices() const { return choices_.size(); }

  /// Queues the answer of the next export size dialog, nullopt for a
  /// cancel; without one the dialog's start is taken, as a user who only
  /// presses Enter would (batch runs give the size on the action's line).
  void queue_export_size(std::optional<ExportSize> answer) {
    export_sizes_.push_back(std::move(answer));
  }
  /// How many export size dialogs were asked.
  std::size_t export_size_dialogs() const { return export_size_dialogs_; }
  /// Queues the answer of the next animation dialog, nullopt for a cancel;
  /// without one the dialog's start is taken.
  void queue_animation(std::optional<AnimationSettings> answer) {
    animations_.push_back(std::move(answer));
  }
  /// How many animation dialogs were asked.
  std::size_t animation_dialogs() const { return animation_dialogs_; }

  std::optional<FilePick> open_file_dialog(std::string_view filter,
                                           std::string_view title) override;
  std::optional<FilePick> save_file_dialog(std::string_view filter,
                                           std::string_view title) override;
  std::vector<FilePick> open_files_dialog(std::string_view filter, std::string_view title) override;
  std::optional<ExportSize> export_size_dialog(std::string_view title, const ExportSize& start,
                                               std::array<double, 2> window_px,
                                               bool raster) override;
  std::optional<AnimationSettings> animation_dialog(std::string_view title,
                                                    const AnimationSettings& start) override;
  std::optional<std::size_t> list_dialog(std::string_view title, std::string_view prompt,
                                         const std::vector<std::string>& items) override;
  void message_box(std::string_view text, std::string_view title) override;
  void message_window_shown(Handle figure, std::string_view title, std::string_view text) override;
  void set_clipboard(const std::map<std::string, std::string>& data) override { clipboard_ = data; }

  /// Queues the answer of the next yes/no question; without one the answer
  /// is No.
  void queue_yes_no(bool yes) { yes_no_.push_back(yes); }
  bool ask_yes_no(std::string_view text, std::string_view title) override;
  void show_document(std::string_view title, std::string_view markdown) override;
  const std::vector<Question>& questions() const { return questions_; }
  const std::vector<Document>& documents() const { return documents_; }

  const std::vector<Message>& messages() const { return messages_; }
  const std::vector<Dialog>& dialogs() const { return dialogs_; }
  const std::map<std::string, std::string>& clipboard() const { return clipboard_; }
  void clear_records() { messages_.clear(), dialogs_.clear(); }

  /// Called for every message as it is shown (batch mode prints them).
  std::function<void(const Message&)> on_message;
  /// Called when a dialog finds no queued answer.
  std::function<void(const Dialog&)> on_unanswered_dialog;
  /// When set, answers every file dialog instead of the queue (batch mode
  /// checks that an answer fits the dialog that takes it): the chosen files,
  /// at most one unless the dialog takes several; none for a cancel.
  std::function<std::vector<FilePick>(const Dialog&)> answer_source;
  /// When set, answers every list dialog instead of the queue: the index of
  /// the chosen item, nullopt for a cancel.
  std::function<std::optional<std::size_t>(const Dialog&)> choice_source;

 private:
  std::vector<FilePick> answer(std::string kind, std::string_view filter, std::string_view title,
                               bool several);

  std::deque<std::vector<FilePick>> answers_;  // none: a cancel
  std::deque<std::optional<std::string>> choices_;
  std::deque<std::optional<ExportSize>> export_sizes_;
  std::size_t export_size_dialogs_ = 0;
  std::deque<std::optional<AnimationSettings>> animations_;
  std::size_t animation_dialogs_ = 0;

  std::array<double, 2> screen_{1920, 1080};
  std::vector<Message> messages_;
  std::vector<Dialog> dialogs_;
  std::map<std::string, std::string> clipboard_;
  std::deque<bool> yes_no_;
  std::vector<Question> questions_;
  std::vector<Document> documents_;
};

}  // namespace velmora::gfx
