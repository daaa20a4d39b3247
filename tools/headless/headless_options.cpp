#include "headless/headless_options.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <cmath>
#include <limits>

namespace discsim {

std::optional<std::uint64_t> parse_unsigned(const std::string& text, std::uint64_t max) {
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value > max) return std::nullopt;
    return value;
}

namespace {

std::optional<float> parse_finite_float(const std::string& text) {
    float value = 0.0f;
    const char* end = text.data() + text.size();
    // from_chars rounds the decimal text once, to the nearest float.
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<std::int32_t> parse_int32(const std::string& text) {
    std::int32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end) return std::nullopt;
    return value;
}

std::string known_names() {
    std::string names;
    for (const auto& f : parameter_fields()) {
        if (!names.empty()) names += ", ";
        names += f.name;
    }
    for (const auto& f : observation_fields()) {
        names += ", ";
        names += f.name;
    }
    return names;
}

// Sets one single-precision field from its text; an empty string or the problem.
std::string set_finite_float(float& field, const std::string& name, const std::string& value) {
    const auto v = parse_finite_float(value);
    if (!v) return "value of " + name + " is not a finite number: '" + value + "'";
    field = *v;
    return {};
}

std::string setting_name(const std::string& setting) {
    return setting.substr(0, setting.find('='));
}

}  // namespace

std::string apply_parameter_setting(DiscParameters& params, ObservationParameters& observation,
                                    const std::string& setting) {
    const auto eq = setting.find('=');
    if (eq == std::string::npos) return "--set expects NAME=VALUE, got '" + setting + "'";
    const std::string name = setting.substr(0, eq);
    const std::string value = setting.substr(eq + 1);
    if (const auto observed = find_observation_field(name)) {
        return set_finite_float(observation.*(observed->real), name, value);
    }
    const auto field = find_parameter(name);
    if (!field) return "unknown parameter '" + name + "' (known: " + known_names() + ")";
    if (field->real != nullptr) return set_finite_float(params.*(field->real), name, value);
    const auto v = parse_int32(value);
    if (!v) return "value of " + name + " is not a whole number: '" + value + "'";
    params.*(field->integer) = *v;
    return {};
}

ParseOutcome parse_headless_options(int argc, const char* const* argv) {
    CLI::App app{
        "Runs the disc model without a window and writes its state and picture.\n"
        "Start-up as the window program (parameters, seed, centre marker, population), then\n"
        "STEPS steps of advancing and drawing every particle."};
    app.name("discsim-headless");

    std::string seed_text;
    std::string steps_text = "1000";
    std::vector<std::string> settings;
    HeadlessOptions options;

    app.add_option("--seed", seed_text, "random seed, 0 to 4294967295 (default: from the clock)");
    app.add_option("--steps", steps_text,
                   "steps to run (default 1000; 0 stops right after the population is drawn)");
    app.add_option("--state", options.state_path, "write the particle state as CSV to this file");
    app.add_option("--frame", options.frame_path,
                   "write the picture as a 1280x768 PNG to this file");
    app.add_option("--observe", options.observe_dir,
                   "observe the disc and write, after the run, the line profile, delay histogram,\n"
                   "velocity-delay map and summary (CSV, JSON) and their plots (PNG, drawn by\n"
                   "gnuplot) into this folder, created if missing; observed runs use the plain\n"
                   "step, which is slower")
        ->type_name("DIR");
    app.add_option("--set", settings,
                   "override a model parameter, NAME=VALUE (repeatable); names: " + known_names())
        ->allow_extra_args(false);
    app.add_flag("--bench", options.bench,
                 "instead of a run, time the plain and the fast step side by side for about "
                 "3 seconds and print their steps per second, their ratio and whether their "
                 "results were identical (takes --seed and --set)")
        ->excludes("--steps")
        ->excludes("--state")
        ->excludes("--frame")
        ->excludes("--observe");

    ParseOutcome outcome;
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        outcome.message = app.help();
        return outcome;
    } catch (const CLI::ParseError& e) {
        outcome.exit_status = 2;
        outcome.message = e.what();
        return outcome;
    }

    if (!seed_text.empty() || app.count("--seed") > 0) {
        const auto seed = parse_unsigned(seed_text, std::numeric_limits<std::uint32_t>::max());
        if (!seed) {
            outcome.exit_status = 2;
            outcome.message =
                "--seed must be a whole number from 0 to 4294967295, got '" + seed_text + "'";
            return outcome;
        }
        options.seed = static_cast<std::uint32_t>(*seed);
    }
    const auto steps = parse_unsigned(steps_text, std::numeric_limits<std::int64_t>::max());
    if (!steps) {
        outcome.exit_status = 2;
        outcome.message =
            "--steps must be a whole number of steps, 0 or more, got '" + steps_text + "'";
        return outcome;
    }
    options.steps = *steps;
    if (app.count("--observe") > 0 && options.observe_dir.empty()) {
        outcome.exit_status = 2;
        outcome.message = "--observe needs a folder name";
        return outcome;
    }
    for (const auto& s : settings) {
        std::string problem = apply_parameter_setting(options.params, options.observation, s);
        if (problem.empty() && options.observe_dir.empty() &&
            find_observation_field(setting_name(s))) {
            problem = setting_name(s) + " is a parameter of the observer and needs --observe DIR";
        }
        if (!problem.empty()) {
            outcome.exit_status = 2;
            outcome.message = problem;
            return outcome;
        }
    }
    outcome.options = std::move(options);
    return outcome;
}

}  // namespace discsim
