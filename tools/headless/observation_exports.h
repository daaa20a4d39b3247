// What discsim-headless --observe writes as data: the histograms as CSV and a JSON summary.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "simulation/disc_parameters.h"
#include "simulation/observation.h"

namespace discsim {

// The largest bin over bins 1..1000, the first one when several tie; nothing when all are 0.
struct HistogramPeak {
    int bin = 0;
    double value = 0.0;
};
std::optional<HistogramPeak> line_profile_peak(const Observation& observation);
std::optional<HistogramPeak> delay_hist_peak(const Observation& observation);

// The smallest rectangle of map cells that holds every non-zero cell; nothing when all are 0.
struct MapExtent {
    int first_delay_bin = 0, last_delay_bin = 0;
    int first_profile_bin = 0, last_profile_bin = 0;
};
std::optional<MapExtent> velocity_delay_extent(const Observation& observation);

// "bin,velocity,weight" for bins 0..1000: the velocity at the bin's centre, the float sum.
bool write_line_profile_csv(std::FILE* out, const Observation& observation);

// "bin,delay,count" for bins 0..1000: the delay at the bin's lower edge, the particle-steps.
bool write_delay_hist_csv(std::FILE* out, const Observation& observation);

// "profile_bin,delay_bin,velocity,delay,weight" for every cell of the extent, delay rows in
// order: the velocity at the cell's centre, the delay at its lower edge, the summed weight.
bool write_velocity_delay_csv(std::FILE* out, const Observation& observation);

// What the run was and what it found, for people and scripts.
struct RunRecord {
    std::uint64_t steps = 0;
    int particles = particle_count;
    std::uint32_t seed = 0;
    DiscParameters params;
};
bool write_summary_json(std::FILE* out, const RunRecord& run, const Observation& observation);

}  // namespace discsim
