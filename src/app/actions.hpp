#pragma once

#include <string>

#include "platform/runtime/function_table.hpp"
#include "platform/value/value.hpp"
#include "shape/types.hpp"

// The actions of the main window, one function each; the switchyard calls
// them with the optional second argument (`fpass`).
namespace velmora::app {
struct Workspace;
}  // namespace velmora::app

namespace velmora::app::actions {

// Loading, drawing the sample, turning the reference.
void load_data(Workspace& ws, const Value& fpass);
void load_x_list(Workspace& ws, const Value& fpass);
void use_label_as_x(Workspace& ws, const Value& fpass);
void load_wire_frame(Workspace& ws, const Value& fpass);
void rotate_ref_x(Workspace& ws, const Value& fpass);
void rotate_ref_z(Workspace& ws, const Value& fpass);
void show_procrustes(Workspace& ws, const Value& fpass);
void show_mean(Workspace& ws, const Value& fpass);

// Regression, tests, deformation display, result files.
void use_cs(Workspace& ws, const Value& fpass);
void do_regression(Workspace& ws, const Value& fpass);
void plot_p_distance(Workspace& ws, const Value& fpass);
void get_wilks(Workspace& ws, const Value& fpass);
void linear_down(Workspace& ws, const Value& fpass);
void ln_down(Workspace& ws, const Value& fpass);
void show_regression(Workspace& ws, const Value& fpass);
void permutation_test(Workspace& ws, const Value& fpass);
void show_pca(Workspace& ws, const Value& fpass);
void save_pca(Workspace& ws, const Value& fpass);
void save_names(Workspace& ws, const Value& fpass);
void save_landmarks(Workspace& ws, const Value& fpass);
void save_warp(Workspace& ws, const Value& fpass);
void save_ref(Workspace& ws, const Value& fpass);
void save_vector(Workspace& ws, const Value& fpass);
void save_shown_shapes(Workspace& ws, const Value& fpass);

// Groups and linear models.
void load_specimen_table(Workspace& ws, const Value& fpass);
void set_model(Workspace& ws, const Value& fpass);
void set_factor(Workspace& ws, const Value& fpass);
void set_ss_type(Workspace& ws, const Value& fpass);
void procrustes_anova(Workspace& ws, const Value& fpass);
void pairwise_groups(Workspace& ws, const Value& fpass);
void save_residuals(Workspace& ws, const Value& fpass);
void canonical_variates(Workspace& ws, const Value& fpass);
void show_group_difference(Workspace& ws, const Value& fpass);
void set_group_outline(Workspace& ws, const Value& fpass);
void show_group_means(Workspace& ws, const Value& fpass);
void set_pca_shapes(Workspace& ws, const Value& fpass);
void show_cv(Workspace& ws, const Value& fpass);

// Display settings.
void line_thickness_up(Workspace& ws, const Value& fpass);
void line_thickness_down(Workspace& ws, const Value& fpass);
void symbol_size_up(Workspace& ws, const Value& fpass);
void symbol_size_down(Workspace& ws, const Value& fpass);
void symbol_fill(Workspace& ws, const Value& fpass);
void symbol_empty(Workspace& ws, const Value& fpass);
void turn_grid_on(Workspace& ws, const Value& fpass);
void set_plot_density(Workspace& ws, const Value& fpass);
void arrow_heads(Workspace& ws, const Value& fpass);
void no_arrow_heads(Workspace& ws, const Value& fpass);
void set_reference_symbol(Workspace& ws, const Value& fpass);
void set_line_format1(Workspace& ws, const Value& fpass);
void set_line_width(Workspace& ws, const Value& fpass);
void d_axis_on(Workspace& ws, const Value& fpass);
void d_axis_off(Workspace& ws, const Value& fpass);
void d_figure_clear(Workspace& ws, const Value& fpass);
void label_axis(Workspace& ws, const Value& fpass);
void label_landmarks(Workspace& ws, const Value& fpass);
void toggle_dots(Workspace& ws, const Value& fpass);
void toggle_legend(Workspace& ws, const Value& fpass);
void colour_by_x(Workspace& ws, const Value& fpass);
void set_specimen_labels(Workspace& ws, const Value& fpass);
void dock_view(Workspace& ws, const Value& fpass);

// Surfaces (actions_surface.cpp).
void load_surface(Workspace& ws, const Value& fpass);
// Semilandmarks: definitions and sliding (actions_semilandmarks.cpp).
void load_curves(Workspace& ws, const Value& fpass);
void load_surface_points(Workspace& ws, const Value& fpass);
void set_sliding(Workspace& ws, const Value& fpass);
void set_sliding_passes(Workspace& ws, const Value& fpass);
void load_surfaces(Workspace& ws, const Value& fpass);
void set_sliding_projection(Workspace& ws, const Value& fpass);
void place_semilandmarks(Workspace& ws, const Value& fpass);
void save_procrustes(Workspace& ws, const Value& fpass);
// Bilateral symmetry and repeatability (actions_symmetry.cpp).
void load_landmark_pairs(Workspace& ws, const Value& fpass);
void symmetry_anova(Workspace& ws, const Value& fpass);
void save_symmetric_component(Workspace& ws, const Value& fpass);
void save_asymmetric_component(Workspace& ws, const Value& fpass);
void show_directional_asymmetry(Workspace& ws, const Value& fpass);
void repeatability(Workspace& ws, const Value& fpass);
void show_surface(Workspace& ws, const Value& fpass);
void set_surface_target(Workspace& ws, const Value& fpass);
void set_surface_exaggeration(Workspace& ws, const Value& fpass);
void save_surface(Workspace& ws, const Value& fpass);
void export_animation(Workspace& ws, const Value& fpass);
void set_heat_scale(Workspace& ws, const Value& fpass);

// Settings for comparisons with other tools.
void set_superimposition(Workspace& ws, const Value& fpass);
void set_full_precision(Workspace& ws, const Value& fpass);

// Export.
void copy_d_clipboard(Workspace& ws, const Value& fpass);
void copy_d_eps(Workspace& ws, const Value& fpass);
void export_figure(Workspace& ws, const Value& fpass);
void export_plot(Workspace& ws, const Value& fpass);

// The window and the session.
void clear_data(Workspace& ws, const Value& fpass);
void save_session_script(Workspace& ws, const Value& fpass);
void save_results_log(Workspace& ws, const Value& fpass);
void save_table(Workspace& ws, const Value& fpass);
void open_recent(Workspace& ws, const Value& fpass);
void quit(Workspace& ws, const Value& fpass);
void about(Workspace& ws, const Value& fpass);
void user_guide(Workspace& ws, const Value& fpass);

// Integration, modularity and disparity (actions_integration.cpp).
void load_partition(Workspace& ws, const Value& fpass);
void set_pls_fit(Workspace& ws, const Value& fpass);
void two_block_pls(Workspace& ws, const Value& fpass);
void modularity_test(Workspace& ws, const Value& fpass);
void compare_integration(Workspace& ws, const Value& fpass);
void disparity(Workspace& ws, const Value& fpass);

}  // namespace velmora::app::actions

namespace velmora::app {
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
/// What a PCA analysed, for its log: "shape", or "size-corrected shapes
/// (residuals of shape ~ log(CS))".
std::string pca_shapes_text(const std::string& corrected);
/// What the PCA analyses when it is a component of the symmetry analysis:
/// "symmetric component (object symmetry of individual)"; empty otherwise.
std::string pca_symmetry_text(const Workspace& ws);
}  // namespace velmora::app
