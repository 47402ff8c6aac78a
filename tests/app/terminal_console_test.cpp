#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <string>

#include "support.hpp"

namespace blocknest {
namespace {

using namespace testing_support;

// The program on a pseudo-terminal of its own, up to its closing pause; the test keeps the
// terminal's other end and one more handle on it, to look at it after the program is gone.
class PauseOnATerminalTest : public testing::Test {
protected:
    void SetUp() override {
        const auto file = dir_.write(
            "p.txt", partFileHeader(100, 50) + partBlock("P", 1, {{0, 0}, {10, 0}, {10, 10}}));
        pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
        ASSERT_GE(pid_, 0);
        if (pid_ == 0) {
            if (chdir(dir_.path().c_str()) != 0) _exit(127);
            execl(BLOCKNEST_BINARY, BLOCKNEST_BINARY, "-q", file.c_str(), nullptr);
            _exit(127);
        }
        slave_ = open(ptsname(master_), O_RDWR | O_NOCTTY);
        ASSERT_GE(slave_, 0);
        std::string seen;
        char buffer[256];
        while (seen.find("Press any key") == std::string::npos) {
            pollfd p{master_, POLLIN, 0};
            ASSERT_GT(poll(&p, 1, 10000), 0) << "no pause after: " << seen;
            const ssize_t n = read(master_, buffer, sizeof buffer);
            ASSERT_GT(n, 0);
            seen.append(buffer, static_cast<std::size_t>(n));
        }
        // The pause turns echo off just after its prompt.
        for (int i = 0; i < 500 && echoIsOn(); ++i) usleep(10000);
    }
    void TearDown() override {
        if (slave_ >= 0) close(slave_);
        if (master_ >= 0) close(master_);
    }
    int exitStatus() {
        int status = 0;
        waitpid(pid_, &status, 0);
        return status;
    }
    bool echoIsOn() const {
        termios t{};
        return tcgetattr(slave_, &t) == 0 && (t.c_lflag & ECHO) != 0 && (t.c_lflag & ICANON) != 0;
    }

    TempDir dir_;
    pid_t pid_ = -1;
    int master_ = -1;
    int slave_ = -1;
};

TEST_F(PauseOnATerminalTest, CtrlCPutsTheTerminalBack) {
    ASSERT_FALSE(echoIsOn()) << "the pause reads without echo";
    ASSERT_EQ(write(master_, "\x03", 1), 1);
    const int status = exitStatus();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
    EXPECT_TRUE(echoIsOn()) << "echo and line editing are back";
}

TEST_F(PauseOnATerminalTest, AnArrowKeyIsOneKeyAndLeavesNothingBehind) {
    ASSERT_EQ(write(master_, "\x1b[A", 3), 3);
    const int status = exitStatus();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(echoIsOn());
    // Whatever the program left unread waits for the next reader of the terminal.
    termios raw{};
    tcgetattr(slave_, &raw);
    raw.c_lflag &= static_cast<tcflag_t>(~ICANON);
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 1;
    tcsetattr(slave_, TCSANOW, &raw);
    char left[8];
    EXPECT_EQ(read(slave_, left, sizeof left), 0) << "no \"[A\" for the shell";
}

}  // namespace
}  // namespace blocknest
