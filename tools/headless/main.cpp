// discsim-headless: the disc model without a window, for scripting, measuring and export.
#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>

#include "display/surface.h"
#include "headless/exports.h"
#include "headless/headless_options.h"
#include "headless/observation_exports.h"
#include "headless/observation_plots.h"
#include "headless/output_file.h"
#include "headless/progress_bar.h"
#include "headless/step_comparison.h"
#include "presentation/start_up.h"

namespace {

int fail(const std::string& message) {
    std::fprintf(stderr, "discsim-headless: %s\n", message.c_str());
    return 2;
}

// The files of --observe, each opened before the run and committed after it.
struct ObserveFiles {
    discsim::OutputFile line_profile, delay_hist, velocity_delay, summary, script;
    auto all() {
        return std::array{&line_profile, &delay_hist, &velocity_delay, &summary, &script};
    }
};

// Creates the folder and opens every data file in it; an empty string or the problem.
std::string open_observe_files(const std::string& folder, ObserveFiles& files) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) return "cannot create folder " + folder + ": " + ec.message();
    if (!std::filesystem::is_directory(folder, ec))
        return "cannot use " + folder + ": not a folder";
    const std::filesystem::path dir(folder);
    const std::array names{"line_profile.csv", "delay_hist.csv", "velocity_delay.csv",
                           "summary.json", "plots.gp"};
    const auto targets = files.all();
    for (std::size_t i = 0; i < targets.size(); ++i) {
        if (!targets[i]->open((dir / names[i]).string())) return targets[i]->error();
    }
    return {};
}

std::string commit(discsim::OutputFile& file, bool written) {
    if (written && file.commit()) return {};
    return file.error().empty() ? "cannot write " + file.path() : file.error();
}

// Writes and commits every data file and the plot script; an empty string or the problem.
std::string write_observation(ObserveFiles& f, const discsim::RunRecord& run,
                              const discsim::Observation& o) {
    using namespace discsim;
    std::string problem =
        commit(f.line_profile, write_line_profile_csv(f.line_profile.stream(), o));
    if (problem.empty()) {
        problem = commit(f.delay_hist, write_delay_hist_csv(f.delay_hist.stream(), o));
    }
    if (problem.empty()) {
        problem = commit(f.velocity_delay, write_velocity_delay_csv(f.velocity_delay.stream(), o));
    }
    if (problem.empty()) {
        problem = commit(f.summary, write_summary_json(f.summary.stream(), run, o));
    }
    if (problem.empty()) {
        const std::string script = gnuplot_script(run, o);
        problem = commit(f.script, std::fputs(script.c_str(), f.script.stream()) >= 0);
    }
    return problem;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace discsim;
    const ParseOutcome parsed = parse_headless_options(argc, argv);
    if (!parsed.options) {
        if (parsed.exit_status == 0) {
            std::fputs(parsed.message.c_str(), stdout);
            return 0;
        }
        return fail(parsed.message);
    }
    const HeadlessOptions& opt = *parsed.options;

    if (opt.bench) {
        const StepComparison c = compare_steps(opt.params, opt.seed, 3.0);
        print_comparison(stdout, c);
        if (!c.identical) return fail("the fast step's results differ from the plain step's");
        return 0;
    }

    // Outputs are opened before the run, so a bad path fails at once and not after a long run.
    OutputFile state_file;
    OutputFile frame_file;
    if (!opt.state_path.empty() && !state_file.open(opt.state_path))
        return fail(state_file.error());
    if (!opt.frame_path.empty() && !frame_file.open(opt.frame_path))
        return fail(frame_file.error());

    ObserveFiles observe_files;
    const bool observing = !opt.observe_dir.empty();
    if (observing) {
        const std::string problem = open_observe_files(opt.observe_dir, observe_files);
        if (!problem.empty()) return fail(problem);
    }

    auto surface = std::make_unique<Surface>();
    auto state = std::make_unique<DiscState>();
    const std::uint32_t seed = start_disc(*state, *surface, opt.params, opt.seed);

    ProgressBar progress(opt.steps);
    if (observing) {
        // The observer runs in the plain step only.
        Observation observation(state->params, opt.observation, state->particles.count);
        for (std::uint64_t step = 1; step <= opt.steps; ++step) {
            run_step(*state, *surface, observation);
            progress.update(step);
        }
        progress.finish();
        const RunRecord run{opt.steps, state->particles.count, seed, state->params};
        const std::string problem = write_observation(observe_files, run, observation);
        if (!problem.empty()) return fail(problem);
    } else {
        for (std::uint64_t step = 1; step <= opt.steps; ++step) {
            run_step(*state, *surface);
            progress.update(step);
        }
        progress.finish();
    }

    if (!opt.state_path.empty()) {
        if (!write_state_csv(state_file.stream(), state->particles) || !state_file.commit()) {
            return fail(state_file.error().empty() ? "cannot write " + opt.state_path
                                                   : state_file.error());
        }
    }
    if (!opt.frame_path.empty()) {
        if (!write_frame_png(frame_file.stream(), *surface) || !frame_file.commit()) {
            return fail(frame_file.error().empty() ? "cannot write " + opt.frame_path
                                                   : frame_file.error());
        }
    }

    if (observing) {
        // The data are the result; the pictures need gnuplot, which may be missing: then the
        // run still succeeds, and says plainly that no pictures were drawn.
        const auto gnuplot = find_gnuplot();
        if (!gnuplot) {
            std::fprintf(stderr,
                         "discsim-headless: gnuplot not found: wrote the CSV and JSON files in %s "
                         "but no plots (install gnuplot, then run 'gnuplot plots.gp' there)\n",
                         opt.observe_dir.c_str());
            return 0;
        }
        const std::string problem = draw_plots(*gnuplot, opt.observe_dir, "plots.gp");
        if (!problem.empty()) return fail(problem);
    }
    return 0;
}
