// velmora-play as a command-line program: help and refusals without a display,
// and an orderly end on SIGINT and SIGTERM.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "tests/support/test_support.h"

using testsupport::BinDir;
using testsupport::TempDir;

namespace {

// Without a display Qt could not start: these answers must come before it.
std::string Play(const std::string& args) {
  return "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '" + BinDir() + "velmora-play' " + args;
}

TEST(PlayCommandLine, HelpAndVersionNeedNoDisplay) {
  std::string out;
  ASSERT_EQ(testsupport::Run(Play("--help"), &out), 0);
  EXPECT_EQ(out.rfind("Usage: velmora-play", 0), 0u) << out;
  ASSERT_EQ(testsupport::Run(Play("-h"), &out), 0);
  ASSERT_EQ(testsupport::Run(Play("--version"), &out), 0);
  EXPECT_EQ(out, "velmora-play 1.0.0.71\n");
}

TEST(PlayCommandLine, WhatCannotBePlayedIsNamedInOneLine) {
  TempDir dir;
  testsupport::WriteFile(dir / "junk_0001.ts", std::string(20000, 'x'));
  testsupport::WriteFile(dir / "zero_0001.ts", "");
  ASSERT_EQ(testsupport::Run("ffmpeg -v error -f lavfi -i sine=d=1 -c:a aac '" + (dir / "sound.ts") + "'"), 0);
  std::filesystem::create_directories(dir / "empty");
  testsupport::WriteFile(dir / "empty/readme.txt", "");
  struct Case {
    std::string args;
    int status;
    std::string message;
  } cases[] = {
      {"'" + (dir / "missing.ts") + "'", 1, "velmora-play: " + (dir / "missing.ts") + ": No such file or directory"},
      {dir / "junk_0001.ts", 1, "junk_0001.ts: not a transport stream (no program tables)"},
      {dir / "zero_0001.ts", 1, "zero_0001.ts: empty file"},
      {dir / "sound.ts", 1, "sound.ts: video format not supported"},
      {dir / "empty", 1, "velmora-play: no recordings found in " + (dir / "empty")},
      {"--bogus x.ts", 2, "velmora-play: unknown option '--bogus'"},
      {"x.ts --size", 2, "velmora-play: --size needs WIDTHxHEIGHT"},
      {"", 2, "velmora-play: no recording or folder given"},
  };
  for (const auto& c : cases) {
    std::string err;
    EXPECT_EQ(testsupport::Run(Play(c.args + " 2>&1 >/dev/null"), &err), c.status) << c.args;
    EXPECT_EQ(err.substr(0, err.find('\n')).find(c.message) != std::string::npos, true) << c.args << ": " << err;
  }
}

// Starts velmora-play on a folder; *errFd receives the read end of its standard error.
pid_t StartPlayer(const std::string& folder, int* errFd) {
  int fds[2];
  if (::pipe(fds) != 0) return -1;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(fds[1], STDERR_FILENO);
    ::close(fds[0]);
    ::close(fds[1]);
    ::setenv("SDL_AUDIODRIVER", "dummy", 1); // sound on, so that SDL starts
    const std::string program = BinDir() + "velmora-play";
    ::execl(program.c_str(), program.c_str(), "--size", "320x240", folder.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(fds[1]);
  *errFd = fds[0];
  return pid;
}

// What the player says up to its line about playing (or up to its end).
std::string ReadUntilPlaying(int fd) {
  std::string text;
  char buf[512];
  while (text.find("velmora-play: playing") == std::string::npos) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) break;
    text.append(buf, static_cast<size_t>(n));
  }
  return text;
}

TEST(PlayCommandLine, EndsWithinTwoSecondsOfSigtermOrSigintWithStatusZero) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "needs a display (run under xvfb-run)";
  TempDir dir;
  const std::string card = testsupport::MakeSampleCard(dir / "card", "--files 1 --seconds 10 --size 320x240");
  for (int signo : {SIGTERM, SIGINT}) {
    int errFd = -1;
    const pid_t pid = StartPlayer(card, &errFd);
    ASSERT_GT(pid, 0);
    const std::string said = ReadUntilPlaying(errFd);
    ASSERT_NE(said.find("velmora-play: playing"), std::string::npos) << said;
    ASSERT_EQ(::kill(pid, signo), 0);
    // A player that ignores the signal never ends; one that ends on it does so at once.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int status = 0;
    pid_t done = 0;
    while ((done = ::waitpid(pid, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline)
      ::usleep(10 * 1000);
    if (done == 0) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
    }
    ::close(errFd);
    EXPECT_EQ(done, pid) << "still running 20 s after signal " << signo;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "signal " << signo << ", status " << status;
  }
}

} // namespace

TEST(PlayCommandLine, TheMainProgramAnswersHelpAndVersionWithoutADisplay) {
  const std::string velmora = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '" + BinDir() + "velmora' ";
  std::string out;
  ASSERT_EQ(testsupport::Run(velmora + "--version", &out), 0);
  EXPECT_EQ(out, "velmora 1.0.0.71\n");
  ASSERT_EQ(testsupport::Run(velmora + "--help", &out), 0);
  EXPECT_EQ(out.rfind("Usage: velmora [FILE]", 0), 0u) << out;
}
