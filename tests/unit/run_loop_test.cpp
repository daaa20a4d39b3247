#include "presentation/run_loop.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "display/key_queue.h"
#include "display/terminal_keys.h"
#include "display/window.h"
#include "key_printing.h"
#include "unit/allocation_counter.h"

namespace discsim {
namespace {

struct RunFixture {
    RunFixture() { start_disc(*state, *surface, DiscParameters{}, 2024u); }
    std::unique_ptr<Surface> surface = std::make_unique<Surface>();
    std::unique_ptr<DiscState> state = std::make_unique<DiscState>();
};

// Hands out a fixed list of keys, one per poll, then empty keys; counts the polls.
struct ScriptedKeys {
    std::vector<Key> keys;
    std::size_t polls = 0;
    Key operator()() { return polls < keys.size() ? keys[polls++] : (++polls, Key{}); }
};

TEST(RunLoop, OnlyTheEscapeStringEndsTheLoopRightAfterTheStepThatReadIt) {
    const Key none{};
    struct Case {
        std::vector<Key> keys;
        std::int32_t limit;
        std::int32_t last_step;
    };
    const Case cases[] = {
        {{escape_string}, 50, 1},
        {{none, none, none, none, none, none, escape_string}, 50, 7},
        // k keys ahead of the escape: k more steps.
        {{character_key(' '), character_key('a'), extended_key(key_code::up), close_request,
          escape_string},
         50,
         5},
        // Keys after the escape are never read.
        {{character_key('q'), escape_string, escape_string}, 50, 2},
        // Two-byte keys never equal the escape string, even with 27 in them.
        {{extended_key(27), Key{{27, 27}, 2}, character_key(255), close_request}, 50, 50},
        {{}, 50, 50},
        {{}, 1, 1},
        {{escape_string}, 1, 1},
    };
    for (const Case& c : cases) {
        RunFixture run;
        ScriptedKeys keys{c.keys};
        EXPECT_EQ(run_steps(*run.state, *run.surface, c.limit, keys), c.last_step);
        EXPECT_EQ(keys.polls, static_cast<std::size_t>(c.last_step)) << "one poll per step";
    }
}

TEST(RunLoop, EachStepIsOneAdvanceAndDrawThenOnePoll) {
    RunFixture looped;
    RunFixture stepped;
    std::vector<Key> keys(11, character_key(' '));
    keys.push_back(escape_string);
    ScriptedKeys script{keys};
    ASSERT_EQ(run_steps(*looped.state, *looped.surface, step_limit, script), 12);
    for (int i = 0; i < 12; ++i)
        run_step(*stepped.state, *stepped.surface);

    const ParticleSet& a = looped.state->particles;
    const ParticleSet& b = stepped.state->particles;
    EXPECT_EQ(a.phase, b.phase);
    EXPECT_EQ(a.screen_x, b.screen_x);
    EXPECT_EQ(a.prev_screen_y, b.prev_screen_y);
    EXPECT_EQ(looped.state->stream.engine(), stepped.state->stream.engine());
    for (int y = 0; y < surface_height; ++y) {
        for (int x = 0; x < surface_width; ++x) {
            ASSERT_EQ(looped.surface->pixel(x, y), stepped.surface->pixel(x, y)) << x << "," << y;
        }
    }
}

// The loop's own thread allocates nothing while thousands of steps run and keys are read from
// each source the program has: the window's queue (fed by another thread meanwhile), a pipe on
// standard input's path, and the facility's poll_key with no window open.
TEST(RunLoop, AllocatesNothingWhileItRuns) {
    constexpr std::int32_t steps = 2000;
    RunFixture run;

    KeyQueue queue;
    std::atomic<bool> done{false};
    std::thread typist([&] {
        while (!done.load()) {
            queue.push(character_key(' '));
            queue.push(close_request);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    long before = testing::allocation_count_on_this_thread();
    EXPECT_EQ(run_steps(*run.state, *run.surface, steps, [&] { return queue.pop(); }), steps);
    EXPECT_EQ(testing::allocation_count_on_this_thread() - before, 0);
    done = true;
    typist.join();

    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(write(fds[1], "abc q\xff", 6), 6);  // no escape byte among them
    TerminalKeys terminal;
    terminal.start(fds[0]);
    before = testing::allocation_count_on_this_thread();
    EXPECT_EQ(run_steps(*run.state, *run.surface, steps, [&] { return terminal.poll(); }), steps);
    EXPECT_EQ(testing::allocation_count_on_this_thread() - before, 0);
    close(fds[0]);
    close(fds[1]);

    poll_key();  // creates the facility's state, as open_window does at start-up
    before = testing::allocation_count_on_this_thread();
    EXPECT_EQ(run_steps(*run.state, *run.surface, steps, [] { return poll_key(); }), steps);
    EXPECT_EQ(testing::allocation_count_on_this_thread() - before, 0);
}

}  // namespace
}  // namespace discsim
