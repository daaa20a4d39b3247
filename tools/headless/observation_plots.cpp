#include "headless/observation_plots.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

extern char** environ;

namespace discsim {

namespace {

std::string num(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

// The parameters that shape the pictures, for their titles.
std::string run_caption(const RunRecord& run) {
    return num(static_cast<double>(run.steps)) + (run.steps == 1 ? " step, " : " steps, ") +
           std::to_string(run.particles) + " particles, view tilt " +
           num(run.params.view_tilt_deg) + "°, seed " + std::to_string(run.seed);
}

std::string weight_label(const Observation& o) {
    const double a = o.params.illum_exponent;
    const std::string power = a == 1.0 ? "" : "^{" + num(a) + "}";
    return "summed weight  Σ (1/d)" + power + "   (d: distance from the source point)";
}

std::string line_profile_part(const Observation& o) {
    const double width = static_cast<double>(o.params.velocity_span) / bin_count;
    int first = 0, last = 0;
    for (int b = 1; b <= bin_count; ++b) {
        if (o.line_profile[static_cast<std::size_t>(b)] == 0.0f) continue;
        if (first == 0) first = b;
        last = b;
    }
    std::string s;
    s += "set output \"line_profile.png\".suffix\n";
    s += "set xlabel \"line-of-sight velocity (model velocity units; bins of " + num(width) +
         ")\"\n";
    s += "set ylabel \"" + weight_label(o) + "\"\n";
    if (first == 0) {
        s += "set xrange [" + num(-0.5 * o.params.velocity_span) + ":" +
             num(0.5 * o.params.velocity_span) + "]\nset yrange [0:1]\n";
        s += "set label 1 \"no particle-step reached a profile bin (the first step is never "
             "profiled)\" at graph 0.5,0.5 center\n";
        s += "plot NaN notitle\nunset label 1\n";
        return s;
    }
    const double lo = std::min(profile_bin_velocity(first, o.params.velocity_span),
                               profile_bin_velocity(last, o.params.velocity_span));
    const double hi = std::max(profile_bin_velocity(first, o.params.velocity_span),
                               profile_bin_velocity(last, o.params.velocity_span));
    const double margin = std::max(3.0 * std::abs(width), 0.1 * (hi - lo));
    s += "set xrange [" + num(lo - margin) + ":" + num(hi + margin) + "]\nset yrange [0:*]\n";
    s += "plot \"line_profile.csv\" skip 1 using 2:3 with histeps lw 2 lc rgb \"#1f4e9c\" "
         "notitle\n";
    return s;
}

std::string delay_hist_part(const Observation& o) {
    int first = 0, last = 0;
    for (int b = 1; b <= bin_count; ++b) {
        if (o.delay_hist[static_cast<std::size_t>(b)] == 0.0) continue;
        if (first == 0) first = b;
        last = b;
    }
    std::string s;
    s += "set output \"delay_hist.png\".suffix\n";
    s +=
        "set xlabel \"delay = depth + distance from the source point (length units; bins of 1)\"\n";
    s += "set ylabel \"particle-steps per bin\"\n";
    if (first == 0) {
        s += "set xrange [0:1000]\nset yrange [0:1]\n";
        s += "set label 1 \"no particle-step reached a delay bin\" at graph 0.5,0.5 center\n";
        s += "plot NaN notitle\nunset label 1\n";
        return s;
    }
    const double lo = std::min(0.0, delay_bin_lower_edge(first, o.source_depth));
    const double hi = delay_bin_lower_edge(last, o.source_depth) + 1.0;
    s += "set xrange [" + num(lo) + ":" + num(hi + 0.03 * (hi - lo)) + "]\nset yrange [0:*]\n";
    if (o.delay_count > 0 && std::isfinite(o.mean_delay)) {
        s += "set arrow 1 from " + num(o.mean_delay) + ", graph 0 to " + num(o.mean_delay) +
             ", graph 1 nohead front dt 2 lw 1.5 lc rgb \"#b03030\"\n";
        s += "set label 1 \" mean delay " + num(std::round(o.mean_delay * 10.0) / 10.0) + "\" at " +
             num(o.mean_delay) + ", graph 0.95 left front tc rgb \"#b03030\"\n";
    }
    // Each row gives a bin's lower edge: boxes centred half a bin on, a little wider than a bin
    // so that neighbours overlap and leave no seams, under the outline as steps.
    s += "set format y \"%.0f\"\nset boxwidth 1.1 absolute\n";
    s += "plot \"delay_hist.csv\" skip 1 using ($2+0.5):3 with boxes fillstyle solid 1.0 noborder "
         "lc rgb \"#5a9e66\" notitle, \\\n"
         "     \"\" skip 1 using 2:3 with steps lw 1 lc rgb \"#1d5a2a\" notitle\n";
    s += "set format y \"% h\"\n";
    s += "unset arrow 1\nunset label 1\n";
    return s;
}

std::string velocity_delay_part(const Observation& o) {
    const double width = static_cast<double>(o.params.velocity_span) / bin_count;
    std::string s;
    s += "set output \"velocity_delay.png\".suffix\n";
    s += "set xlabel \"line-of-sight velocity (model velocity units; bins of " + num(width) +
         ")\"\n";
    s += "set ylabel \"delay (length units; bins of 1)\"\n";
    s += "set cblabel \"summed weight per cell, Σ (1/d)^{" + num(o.params.illum_exponent) +
         "}  (log scale)\"\n";
    const auto extent = velocity_delay_extent(o);
    if (!extent) {
        s += "set xrange [" + num(-0.5 * o.params.velocity_span) + ":" +
             num(0.5 * o.params.velocity_span) + "]\nset yrange [0:1000]\n";
        s += "set label 1 \"no particle-step reached the map (the first step is never mapped)\" at "
             "graph 0.5,0.5 center\n";
        s += "plot NaN notitle\nunset label 1\n";
        return s;
    }
    double largest = 0.0;
    for (double v : o.velocity_delay)
        largest = std::max(largest, v);
    const double v0 = profile_bin_velocity(extent->first_profile_bin, o.params.velocity_span);
    const double v1 = profile_bin_velocity(extent->last_profile_bin, o.params.velocity_span);
    const double half = 0.5 * std::abs(width);
    const double d0 = delay_bin_lower_edge(extent->first_delay_bin, o.source_depth);
    const double d1 = delay_bin_lower_edge(extent->last_delay_bin, o.source_depth) + 1.0;
    s += "set xrange [" + num(std::min(v0, v1) - half) + ":" + num(std::max(v0, v1) + half) + "]\n";
    s += "set yrange [" + num(std::min(0.0, d0)) + ":" + num(d1) + "]\n";
    // Four decades below the brightest cell: the faint outer disc stays visible beside the cells
    // next to the source point, which are brighter by orders of magnitude.
    s += "set logscale cb\nset cbrange [" + num(largest * 1e-4) + ":" + num(largest) + "]\n";
    s += "set format cb \"10^{%L}\"\nset colorbox\n";
    s += "set palette defined (0 \"#000004\", 1 \"#3b0f70\", 2 \"#8c2981\", 3 \"#de4968\", "
         "4 \"#fe9f6d\", 5 \"#fcfdbf\")\n";
    s += "set object 1 rectangle from graph 0, graph 0 to graph 1, graph 1 behind "
         "fillcolor rgb \"#000004\" fillstyle solid 1.0 noborder\n";
    s += "set grid front lc rgb \"#606060\"\n";
    s += "plot \"velocity_delay.csv\" skip 1 using 3:($4+0.5):($5 > 0 ? $5 : NaN) with image "
         "notitle\n";
    return s;
}

}  // namespace

std::string gnuplot_script(const RunRecord& run, const Observation& o) {
    std::string s;
    s += "# The pictures of one observed run of discsim-headless (--observe).\n";
    s += "# To draw them again, or after editing this script: gnuplot plots.gp, in this folder.\n";
    s += "if (!exists(\"suffix\")) suffix = \"\"\n";
    s += "set encoding utf8\n";
    s += "cairo = strstrt(GPVAL_TERMINALS, \"pngcairo\") > 0\n";
    s += "term = cairo ? \"pngcairo enhanced font 'DejaVu Sans,11'\" : \"png enhanced\"\n";
    s += "eval \"set terminal \".term.\" size 960,600\"\n";
    s += "set datafile separator \",\"\n";
    s += "set grid lc rgb \"#d8d8d8\"\nset tics out nomirror\nset border 3 lw 1.2\nset key off\n";
    s += "\n# The line profile: the illuminated particles' line-of-sight velocities.\n";
    s += "set title \"Line profile: " + run_caption(run) + "\"\n";
    s += line_profile_part(o);
    s += "\n# The delay histogram: the particles' light-travel delays.\n";
    s += "set title \"Delay histogram: " + run_caption(run) + "\"\n";
    s += delay_hist_part(o);
    s += "\n# The velocity-delay map: the line profile spread out over delay.\n";
    s += "eval \"set terminal \".term.\" size 960,720\"\n";
    s += "set title \"Velocity–delay map: " + run_caption(run) + "\"\n";
    s += "set border 15\nset xtics out mirror\nset ytics out mirror\n";
    s += velocity_delay_part(o);
    s += "unset output\n";
    return s;
}

std::optional<std::string> find_gnuplot() {
    const char* path = std::getenv("PATH");
    if (path == nullptr) return std::nullopt;
    const std::string dirs = path;
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const std::size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::string dir = end > start ? dirs.substr(start, end - start) : ".";
        const std::filesystem::path candidate = std::filesystem::path(dir) / "gnuplot";
        struct stat info {};
        if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0) {
            std::error_code ec;
            const auto absolute = std::filesystem::absolute(candidate, ec);
            return ec ? candidate.string() : absolute.string();
        }
        start = end + 1;
    }
    return std::nullopt;
}

