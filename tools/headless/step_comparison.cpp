#include "headless/step_comparison.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <memory>
#include <vector>

#include "presentation/start_up.h"

namespace discsim {

namespace {

using Clock = std::chrono::steady_clock;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

}  // namespace

StepComparison compare_steps(const DiscParameters& params, std::optional<std::uint32_t> seed,
                             double seconds) {
    // One clock reading seeds both runs alike.
    const std::uint32_t common_seed = seed ? *seed : seed_of_clock();
    auto plain_surface = std::make_unique<Surface>();
    auto fast_surface = std::make_unique<Surface>();
    auto plain = std::make_unique<DiscState>();
    auto fast = std::make_unique<DiscState>();
    start_disc(*plain, *plain_surface, params, common_seed);
    start_disc(*fast, *fast_surface, params, common_seed);

    StepComparison c;
    c.fast_path = widest_instruction_set();
    c.steps_per_round = 100;
    constexpr int warm_up_steps = 10;
    constexpr int max_rounds = 1000;
    std::vector<double> plain_rates;
    std::vector<double> fast_rates;
    plain_rates.reserve(max_rounds);
    fast_rates.reserve(max_rounds);
    c.identical = true;
    const Clock::time_point end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                     std::chrono::duration<double>(seconds));
    while (c.rounds < max_rounds && (c.rounds < 10 || Clock::now() < end)) {
        // Each path's first steps after the other's run find the caches full of the other's
        // arrays; they are run but not timed, as a run on one path never sees that.
        for (int i = 0; i < warm_up_steps; ++i)
            run_step_plain(*plain, *plain_surface);
        const Clock::time_point t0 = Clock::now();
        for (int i = 0; i < c.steps_per_round; ++i)
            run_step_plain(*plain, *plain_surface);
        const Clock::time_point t1 = Clock::now();
        for (int i = 0; i < warm_up_steps; ++i)
            run_step(*fast, *fast_surface);
        const Clock::time_point t2 = Clock::now();
        for (int i = 0; i < c.steps_per_round; ++i)
            run_step(*fast, *fast_surface);
        const Clock::time_point t3 = Clock::now();
        plain_rates.push_back(c.steps_per_round / std::chrono::duration<double>(t1 - t0).count());
        fast_rates.push_back(c.steps_per_round / std::chrono::duration<double>(t3 - t2).count());
        ++c.rounds;
        if (!same_run(*plain, *plain_surface, *fast, *fast_surface)) {
            c.identical = false;
            break;
        }
    }
    c.plain_steps_per_second = median(plain_rates);
    c.fast_steps_per_second = median(fast_rates);
    return c;
}

std::string processor_name() {
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line;
    while (std::getline(cpuinfo, line)) {
        if (line.rfind("model name", 0) == 0) {
            const auto colon = line.find(':');
            if (colon != std::string::npos)
                return line.substr(line.find_first_not_of(' ', colon + 1));
        }
    }
    return {};
}

void print_comparison(std::FILE* out, const StepComparison& c) {
    const auto ns_per_particle_step = [](double steps_per_second) {
        return 1e9 / (steps_per_second * particle_count);
    };
    const std::string cpu = processor_name();
    if (!cpu.empty()) std::fprintf(out, "processor:     %s\n", cpu.c_str());
    std::fprintf(out, "measured:      %d rounds of %d steps on each path, %d particles\n", c.rounds,
                 c.steps_per_round, particle_count);
    std::fprintf(out, "plain:         %8.0f steps/s  %6.2f ns per particle-step\n",
                 c.plain_steps_per_second, ns_per_particle_step(c.plain_steps_per_second));
    const std::string fast = "fast (" + std::string(instruction_set_name(c.fast_path)) + "):";
    std::fprintf(out, "%-14s %8.0f steps/s  %6.2f ns per particle-step\n", fast.c_str(),
                 c.fast_steps_per_second, ns_per_particle_step(c.fast_steps_per_second));
    std::fprintf(out, "fast / plain:  %.2f\n", c.fast_steps_per_second / c.plain_steps_per_second);
    std::fprintf(out, "identical:     %s\n", c.identical ? "yes" : "NO");
}

}  // namespace discsim
