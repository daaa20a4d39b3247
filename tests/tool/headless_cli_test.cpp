// discsim-headless as a user runs it: its files, its errors and its exit statuses.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class HeadlessTool : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("discsim-cli-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    Outcome run(const std::string& args) {
        const std::string cmd = "cd '" + dir.string() + "' && '" DISCSIM_HEADLESS "' " + args +
                                " >stdout.txt 2>stderr.txt </dev/null";
        const int raw = std::system(cmd.c_str());
        Outcome r{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(dir / "stdout.txt"),
                  slurp(dir / "stderr.txt")};
        fs::remove(dir / "stdout.txt");
        fs::remove(dir / "stderr.txt");
        return r;
    }

    fs::path dir;
};

TEST_F(HeadlessTool, SameSeedSameStateOtherSeedOtherState) {
    ASSERT_EQ(run("--seed 1 --steps 0 --state a.csv").status, 0);
    ASSERT_EQ(run("--seed 1 --steps 0 --state b.csv").status, 0);
    ASSERT_EQ(run("--seed 2 --steps 0 --state c.csv").status, 0);
    const std::string a = slurp(dir / "a.csv");
    EXPECT_EQ(a, slurp(dir / "b.csv"));
    EXPECT_NE(a, slurp(dir / "c.csv"));
    EXPECT_EQ(
        a.substr(0, a.find('\n')),
        "index,radius,phase,angular_speed,sin_incl,cos_incl,sin_node,cos_node,screen_x,screen_y,"
        "source_dist");
    EXPECT_EQ(std::count(a.begin(), a.end(), '\n'), 10001);
}

TEST_F(HeadlessTool, WritesAFramePng) {
    ASSERT_EQ(run("--seed 3 --steps 20 --frame f.png").status, 0);
    const std::string png = slurp(dir / "f.png");
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    // IHDR: width 1280, height 768, 8-bit RGB.
    const auto be32 = [&](std::size_t at) {
        return (static_cast<unsigned char>(png[at]) << 24) |
               (static_cast<unsigned char>(png[at + 1]) << 16) |
               (static_cast<unsigned char>(png[at + 2]) << 8) |
               static_cast<unsigned char>(png[at + 3]);
    };
    EXPECT_EQ(be32(16), 1280);
    EXPECT_EQ(be32(20), 768);
    EXPECT_EQ(png[24], 8);
    EXPECT_EQ(png[25], 2);
}

TEST_F(HeadlessTool, SetChangesTheModel) {
    ASSERT_EQ(run("--seed 4 --steps 0 --state shipped.csv").status, 0);
    ASSERT_EQ(run("--seed 4 --steps 0 --state edited.csv --set r_min=10 --set kepler_k=1e1").status,
              0);
    EXPECT_NE(slurp(dir / "shipped.csv"), slurp(dir / "edited.csv"));
}

TEST_F(HeadlessTool, BadInputGetsOneLineStatusTwoAndNoFile) {
    struct Case {
        const char* args;
        const char* says;  // a word the message must contain
    };
    const Case cases[] = {
        {"--bogus", "--bogus"},
        {"--steps", "--steps"},
        {"--set", "--set"},
        {"--set nosuch=1", "nosuch"},
        {"--set r_min", "NAME=VALUE"},
        {"--set r_min=abc", "r_min"},
        {"--set r_min=nan", "finite"},
        {"--set r_min=inf", "finite"},
        {"--set r_min=1e99", "finite"},
        {"--set centre_x=1.5", "centre_x"},
        {"--steps -1", "--steps"},
        {"--steps 2.5", "--steps"},
        {"--steps ten", "--steps"},
        {"--seed 4294967296", "--seed"},
        {"--seed -3", "--seed"},
        {"--seed x", "--seed"},
        {"--frame no/such/dir/f.png", "no/such/dir/f.png"},
    };
    for (const Case& c : cases) {
        const Outcome r = run("--state out.csv " + std::string(c.args));
        EXPECT_EQ(r.status, 2) << c.args;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.args << ": " << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.args << ": " << r.err;
        EXPECT_FALSE(fs::exists(dir / "out.csv")) << c.args;
    }
    // Nothing half-written is left behind either.
    for (const auto& entry : fs::directory_iterator(dir))
        ADD_FAILURE() << "left " << entry.path();
}

TEST_F(HeadlessTool, AnUnwritableOutputLeavesNoOtherOutput) {
    for (const char* args : {"--steps 1 --state s.csv --frame missing/f.png",
                             "--steps 1 --state missing/s.csv --frame f.png"}) {
        const Outcome r = run(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_NE(r.err.find("missing/"), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(dir / "s.csv")) << args;
        EXPECT_FALSE(fs::exists(dir / "f.png")) << args;
    }
}

TEST_F(HeadlessTool, BenchComparesThePlainAndTheFastStep) {
    const Outcome r = run("--bench --seed 6 --set drift_rate=0.01");
    EXPECT_EQ(r.status, 0) << r.err;
    for (const char* line : {"plain:", "fast (", "steps/s", "ns per particle-step",
                             "fast / plain:", "identical:     yes"}) {
        EXPECT_NE(r.out.find(line), std::string::npos) << line << " in\n" << r.out;
    }
    for (const char* args : {"--bench --steps 5", "--bench --frame f.png", "--bench --state s.csv",
                             "--bench --observe obs"}) {
        const Outcome bad = run(args);
        EXPECT_EQ(bad.status, 2) << args;
        EXPECT_NE(bad.err.find("--bench"), std::string::npos) << args << ": " << bad.err;
        EXPECT_FALSE(fs::exists(dir / "f.png"));
        EXPECT_FALSE(fs::exists(dir / "s.csv"));
    }
}

TEST_F(HeadlessTool, HelpListsTheOptions) {
    const Outcome r = run("--help");
    EXPECT_EQ(r.status, 0);
    for (const char* option : {"--seed", "--steps", "--state", "--frame", "--set", "--bench"}) {
        EXPECT_NE(r.out.find(option), std::string::npos) << option;
    }
}

}  // namespace