std::string draw_plots(const std::string& gnuplot, const std::string& folder,
                       const std::string& script_name) {
    const std::string suffix = ".tmp." + std::to_string(::getpid());
    const std::filesystem::path dir(folder);
    auto remove_temporaries = [&] {
        for (const char* name : plot_names) {
            std::error_code ec;
            std::filesystem::remove(dir / (std::string(name) + suffix), ec);
        }
    };

    int out[2];
    if (::pipe(out) != 0) return std::string("cannot run gnuplot: ") + std::strerror(errno);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, out[1], 2);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, out[1]);
    const std::string set_suffix = "suffix='" + suffix + "'";
    std::vector<char*> argv{const_cast<char*>(gnuplot.c_str()), const_cast<char*>("-e"),
                            const_cast<char*>(set_suffix.c_str()),
                            const_cast<char*>(script_name.c_str()), nullptr};
    pid_t pid = 0;
    const int spawned =
        ::posix_spawn(&pid, gnuplot.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (spawned != 0) {
        ::close(out[0]);
        return "cannot run " + gnuplot + ": " + std::strerror(spawned);
    }

    // gnuplot's own messages: kept to name the problem if it fails, dropped otherwise.
    std::string said;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n > 0) {
            said.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    ::close(out[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }

    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        remove_temporaries();
        std::string last;
        std::size_t line_start = 0;
        while (line_start < said.size()) {
            std::size_t line_end = said.find('\n', line_start);
            if (line_end == std::string::npos) line_end = said.size();
            std::string line = said.substr(line_start, line_end - line_start);
            if (line.find_first_not_of(" \t^") != std::string::npos) last = line;
            line_start = line_end + 1;
        }
        return "gnuplot failed drawing the plots in " + folder +
               (last.empty() ? std::string() : ": " + last);
    }
    for (const char* name : plot_names) {
        std::error_code ec;
        const auto temp = dir / (std::string(name) + suffix);
        if (std::filesystem::file_size(temp, ec) == 0 || ec) {
            remove_temporaries();
            return std::string("gnuplot did not draw ") + name + " in " + folder;
        }
    }
    for (const char* name : plot_names) {
        std::error_code ec;
        std::filesystem::rename(dir / (std::string(name) + suffix), dir / name, ec);
        if (ec) {
            remove_temporaries();
            return "cannot write " + (dir / name).string() + ": " + ec.message();
        }
    }
    return {};
}

}  // namespace discsim
