// discsim-headless --observe as a user runs it: the files it writes, what they hold, its errors.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string tool = DISCSIM_HEADLESS_PATH;

struct ToolRun {
    int status = -1;
    std::string err;
};

// A fresh, empty folder for one test.
fs::path scratch(const std::string& name) {
    const fs::path dir = fs::path(::testing::TempDir()) /
                         ("discsim_observe_" + name + "_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The path in single quotes, for the shell.
std::string shell_quoted(const fs::path& path) {
    std::string text;
    text.push_back('\'');
    text.append(path.string());
    text.push_back('\'');
    return text;
}

// Runs the tool with the arguments (already quoted where needed) and an environment prefix.
ToolRun run_tool(const fs::path& dir, const std::string& args, const std::string& env = "") {
    const fs::path err = dir / "stderr.txt";
    const std::string command =
        env + " " + shell_quoted(tool) + " " + args + " 2>" + shell_quoted(err) + " >/dev/null";
    const int raw = std::system(command.c_str());
    ToolRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.err = read_file(err);
    fs::remove(err);
    return run;
}

std::vector<std::string> lines_of(const fs::path& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Width and height from a PNG's header, or 0 x 0 when it is not a PNG.
std::pair<unsigned, unsigned> png_size(const fs::path& path) {
    const std::string bytes = read_file(path);
    if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return {0, 0};
    auto be32 = [&](std::size_t at) {
        unsigned v = 0;
        for (std::size_t i = 0; i < 4; ++i)
            v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
        return v;
    };
    return {be32(16), be32(20)};
}

TEST(Observe, WritesEveryFileWithConsistentContents) {
    const fs::path dir = scratch("all");
    const fs::path out = dir / "new" / "folder";  // created, parents too
    const ToolRun run = run_tool(dir, "--seed 7 --steps 300 --observe " + shell_quoted(out));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");

    for (const char* name :
         {"line_profile.csv", "delay_hist.csv", "velocity_delay.csv", "summary.json", "plots.gp"}) {
        EXPECT_GT(fs::file_size(out / name), 0u) << name;
    }
    for (const char* name : {"line_profile.png", "delay_hist.png", "velocity_delay.png"}) {
        const auto [w, h] = png_size(out / name);
        EXPECT_GE(w, 600u) << name;
        EXPECT_GE(h, 400u) << name;
    }
    int entries = 0;
    for (const auto& e : fs::directory_iterator(out)) {
        ++entries;
        EXPECT_EQ(e.path().string().find(".tmp."), std::string::npos) << e.path();
    }
    EXPECT_EQ(entries, 8);

    const auto summary = nlohmann::json::parse(read_file(out / "summary.json"));
    EXPECT_EQ(summary["steps"], 300);
    EXPECT_EQ(summary["particles"], 10000);
    EXPECT_EQ(summary["seed"], 7);
    EXPECT_EQ(summary["parameters"]["view_tilt_deg"], 3.0);
    EXPECT_EQ(summary["parameters"]["illum_exponent"], 2.0);
    EXPECT_EQ(summary["parameters"]["velocity_span"], 100000.0);
    EXPECT_EQ(summary["parameters"]["velocity_scale"], 80000.0);
    EXPECT_EQ(summary["parameters"]["noise_amplitude"], 0.0);
    EXPECT_EQ(summary["particle_steps"], 3000000);
    const double mean = summary["mean_delay"];
    EXPECT_EQ(mean, summary["delay_sum"].get<double>() / 3000000.0);
    EXPECT_GT(mean, 100.0);
    EXPECT_LT(mean, 300.0);

    // The delay histogram holds every particle-step not reported outside its bins.
    const auto delay_lines = lines_of(out / "delay_hist.csv");
    ASSERT_EQ(delay_lines.size(), 1002u);
    EXPECT_EQ(delay_lines[0], "bin,delay,count");
    double counted = 0.0, peak_count = 0.0;
    int peak_bin = 0;
    for (std::size_t i = 1; i < delay_lines.size(); ++i) {
        int bin = 0;
        double delay = 0.0, count = 0.0;
        ASSERT_EQ(std::sscanf(delay_lines[i].c_str(), "%d,%lf,%lf", &bin, &delay, &count), 3);
        EXPECT_EQ(bin, static_cast<int>(i) - 1);
        EXPECT_EQ(delay, bin - 1.0);
        counted += count;
        if (count > peak_count) {
            peak_count = count;
            peak_bin = bin;
        }
    }
    EXPECT_EQ(counted + summary["delay_outside_bins"].get<double>(), 3000000.0);
    EXPECT_EQ(summary["delay_hist_peak"]["bin"], peak_bin);
    EXPECT_EQ(summary["delay_hist_peak"]["count"], peak_count);

    // The line profile: 1001 bins with the velocity at each centre; its peak as summarised.
    const auto profile_lines = lines_of(out / "line_profile.csv");
    ASSERT_EQ(profile_lines.size(), 1002u);
    EXPECT_EQ(profile_lines[0], "bin,velocity,weight");
    double total = 0.0, peak_weight = 0.0;
    for (std::size_t i = 1; i < profile_lines.size(); ++i) {
        int bin = 0;
        double velocity = 0.0, weight = 0.0;
        ASSERT_EQ(std::sscanf(profile_lines[i].c_str(), "%d,%lf,%lf", &bin, &velocity, &weight), 3);
        EXPECT_EQ(velocity, (bin - 499.5) * 100.0);
        if (bin < 2 || bin > 999) {
            EXPECT_EQ(weight, 0.0) << bin;
        }
        total += weight;
        if (weight > peak_weight) {
            peak_weight = weight;
            peak_bin = bin;
        }
    }
    EXPECT_GT(total, 0.0);
    EXPECT_EQ(summary["line_profile_peak"]["bin"], peak_bin);
    // At 3 degrees the peak lies within a few thousand units of zero velocity.
    EXPECT_LT(std::abs(summary["line_profile_peak"]["velocity"].get<double>()), 3000.0);

    // The map: a full rectangle of cells whose weights add up to the profile's, in double.
    const auto map_lines = lines_of(out / "velocity_delay.csv");
    ASSERT_GT(map_lines.size(), 100u);
    EXPECT_EQ(map_lines[0], "profile_bin,delay_bin,velocity,delay,weight");
    double map_total = 0.0;
    for (std::size_t i = 1; i < map_lines.size(); ++i) {
        int v = 0, d = 0;
        double velocity = 0.0, delay = 0.0, weight = 0.0;
        ASSERT_EQ(std::sscanf(map_lines[i].c_str(), "%d,%d,%lf,%lf,%lf", &v, &d, &velocity, &delay,
                              &weight),
                  5);
        EXPECT_EQ(velocity, (v - 499.5) * 100.0);
        EXPECT_EQ(delay, d - 1.0);
        map_total += weight;
    }
    EXPECT_NEAR(map_total, total, 0.01 * total);
}

TEST(Observe, DrawsEmptyPlotsForARunTooShortToProfile) {
    const fs::path dir = scratch("short");
    for (const char* steps : {"0", "1"}) {
        const fs::path out = dir / steps;
        const ToolRun run = run_tool(
            dir, std::string("--seed 4 --steps ") + steps + " --observe " + shell_quoted(out));
        ASSERT_EQ(run.status, 0) << run.err;
        for (const char* name : {"line_profile.png", "delay_hist.png", "velocity_delay.png"}) {
            EXPECT_GT(png_size(out / name).first, 0u) << steps << " " << name;
        }
        const auto summary = nlohmann::json::parse(read_file(out / "summary.json"));
        EXPECT_TRUE(summary["line_profile_peak"].is_null()) << steps;
        // The first step's delays count; before it there is no mean.
        EXPECT_EQ(summary["delay_hist_peak"].is_null(), std::string(steps) == "0");
        EXPECT_EQ(summary["mean_delay"].is_null(), std::string(steps) == "0");
    }
}

TEST(Observe, WithoutGnuplotWritesTheDataAndSaysThePlotsWereSkipped) {
    const fs::path dir = scratch("nognuplot");
    const fs::path out = dir / "obs";
    const ToolRun run =
        run_tool(dir, "--seed 3 --steps 5 --observe " + shell_quoted(out), "PATH=/nonexistent");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.err.find("gnuplot not found"), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    for (const char* name :
         {"line_profile.csv", "delay_hist.csv", "velocity_delay.csv", "summary.json", "plots.gp"}) {
        EXPECT_TRUE(fs::exists(out / name)) << name;
    }
    for (const char* name : {"line_profile.png", "delay_hist.png", "velocity_delay.png"}) {
        EXPECT_FALSE(fs::exists(out / name)) << name;
    }
}

TEST(Observe, AFailingGnuplotIsAnErrorAndLeavesNoPicture) {
    const fs::path dir = scratch("badgnuplot");
    {
        std::ofstream fake(dir / "gnuplot");
        fake << "#!/bin/sh\necho 'first line'\necho '\"plots.gp\" line 9: boom' >&2\nexit 1\n";
    }
    fs::permissions(dir / "gnuplot", fs::perms::owner_all);
    const fs::path out = dir / "obs";
    const ToolRun run = run_tool(dir, "--seed 3 --steps 5 --observe " + shell_quoted(out),
                                 "PATH=" + shell_quoted(dir));
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_NE(run.err.find("gnuplot failed"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("boom"), std::string::npos) << run.err;
    for (const auto& e : fs::directory_iterator(out)) {
        EXPECT_NE(e.path().extension(), ".png") << e.path();
        EXPECT_EQ(e.path().string().find(".tmp."), std::string::npos) << e.path();
    }
    EXPECT_TRUE(fs::exists(out / "summary.json"));
}

TEST(Observe, ReportsTheClockSeedSoTheRunCanBeRepeated) {
    const fs::path dir = scratch("clock");
    ASSERT_EQ(run_tool(dir, "--steps 20 --observe " + shell_quoted(dir / "a")).status, 0);
    const auto first = nlohmann::json::parse(read_file(dir / "a" / "summary.json"));
    const std::uint32_t seed = first["seed"];
    ASSERT_EQ(run_tool(dir, "--seed " + std::to_string(seed) + " --steps 20 --observe " +
                                shell_quoted(dir / "b"))
                  .status,
              0);
    for (const char* name :
         {"summary.json", "line_profile.csv", "delay_hist.csv", "velocity_delay.csv", "plots.gp"}) {
        EXPECT_EQ(read_file(dir / "a" / name), read_file(dir / "b" / name)) << name;
    }
}

TEST(Observe, SettingsOfTheObserverReachTheSummary) {
    const fs::path dir = scratch("settings");
    const ToolRun run =
        run_tool(dir,
                 "--seed 5 --steps 10 --set view_tilt_deg=60 --set illum_exponent=1 "
                 "--set noise_amplitude=0.5 --set velocity_span=20000 --observe " +
                     shell_quoted(dir / "o"));
    ASSERT_EQ(run.status, 0) << run.err;
    const auto summary = nlohmann::json::parse(read_file(dir / "o" / "summary.json"));
    EXPECT_EQ(summary["parameters"]["view_tilt_deg"], 60.0);
    EXPECT_EQ(summary["parameters"]["illum_exponent"], 1.0);
    EXPECT_EQ(summary["parameters"]["noise_amplitude"], 0.5);
    EXPECT_EQ(summary["parameters"]["velocity_span"], 20000.0);
    const auto lines = lines_of(dir / "o" / "line_profile.csv");
    ASSERT_EQ(lines.size(), 1002u);
    EXPECT_EQ(lines[1], "0,-9990,0");  // bins of 20 units
}

TEST(Observe, BadInputGetsOneLineAndStatusTwoAndWritesNothing) {
    const fs::path dir = scratch("errors");
    { std::ofstream(dir / "plain_file") << "x"; }
    const std::string out = shell_quoted(dir / "out");
    struct Case {
        std::string args;
        std::string says;
    };
    const Case cases[] = {
        {"--observe " + shell_quoted(dir / "plain_file"), "plain_file"},
        {"--observe " + shell_quoted(dir / "plain_file" / "below"), "cannot create folder"},
        {"--set velocity_span=abc --observe " + out, "velocity_span"},
        {"--set illum_exponent=inf --observe " + out, "illum_exponent"},
        {"--set noise_amplitude=1", "needs --observe"},
        {"--set bogus=1 --observe " + out, "noise_amplitude"},  // the known names are listed
        {"--observe", "--observe"},
        {"--observe ''", "--observe"},
    };
    for (const auto& c : cases) {
        const ToolRun run = run_tool(dir, "--steps 3 " + c.args);
        EXPECT_EQ(run.status, 2) << c.args;
        EXPECT_EQ(run.err.rfind("discsim-headless: ", 0), 0u) << c.args << ": " << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << c.args << ": " << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << c.args << ": " << run.err;
        EXPECT_FALSE(fs::exists(dir / "out")) << c.args;
    }
}

}  // namespace
