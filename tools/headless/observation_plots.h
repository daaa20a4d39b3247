// The pictures of discsim-headless --observe, drawn by gnuplot from the CSV files.
#pragma once

#include <optional>
#include <string>

#include "headless/observation_exports.h"
#include "simulation/observation.h"

namespace discsim {

// The pictures, in the order the script draws them.
inline constexpr const char* plot_names[] = {"line_profile.png", "delay_hist.png",
                                             "velocity_delay.png"};

// The script that draws the three pictures from line_profile.csv, delay_hist.csv and
// velocity_delay.csv in the current folder. Output names get the value of the gnuplot variable
// `suffix` appended, empty unless set (so `gnuplot plots.gp` in the folder draws them again).
std::string gnuplot_script(const RunRecord& run, const Observation& observation);

// The gnuplot executable found on PATH, as an absolute path, or nothing.
std::optional<std::string> find_gnuplot();

// Runs the script file `script_name` in `folder` with gnuplot, drawing every picture to a
// temporary name and renaming it into place only when all were drawn: the pictures appear whole
// or not at all. An empty string on success, else one line naming the problem.
std::string draw_plots(const std::string& gnuplot, const std::string& folder,
                       const std::string& script_name);

}  // namespace discsim
