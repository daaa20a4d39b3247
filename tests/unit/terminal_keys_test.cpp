#include "display/terminal_keys.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "key_printing.h"

namespace discsim {
namespace {

Key decode(const std::string& bytes, std::size_t& used) {
    return decode_terminal_key(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                               used);
}

TEST(DecodeTerminalKey, TurnsEscapeSequencesIntoTwoByteKeysAndALoneEscapeIntoTheEscapeKey) {
    struct Case {
        std::string bytes;
        Key expected;
        std::size_t used;
    };
    const Case cases[] = {
        {"\x1b", escape_string, 1},
        {"\x1b\x1b", escape_string, 1},
        {"\x1bx", escape_string, 1},  // an escape followed by an ordinary byte
        {"a", character_key('a'), 1},
        {" ", character_key(' '), 1},
        {"\x7f", character_key(0x7f), 1},
        {"\xff", character_key(0xff), 1},
        {"\x1b[A", extended_key(key_code::up), 3},
        {"\x1b[B", extended_key(key_code::down), 3},
        {"\x1b[C", extended_key(key_code::right), 3},
        {"\x1b[D", extended_key(key_code::left), 3},
        {"\x1b[Ax", extended_key(key_code::up), 3},
        {"\x1b[H", extended_key(key_code::home), 3},
        {"\x1b[F", extended_key(key_code::end), 3},
        {"\x1b[Z", extended_key(key_code::shift_tab), 3},
        {"\x1b[1;5A", extended_key(key_code::up), 6},  // control+up
        {"\x1bOA", extended_key(key_code::up), 3},
        {"\x1bOP", extended_key(key_code::f1), 3},
        {"\x1bOS", extended_key(key_code::f1 + 3), 3},
        {"\x1b[1~", extended_key(key_code::home), 4},
        {"\x1b[2~", extended_key(key_code::insert), 4},
        {"\x1b[3~", extended_key(key_code::del), 4},
        {"\x1b[4~", extended_key(key_code::end), 4},
        {"\x1b[5~", extended_key(key_code::page_up), 4},
        {"\x1b[6~", extended_key(key_code::page_down), 4},
        {"\x1b[11~", extended_key(key_code::f1), 5},
        {"\x1b[15~", extended_key(key_code::f1 + 4), 5},
        {"\x1b[17~", extended_key(key_code::f1 + 5), 5},
        {"\x1b[21~", extended_key(key_code::f10), 5},
        {"\x1b[23~", extended_key(key_code::f11), 5},
        {"\x1b[24~", extended_key(key_code::f12), 5},
        {"\x1b[15;2~", extended_key(key_code::f1 + 4), 7},  // shift+F5
        {"\x1b[[A", extended_key(key_code::f1), 4},         // Linux console F1
        {"\x1b[[E", extended_key(key_code::f1 + 4), 4},
        {"\x1b[99~", extended_key(key_code::unknown), 5},
        {"\x1b[", extended_key(key_code::unknown), 2},  // cut short: still not the escape key
        {"\x1b[12", extended_key(key_code::unknown), 4},
        {"\x1bO", extended_key(key_code::unknown), 2},
        {"\x1b[1\n", extended_key(key_code::unknown), 3},  // malformed: the newline stays a key
    };
    for (const Case& c : cases) {
        std::size_t used = 0;
        const Key key = decode(c.bytes, used);
        EXPECT_EQ(key, c.expected) << testing::PrintToString(c.bytes);
        EXPECT_EQ(used, c.used) << testing::PrintToString(c.bytes);
    }
}

TEST(DecodeTerminalKey, NoSequenceIsEverTheEscapeKey) {
    for (const char introducer : {'[', 'O'}) {
        for (int final = 0; final < 256; ++final) {
            const std::string bytes{'\x1b', introducer, static_cast<char>(final)};
            std::size_t used = 0;
            const Key key = decode(bytes, used);
            EXPECT_EQ(key.length, 2) << introducer << final;
            EXPECT_EQ(key.bytes[0], 255) << introducer << final;
            EXPECT_GE(used, 2u);
        }
    }
}

// Polls until a key arrives or five seconds pass: bytes written to a pipe or a terminal reach
// the reader at once, but not necessarily by the next poll.
Key next_key(TerminalKeys& keys) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (;;) {
        const Key key = keys.poll();
        if (!key.empty() || std::chrono::steady_clock::now() > deadline) return key;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void write_all(int fd, const std::string& bytes) {
    ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

struct Pipe {
    Pipe() { EXPECT_EQ(pipe(fds), 0); }
    ~Pipe() {
        for (int fd : fds) {
            if (fd >= 0) close(fd);
        }
    }
    void close_writer() {
        close(fds[1]);
        fds[1] = -1;
    }
    int fds[2] = {-1, -1};
};

TEST(TerminalKeys, APipeGivesEachByteAsAKeyWithoutWaitingAndNothingAfterItsEnd) {
    Pipe p;
    TerminalKeys keys;
    keys.start(p.fds[0]);
    EXPECT_FALSE(keys.is_terminal());
    EXPECT_TRUE(keys.poll().empty());  // nothing written yet: returns at once

    // More bytes than one read takes; escape sequences are not decoded on a pipe.
    std::string bytes = "a\x1b[A";
    for (int i = 0; i < 100; ++i)
        bytes += static_cast<char>('0' + i % 10);
    bytes += '\x1b';
    write_all(p.fds[1], bytes);
    for (const char c : bytes)
        EXPECT_EQ(next_key(keys), character_key(static_cast<unsigned char>(c)));
    EXPECT_TRUE(keys.poll().empty());

    p.close_writer();
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(keys.poll().empty());
}

bool same_settings(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

struct PseudoTerminal {
    PseudoTerminal() {
        EXPECT_EQ(openpty(&controller, &terminal, nullptr, nullptr, nullptr), 0);
        EXPECT_EQ(tcgetattr(terminal, &before), 0);
        EXPECT_NE(before.c_lflag & ECHO, 0u);
        EXPECT_NE(before.c_lflag & ICANON, 0u);
    }
    ~PseudoTerminal() {
        close(controller);
        close(terminal);
    }
    termios now() const {
        termios t{};
        tcgetattr(terminal, &t);
        return t;
    }
    int controller = -1;
    int terminal = -1;
    termios before{};
};

TEST(TerminalKeys, ATerminalIsReadKeyByKeyWithoutEchoAndGetsItsSettingsBack) {
    PseudoTerminal pty;
    {
        TerminalKeys keys;
        keys.start(pty.terminal);
        EXPECT_TRUE(keys.is_terminal());
        const termios raw = pty.now();
        EXPECT_EQ(raw.c_lflag & (ECHO | ICANON), 0u);
        EXPECT_NE(raw.c_lflag & ISIG, 0u);  // the interrupt key still interrupts
        EXPECT_TRUE(keys.poll().empty());

        write_all(pty.controller, "\x1b[A");
        EXPECT_EQ(next_key(keys), extended_key(key_code::up));
        write_all(pty.controller, "\x1b[24~");
        EXPECT_EQ(next_key(keys), extended_key(key_code::f12));
        write_all(pty.controller, " ");
        EXPECT_EQ(next_key(keys), character_key(' '));
        write_all(pty.controller, "\x1b");
        EXPECT_EQ(next_key(keys), escape_string);
        EXPECT_TRUE(keys.poll().empty());

        keys.restore();
        EXPECT_TRUE(same_settings(pty.now(), pty.before));
        keys.start(pty.terminal);  // and once more, ended by the destructor
    }
    EXPECT_TRUE(same_settings(pty.now(), pty.before));
}

// In a child process: reads the terminal, then is sent the signal. Returns the child's status.
int status_of_child_signalled(int terminal, int signal_number, bool ignore_first) {
    const pid_t child = fork();
    if (child == 0) {
        const rlimit no_core{0, 0};  // SIGQUIT would leave a core file
        setrlimit(RLIMIT_CORE, &no_core);
        if (ignore_first) std::signal(signal_number, SIG_IGN);
        TerminalKeys keys;
        keys.start(terminal);
        kill(getpid(), signal_number);
        // Reached only when the signal did not end the process.
        keys.restore();
        _exit(42);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

TEST(TerminalKeys, ASignalThatEndsTheProcessGivesTheTerminalBackFirst) {
    for (const int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        PseudoTerminal pty;
        const int status = status_of_child_signalled(pty.terminal, signal_number, false);
        ASSERT_TRUE(WIFSIGNALED(status)) << signal_number;
        EXPECT_EQ(WTERMSIG(status), signal_number);
        EXPECT_TRUE(same_settings(pty.now(), pty.before)) << signal_number;
    }
}

TEST(TerminalKeys, AnIgnoredSignalStaysIgnored) {
    PseudoTerminal pty;
    const int status = status_of_child_signalled(pty.terminal, SIGINT, true);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 42);
    EXPECT_TRUE(same_settings(pty.now(), pty.before));
}

TEST(TerminalKeys, ABackgroundJobLeavesItsTerminalAloneAndIsNotStopped) {
    PseudoTerminal pty;
    const pid_t leader = fork();
    if (leader == 0) {
        // A session with the pseudo-terminal as its controlling terminal, and in it a job that
        // is not in the foreground.
        setsid();
        if (ioctl(pty.terminal, TIOCSCTTY, 0) != 0) _exit(10);
        const pid_t job = fork();
        if (job == 0) {
            setpgid(0, 0);
            TerminalKeys keys;
            keys.start(pty.terminal);
            const bool no_keys = keys.poll().empty() && !keys.is_terminal();
            _exit(no_keys ? 0 : 11);
        }
        int status = 0;
        waitpid(job, &status, WUNTRACED);
        if (WIFSTOPPED(status)) {
            kill(job, SIGKILL);
            waitpid(job, &status, 0);
            _exit(12);
        }
        _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 13);
    }
    write_all(pty.controller, "\x1b");  // waiting to be read: a background job must not take it
    int status = 0;
    waitpid(leader, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "10: no controlling terminal, 11: read keys, 12: stopped";
    EXPECT_TRUE(same_settings(pty.now(), pty.before));
}

}  // namespace
}  // namespace discsim
