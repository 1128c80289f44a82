// SPDX-License-Identifier: GPL-3.0-or-later
// Where kestavo-cli's standard output goes: a full disk, a closed pipe, a
// terminal. Each case runs the program with its output connected so.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace kestavo {
namespace {

enum class Output { DevFull, ClosedPipe, Terminal };

struct OutputRun {
    int status = -1;  // exit status, or -signal
    std::string out;  // what a terminal showed
    std::string err;
};

// Runs kestavo-cli on `catalogs` with standard output connected as `output`.
OutputRun RunWithOutput(const std::string& catalogs, Output output,
                        const std::vector<std::string>& args) {
    test::TempDir scratch;
    const std::string errFile = (scratch.Path() / "err").string();
    int terminal = -1;
    int pipeEnds[2] = {-1, -1};
    if (output == Output::Terminal) {
        terminal = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (terminal < 0 || ::grantpt(terminal) != 0 || ::unlockpt(terminal) != 0) return {};
    } else if (output == Output::ClosedPipe) {
        if (::pipe(pipeEnds) != 0) return {};
        ::close(pipeEnds[0]);
    }
    const std::string terminalName = terminal >= 0 ? ::ptsname(terminal) : "";
    const pid_t child = ::fork();
    if (child == 0) {
        int out = -1;
        if (output == Output::DevFull) out = ::open("/dev/full", O_WRONLY);
        if (output == Output::ClosedPipe) {
            out = pipeEnds[1];
            ::signal(SIGPIPE, SIG_IGN);  // so that the write sees EPIPE
        }
        if (output == Output::Terminal) {
            out = ::open(terminalName.c_str(), O_RDWR);
            termios mode{};
            ::tcgetattr(out, &mode);
            ::cfmakeraw(&mode);
            ::tcsetattr(out, TCSANOW, &mode);
        }
        const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(err, STDERR_FILENO);
        ::setenv("Kestavo", catalogs.c_str(), 1);
        ::setenv("TZ", "UTC", 1);
        ::setenv("LC_ALL", "C.UTF-8", 1);
        std::vector<char*> argv{const_cast<char*>(KESTAVO_CLI)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(KESTAVO_CLI, argv.data());
        ::_exit(127);
    }
    if (pipeEnds[1] >= 0) ::close(pipeEnds[1]);
    OutputRun run;
    if (terminal >= 0) {
        // Read until the child is gone and nothing more comes.
        char buffer[4096];
        for (;;) {
            pollfd wait{terminal, POLLIN, 0};
            if (::poll(&wait, 1, 2000) <= 0) break;
            const ssize_t n = ::read(terminal, buffer, sizeof buffer);
            if (n <= 0) break;
            run.out.append(buffer, static_cast<std::size_t>(n));
        }
    }
    int raw = 0;
    ::waitpid(child, &raw, 0);
    if (terminal >= 0) ::close(terminal);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -WTERMSIG(raw);
    run.err = test::ReadWholeFile(errFile);
    return run;
}

class CliOutputTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir.Write("ctl.kvx",
                  test::CatalogHeader() +
                      "+ \"CTL\" 100 50 1 1 2000 0 0 0 < \"a\x1b[31mred\" 5 1 1 2000 0 0 0 "
                      "\"bell\x07\" 6 1 1 2000 0 0 0 "
                      "\"c1\xc2\x9b"
                      "2J\xc2\x85-\xc3\xa9\" 7 1 1 2000 0 0 0 >\r\n");
    }
    test::TempDir dir;
};

TEST_F(CliOutputTest, WriteErrorsAreReportedWithStatusOne) {
    const std::vector<std::vector<std::string>> commands = {
        {"ls"}, {"ls", "CTL"}, {"properties", "CTL"}, {"find", "*"}, {"duplicates"}, {"--version"}};
    for (const auto& args : commands) {
        const OutputRun run = RunWithOutput(dir.Str(), Output::DevFull, args);
        EXPECT_EQ(run.status, 1) << args[0];
        EXPECT_EQ(run.err, "kestavo-cli: write error: No space left on device\n") << args[0];
    }
}

TEST_F(CliOutputTest, AClosedPipeEndsQuietly) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"ls", "CTL"}, std::vector<std::string>{"find", "*"}}) {
        const OutputRun run = RunWithOutput(dir.Str(), Output::ClosedPipe, args);
        EXPECT_EQ(run.status, 1) << args[0];
        EXPECT_EQ(run.err, "") << args[0];
    }
}

TEST_F(CliOutputTest, ControlCharactersInNamesShowAsQuestionMarksOnATerminalOnly) {
    OutputRun run = RunWithOutput(dir.Str(), Output::Terminal, {"ls", "CTL"});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("\na?[31mred\t5\t"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\nbell?\t6\t"), std::string::npos);
    EXPECT_EQ(run.out.find('\x1b'), std::string::npos);

    // Reports keep their line ends; a report file keeps the bytes.
    run =
        RunWithOutput(dir.Str(), Output::Terminal, {"find", "*", "--report", dir.Str() + "/r.txt"});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(test::ReadWholeFile(dir.Str() + "/r.txt").find(" a\x1b[31mred "), std::string::npos);
    run = RunWithOutput(dir.Str(), Output::Terminal, {"find", "*"});
    EXPECT_NE(run.out.find(" a?[31mred "), std::string::npos);
    EXPECT_NE(run.out.find("\r\n"), std::string::npos);
    EXPECT_EQ(run.out.find('\x07'), std::string::npos);

    // A pipe gets the exact bytes.
    const test::CliRun piped =
        test::RunProgram(KESTAVO_CLI, {{"Kestavo", dir.Str()}}, {"ls", "CTL"});
    EXPECT_NE(piped.out.find("\na\x1b[31mred\t5\t"), std::string::npos);
    run = RunWithOutput(dir.Str(), Output::Terminal, {"properties", "CTL/bell\x07"});
    EXPECT_NE(run.out.find("Name: bell?\n"), std::string::npos) << run.out;
}

// The one-character CSI (U+009B) and NEL (U+0085) are controls too;
// printable letters stay.
TEST_F(CliOutputTest, CharactersTheLocaleCannotPrintShowAsQuestionMarks) {
    const std::string name =
        "c1\xc2\x9b"
        "2J\xc2\x85-\xc3\xa9";
    OutputRun run = RunWithOutput(dir.Str(), Output::Terminal, {"ls", "CTL"});
    EXPECT_NE(run.out.find("\nc1?2J?-\xc3\xa9\t7\t"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find('\xc2'), std::string::npos);

    // The report on a terminal pads what it shows to the designed width.
    run = RunWithOutput(dir.Str(), Output::Terminal, {"find", "c1*"});
    EXPECT_NE(run.out.find(" c1?2J?-\xc3\xa9" + std::string(21, ' ') + " CTL\r\n"),
              std::string::npos)
        << run.out;

    const test::CliRun piped =
        test::RunProgram(KESTAVO_CLI, {{"Kestavo", dir.Str()}}, {"ls", "CTL"});
    EXPECT_NE(piped.out.find("\n" + name + "\t7\t"), std::string::npos);
}

}  // namespace
}  // namespace kestavo
