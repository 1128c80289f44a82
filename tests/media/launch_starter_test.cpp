// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/launch_starter.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "media/media_test_support.h"

namespace kestavo {
namespace {

using namespace std::chrono_literals;

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Real programs on a PATH of their own: each script writes its name and
// arguments, one a line, to a record file, and exits with a chosen status.
class LauncherTest : public ::testing::Test {
protected:
    LauncherTest() { test::MakeFile(dir.Str(), "docs/a b.txt", "text"); }

    void Program(const std::string& name, int exitStatus = 0, const std::string& after = "") {
        const std::string path = bin + "/" + name;
        std::ofstream(path) << "#!/bin/sh\n{ echo " << name
                            << "; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } >> " << record
                            << "\n"
                            << after << "exit " << exitStatus << "\n";
        ::chmod(path.c_str(), 0755);
    }
    std::string Recorded() { return ReadAll(record); }

    test::TempDir dir;
    std::string bin = dir.Str();
    std::string record = dir.Str() + "/record";
    std::string file = dir.Str() + "/docs/a b.txt";
    ScopedEnv path{"PATH", dir.Str()};
    ScopedEnv visual{"VISUAL", std::nullopt};
    media::ProcessLauncher launcher;
};

TEST_F(LauncherTest, OpenStartsTheDefaultApplicationWithTheFullPath) {
    Program("xdg-open");
    EXPECT_EQ(launcher.Start(file, ""), 0);
    EXPECT_EQ(Recorded(), "xdg-open\n" + file + "\n");
}

TEST_F(LauncherTest, TheTextEditorIsVisualWithItsArgumentsElseAnEditorOnPathElseTheOpener) {
    Program("xdg-open");
    Program("mousepad");
    Program("code");
    EXPECT_EQ(launcher.Start(file, media::kTextEditorProgram), 0);
    {
        ScopedEnv withVisual("VISUAL", "code  --wait -n");
        EXPECT_EQ(launcher.Start(file, media::kTextEditorProgram), 0);
    }
    {
        ScopedEnv emptyVisual("VISUAL", "");
        ::unlink((bin + "/mousepad").c_str());
        EXPECT_EQ(launcher.Start(file, media::kTextEditorProgram), 0);
    }
    EXPECT_EQ(Recorded(),
              "mousepad\n" + file + "\ncode\n--wait\n-n\n" + file + "\nxdg-open\n" + file + "\n");
}

// $VISUAL is split into words as a shell splits them: quotes and
// backslashes keep blanks inside one argument.
TEST_F(LauncherTest, VisualIsSplitIntoWordsAsAShellSplitsThem) {
    Program("myed");
    ScopedEnv withVisual("VISUAL", "myed --flag 'two words' \"a \\\"b\\\"\" c\\ d");
    EXPECT_EQ(launcher.Start(file, media::kTextEditorProgram), 0);
    EXPECT_EQ(Recorded(), "myed\n--flag\ntwo words\na \"b\"\nc d\n" + file + "\n");

    using Words = std::vector<std::string>;
    EXPECT_EQ(media::ShellWords(" \t a\tb\nc  "), (Words{"a", "b", "c"}));
    EXPECT_EQ(media::ShellWords("x''y '' \"\""), (Words{"xy", "", ""}));
    EXPECT_EQ(media::ShellWords("'a\\b \"c\"' \"\\$ \\` \\\\ \\x\""),
              (Words{"a\\b \"c\"", "$ ` \\ \\x"}));
    EXPECT_EQ(media::ShellWords("a\\\nb \"c\\\nd\" \\\n"), (Words{"ab", "cd"}));
    EXPECT_EQ(media::ShellWords("my\"ed\"'s x' \\'q"), (Words{"myeds x", "'q"}));
    EXPECT_EQ(media::ShellWords("ed 'open"), (Words{"ed", "open"}));
    EXPECT_EQ(media::ShellWords("ed \"open \\"), (Words{"ed", "open \\"}));
    EXPECT_EQ(media::ShellWords("ed end\\"), (Words{"ed", "end\\"}));
    EXPECT_EQ(media::ShellWords(" \t\n"), Words{});
}

TEST_F(LauncherTest, ANamedProgramGetsThePathAsItsOneArgument) {
    Program("viewer");
    EXPECT_EQ(launcher.Start(file, "viewer"), 0);
    EXPECT_EQ(Recorded(), "viewer\n" + file + "\n");
}

TEST_F(LauncherTest, FailuresBecomeTheLaunchCodesOfWhatFailed) {
    EXPECT_EQ(launcher.Start(file, "no-such-program"), media::kLaunchNoAssociation);
    EXPECT_EQ(launcher.Start(file, ""), media::kLaunchNoAssociation);  // no xdg-open at all
    Program("xdg-open");
    EXPECT_EQ(launcher.Start(dir.Str() + "/docs/gone.txt", ""), media::kLaunchFileNotFound);
    EXPECT_EQ(launcher.Start(dir.Str() + "/gone/a.txt", ""), media::kLaunchPathNotFound);
    EXPECT_EQ(Recorded(), "");  // nothing was started for a missing file
    const std::string notExecutable = dir.Write("plain", "not a program");
    EXPECT_EQ(launcher.Start(file, notExecutable), media::kLaunchNoAssociation);
}

TEST_F(LauncherTest, TheOpenersExitStatusSaysWhatFailed) {
    Program("xdg-open", 2);
    EXPECT_EQ(launcher.Start(file, ""), media::kLaunchFileNotFound);
    Program("xdg-open", 3);
    EXPECT_EQ(launcher.Start(file, ""), media::kLaunchNoAssociation);
    Program("xdg-open", 4);
    EXPECT_EQ(launcher.Start(file, ""), media::kLaunchNoAssociation);
}

// A program that keeps running counts as started without holding the
// caller beyond the early-exit wait.
TEST_F(LauncherTest, AProgramStillRunningCountsAsStartedAtOnce) {
    Program("xdg-open", 0, "sleep 3\n");
    ScopedEnv fullPath("PATH", dir.Str() + ":/bin:/usr/bin");
    media::ProcessLauncher quick(200ms);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(quick.Start(file, ""), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}

}  // namespace
}  // namespace kestavo
