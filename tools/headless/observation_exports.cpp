#include "headless/observation_exports.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <nlohmann/json.hpp>

namespace discsim {

namespace {

template <typename T>
std::optional<HistogramPeak> first_largest(const std::vector<T>& bins) {
    // Bins 1..1000, starting from 0 and replaced only by a strictly larger value.
    std::optional<HistogramPeak> peak;
    double best = 0.0;
    for (int b = 1; b <= bin_count; ++b) {
        const double v = bins[static_cast<std::size_t>(b)];
        if (v > best) {
            best = v;
            peak = HistogramPeak{b, v};
        }
    }
    return peak;
}

// The float as the shortest decimal that reads back to it, so 0.01f is written 0.01.
double shortest(float value) {
    char text[32];
    const auto [end, ec] = std::to_chars(text, text + sizeof text - 1, value);
    *end = '\0';
    return ec == std::errc() ? std::strtod(text, nullptr) : static_cast<double>(value);
}

nlohmann::ordered_json number_or_null(double value) {
    return std::isfinite(value) ? nlohmann::ordered_json(value) : nlohmann::ordered_json(nullptr);
}

}  // namespace

std::optional<HistogramPeak> line_profile_peak(const Observation& o) {
    return first_largest(o.line_profile);
}

std::optional<HistogramPeak> delay_hist_peak(const Observation& o) {
    return first_largest(o.delay_hist);
}

std::optional<MapExtent> velocity_delay_extent(const Observation& o) {
    std::optional<MapExtent> extent;
    for (int d = 0; d < histogram_slots; ++d) {
        for (int v = 0; v < histogram_slots; ++v) {
            if (o.map_cell(d, v) == 0.0) continue;
            if (!extent) {
                extent = MapExtent{d, d, v, v};
            } else {
                extent->last_delay_bin = d;
                if (v < extent->first_profile_bin) extent->first_profile_bin = v;
                if (v > extent->last_profile_bin) extent->last_profile_bin = v;
            }
        }
    }
    return extent;
}

bool write_line_profile_csv(std::FILE* out, const Observation& o) {
    std::fputs("bin,velocity,weight\n", out);
    for (int b = 0; b < histogram_slots; ++b) {
        std::fprintf(out, "%d,%.9g,%.9g\n", b, profile_bin_velocity(b, o.params.velocity_span),
                     static_cast<double>(o.line_profile[static_cast<std::size_t>(b)]));
    }
    return std::ferror(out) == 0;
}

bool write_delay_hist_csv(std::FILE* out, const Observation& o) {
    std::fputs("bin,delay,count\n", out);
    for (int b = 0; b < histogram_slots; ++b) {
        std::fprintf(out, "%d,%.9g,%.17g\n", b, delay_bin_lower_edge(b, o.source_depth),
                     o.delay_hist[static_cast<std::size_t>(b)]);
    }
    return std::ferror(out) == 0;
}

bool write_velocity_delay_csv(std::FILE* out, const Observation& o) {
    std::fputs("profile_bin,delay_bin,velocity,delay,weight\n", out);
    if (const auto e = velocity_delay_extent(o)) {
        for (int d = e->first_delay_bin; d <= e->last_delay_bin; ++d) {
            for (int v = e->first_profile_bin; v <= e->last_profile_bin; ++v) {
                std::fprintf(out, "%d,%d,%.9g,%.9g,%.17g\n", v, d,
                             profile_bin_velocity(v, o.params.velocity_span),
                             delay_bin_lower_edge(d, o.source_depth), o.map_cell(d, v));
            }
        }
    }
    return std::ferror(out) == 0;
}

bool write_summary_json(std::FILE* out, const RunRecord& run, const Observation& o) {
    using json = nlohmann::ordered_json;
    json parameters = json::object();
    for (const auto& f : parameter_fields()) {
        if (f.real != nullptr) {
            parameters[std::string(f.name)] = shortest(run.params.*(f.real));
        } else {
            parameters[std::string(f.name)] = run.params.*(f.integer);
        }
    }
    for (const auto& f : observation_fields()) {
        parameters[std::string(f.name)] = shortest(o.params.*(f.real));
    }

    json summary = json::object();
    summary["steps"] = run.steps;
    summary["particles"] = run.particles;
    summary["seed"] = run.seed;
    summary["parameters"] = parameters;
    summary["source_depth"] = shortest(o.source_depth);
    summary["particle_steps"] = o.delay_count;
    summary["delay_sum"] = number_or_null(o.delay_sum);
    summary["mean_delay"] = o.delay_count > 0 ? number_or_null(o.mean_delay) : json(nullptr);
    if (const auto p = line_profile_peak(o)) {
        summary["line_profile_peak"] = {
            {"bin", p->bin},
            {"velocity", profile_bin_velocity(p->bin, o.params.velocity_span)},
            {"weight", p->value}};
    } else {
        summary["line_profile_peak"] = nullptr;
    }
    if (const auto p = delay_hist_peak(o)) {
        summary["delay_hist_peak"] = {{"bin", p->bin},
                                      {"delay", delay_bin_lower_edge(p->bin, o.source_depth)},
                                      {"count", p->value}};
    } else {
        summary["delay_hist_peak"] = nullptr;
    }
    summary["profile_outside_bins"] = o.profile_missed;
    summary["delay_outside_bins"] = o.delay_missed;

    const std::string text = summary.dump(2) + "\n";
    std::fputs(text.c_str(), out);
    return std::ferror(out) == 0;
}

}  // namespace discsim
