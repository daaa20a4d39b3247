// discsim-headless: the disc model without a window, for scripting, measuring and export.
#include <cstdio>
#include <memory>

#include "display/surface.h"
#include "headless/exports.h"
#include "headless/headless_options.h"
#include "headless/output_file.h"
#include "headless/progress_bar.h"
#include "headless/step_comparison.h"
#include "presentation/start_up.h"

namespace {

int fail(const std::string& message) {
    std::fprintf(stderr, "discsim-headless: %s\n", message.c_str());
    return 2;
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

    auto surface = std::make_unique<Surface>();
    auto state = std::make_unique<DiscState>();
    start_disc(*state, *surface, opt.params, opt.seed);

    ProgressBar progress(opt.steps);
    for (std::uint64_t step = 1; step <= opt.steps; ++step) {
        run_step(*state, *surface);
        progress.update(step);
    }
    progress.finish();

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
    return 0;
}
