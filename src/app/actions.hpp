#pragma once

#include <string>

#include "platform/runtime/function_table.hpp"
#include "platform/value/value.hpp"
#include "shape/types.hpp"

// The actions of the main window, one function each; the switchyard calls
// them with the optional second argument (`fpass`).
namespace velmora::app::actions {

// Loading, drawing the sample, turning the reference.
void load_data(const Value&);
void load_x_list(const Value&);
void use_label_as_x(const Value&);
void load_wire_frame(const Value&);
void rotate_ref_x(const Value&);
void rotate_ref_z(const Value&);
void show_procrustes(const Value&);
void show_mean(const Value&);

// Regression, tests, deformation display, result files.
void use_cs(const Value&);
void do_regression(const Value&);
void plot_p_distance(const Value&);
void get_wilks(const Value&);
void linear_down(const Value&);
void ln_down(const Value&);
void show_regression(const Value&);
void permutation_test(const Value&);
void show_pca(const Value&);
void save_pca(const Value&);
void save_names(const Value&);
void save_landmarks(const Value&);
void save_warp(const Value&);
void save_ref(const Value&);
void save_vector(const Value&);
void save_shown_shapes(const Value&);

// Groups and linear models.
void load_specimen_table(const Value&);
void set_model(const Value&);
void set_factor(const Value&);
void set_ss_type(const Value&);
void procrustes_anova(const Value&);
void pairwise_groups(const Value&);
void save_residuals(const Value&);
void canonical_variates(const Value&);
void show_group_difference(const Value&);
void set_group_outline(const Value&);
void show_group_means(const Value&);
void set_pca_shapes(const Value&);
void show_cv(const Value&);

// Display settings.
void line_thickness_up(const Value&);
void line_thickness_down(const Value&);
void symbol_size_up(const Value&);
void symbol_size_down(const Value&);
void symbol_fill(const Value&);
void symbol_empty(const Value&);
void turn_grid_on(const Value&);
void set_plot_density(const Value&);
void arrow_heads(const Value&);
void no_arrow_heads(const Value&);
void set_reference_symbol(const Value&);
void set_line_format1(const Value&);
void set_line_width(const Value&);
void d_axis_on(const Value&);
void d_axis_off(const Value&);
void d_figure_clear(const Value&);
void label_axis(const Value&);
void label_landmarks(const Value&);
void toggle_dots(const Value&);
void toggle_legend(const Value&);
void colour_by_x(const Value&);
void set_specimen_labels(const Value&);
void dock_view(const Value&);

// Surfaces (actions_surface.cpp).
void load_surface(const Value&);
void show_surface(const Value&);
void set_surface_target(const Value&);
void set_surface_exaggeration(const Value&);
void save_surface(const Value&);
void export_animation(const Value&);

// Settings for comparisons with other tools.
void set_superimposition(const Value&);
void set_full_precision(const Value&);

// Export.
void copy_d_clipboard(const Value&);
void copy_d_eps(const Value&);
void export_figure(const Value&);
void export_plot(const Value&);

// The window and the session.
void clear_data(const Value&);
void save_session_script(const Value&);
void save_results_log(const Value&);
void save_table(const Value&);
void open_recent(const Value&);
void quit(const Value&);
void about(const Value&);
void user_guide(const Value&);

}  // namespace velmora::app::actions

namespace velmora::app {
/// Registers CopyBigImage and CopyBigImageNA (1 input, 0 outputs).
void register_export_functions(FunctionTable& table);
/// The part of the README that Help > User Guide shows: from the heading
/// "## A first analysis" to the next "## " heading (the whole text without
/// that heading).
std::string user_guide_section(const std::string& readme);
/// `markdown` with every picture `![alt](path)` of a relative path pointed at
/// the first of `folders` that holds the file (an absolute path); a picture
/// found in none of them is replaced by its alternative text in italics, so
/// the guide never shows a broken image.
std::string guide_with_pictures(const std::string& markdown,
                                const std::vector<std::string>& folders);
/// The deformation display of `target` against `reference` in the current
/// axes: every part with its role and legend name, arrowheads on the
/// displacement vectors, and the display settings applied.
void draw_deformation(const shape::Config& reference, const shape::Config& target,
                      const std::string& type, const std::string& change_name,
                      const std::string& reference_name = "Mean shape (reference)");
/// A pair of shapes, the low end in blue and the high end in red, each in
/// the legend under its name; the wireframe on the low end, and on the high
/// end too for display type "b".
void draw_shape_pair(const shape::Config& low, const shape::Config& high, const std::string& type,
                     const std::string& low_name, const std::string& high_name);
/// "+2", "−2" (with a minus sign, not a hyphen).
std::string signed_number(double v);
}  // namespace velmora::app
