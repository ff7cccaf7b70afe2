// The key wait after "No File", seen from outside: the built program runs with a
// pseudo-terminal as its controlling terminal, and the test plays the user at the keyboard.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "devtools/support.h"
#include "io/paths.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

/// The program, started in a scratch folder whose images/site holds no dem1.raw, with answers
/// that reach the "No File" ending and go on beyond it (the wait must not take them).
class KeyWait : public ::testing::Test {
 protected:
  void SetUp() override {
    support::write_file(scratch_.path() / "answers.txt", "site\ndem1\n0\n1\nmore\nwords\n");
    support::write_file(images() / "site" / "other.raw", "x");
  }
  void TearDown() override {
    if (program_ > 0) kill(program_, SIGKILL);
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0) close(master_);
    if (slave_ >= 0) close(slave_);
  }

  fs::path images() const { return scratch_.path() / std::string(torvanelle::images_root()); }

  /// Opens a pseudo-terminal; the test keeps its slave side open to read its settings.
  void open_terminal() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0) GTEST_SKIP() << "this host gives no pseudo-terminal (/dev/ptmx)";
    ASSERT_EQ(grantpt(master_), 0);
    ASSERT_EQ(unlockpt(master_), 0);
    slave_name_ = ptsname(master_);
    slave_ = open(slave_name_.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave_, 0);
  }

  /// Starts the program in a new session; with a terminal, the pseudo-terminal becomes its
  /// controlling terminal. Standard input is the answers file, standard output a transcript.
  void start(bool with_terminal) {
    const std::string dir = scratch_.path().string();
    const std::string answers = (scratch_.path() / "answers.txt").string();
    const std::string transcript = (scratch_.path() / "transcript.txt").string();
    const std::string errors = (scratch_.path() / "stderr.txt").string();
    pid_ = fork();
    ASSERT_GE(pid_, 0);
    if (pid_ == 0) {
      setsid();
      if (with_terminal && open(slave_name_.c_str(), O_RDWR) < 0) _exit(120);
      const int in = open(answers.c_str(), O_RDONLY);
      const int out = open(transcript.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int err = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (in < 0 || out < 0 || err < 0 || chdir(dir.c_str()) != 0) _exit(121);
      dup2(in, 0);
      dup2(out, 1);
      dup2(err, 2);
      execl(TORVANELLE_PROGRAM, TORVANELLE_PROGRAM, static_cast<char*>(nullptr));
      _exit(122);
    }
  }

  /// Starts the program as a shell with job control would: in a process group of its own, in
  /// the foreground of a session whose leader (the shell, which waits for it and then ends with
  /// its status) holds the pseudo-terminal. Only there does Ctrl-Z stop a process. pid_ is the
  /// shell, program_ the program.
  void start_as_job() {
    int pipe_fds[2];
    ASSERT_EQ(pipe(pipe_fds), 0);
    pid_ = fork();
    ASSERT_GE(pid_, 0);
    if (pid_ == 0) {
      setsid();
      const int tty = open(slave_name_.c_str(), O_RDWR);
      if (tty < 0) _exit(120);
      // Whichever of the two hands the terminal over first does so from the background: as a
      // shell does, neither may be stopped by SIGTTOU for it (on a busy machine the job did stop
      // here, before the program ever started).
      sigset_t ttou;
      sigemptyset(&ttou);
      sigaddset(&ttou, SIGTTOU);
      sigprocmask(SIG_BLOCK, &ttou, nullptr);
      const pid_t job = fork();
      if (job == 0) {
        setpgid(0, 0);
        tcsetpgrp(tty, getpgrp());
        sigprocmask(SIG_UNBLOCK, &ttou, nullptr);
        start_here();
      }
      setpgid(job, job);
      tcsetpgrp(tty, job);
      if (write(pipe_fds[1], &job, sizeof job) != sizeof job) _exit(124);
      int status = 0;
      waitpid(job, &status, 0);
      _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 125);
    }
    close(pipe_fds[1]);
    ASSERT_EQ(read(pipe_fds[0], &program_, sizeof program_), static_cast<ssize_t>(sizeof program_));
    close(pipe_fds[0]);
  }

  /// In the child: standard input the answers, output and errors to files, then the program.
  [[noreturn]] void start_here() {
    const int in = open((scratch_.path() / "answers.txt").c_str(), O_RDONLY);
    const int out =
        open((scratch_.path() / "transcript.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err =
        open((scratch_.path() / "stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0 || chdir(scratch_.path().c_str()) != 0) _exit(121);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    execl(TORVANELLE_PROGRAM, TORVANELLE_PROGRAM, static_cast<char*>(nullptr));
    _exit(122);
  }

  /// Waits up to `limit` for the program to be stopped (Linux: its state in /proc is T).
  bool program_stopped(std::chrono::milliseconds limit) const {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    do {
      const std::string stat = support::read_file("/proc/" + std::to_string(program_) + "/stat");
      const std::size_t state = stat.rfind(") ");
      if (state != std::string::npos && stat[state + 2] == 'T') return true;
      std::this_thread::sleep_for(10ms);
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
  }

  /// Waits up to `limit` for the program to end; returns its wait status, or -1 if it runs on.
  int wait_for_end(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    do {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return status;
      }
      std::this_thread::sleep_for(10ms);
    } while (std::chrono::steady_clock::now() < deadline);
    return -1;
  }

  /// Waits until the terminal is in the key wait's mode (no line editing, no echo).
  bool terminal_in_key_mode(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    do {
      termios now{};
      if (tcgetattr(slave_, &now) == 0 && (now.c_lflag & (ICANON | ECHO)) == 0) return true;
      std::this_thread::sleep_for(10ms);
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
  }

  bool terminal_restored() const {
    termios now{};
    return tcgetattr(slave_, &now) == 0 && (now.c_lflag & (ICANON | ECHO)) == (ICANON | ECHO);
  }

  void expect_no_file_ending_and_nothing_created() {
    const std::string said = support::read_file(scratch_.path() / "transcript.txt");
    const std::string ending = "\n\tNo File C:\\images\\site\\dem1.raw \n";
    ASSERT_GE(said.size(), ending.size());
    EXPECT_EQ(said.substr(said.size() - ending.size()), ending);
    // Where it looked goes to standard error, for a user who started it in another folder.
    const std::string looked = (fs::canonical(images()) / "site" / "dem1.raw").string();
    EXPECT_EQ(support::read_file(scratch_.path() / "stderr.txt"),
              "torvanelle: no file " + looked + " (No such file or directory)\n");
    int files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(images()))
      files += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 1) << "only other.raw";
  }

  support::ScratchDir scratch_;
  int master_ = -1;
  int slave_ = -1;
  std::string slave_name_;
  pid_t pid_ = -1;
  pid_t program_ = -1;
};

TEST_F(KeyWait, WaitsForOneKeyOnTheTerminalThenEndsWithStatusZero) {
  open_terminal();
  if (IsSkipped() || HasFatalFailure()) return;
  ASSERT_TRUE(terminal_restored()) << "a fresh terminal edits lines and echoes";
  // Typed before the wait begins: it must not end the wait. The line is seen to reach the
  // terminal's input before the program starts; otherwise, on a busy machine, it could arrive
  // only after the wait began, as a key pressed then, and end the wait too soon to be seen.
  ASSERT_EQ(write(master_, "typed ahead\n", 12), 12);
  pollfd typed{slave_, POLLIN, 0};
  ASSERT_EQ(poll(&typed, 1, 20000), 1) << "the typed line never reached the terminal";
  start(true);
  ASSERT_TRUE(terminal_in_key_mode(20s)) << "the program never began to wait";
  EXPECT_EQ(wait_for_end(300ms), -1) << "ended without a key, from standard input or typed ahead";
  ASSERT_EQ(write(master_, "k", 1), 1);
  const int status = wait_for_end(20s);
  ASSERT_NE(status, -1) << "a key did not end the wait";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_TRUE(terminal_restored());
  expect_no_file_ending_and_nothing_created();
}

TEST_F(KeyWait, ASignalDuringTheWaitRestoresTheTerminal) {
  open_terminal();
  if (IsSkipped() || HasFatalFailure()) return;
  start(true);
  ASSERT_TRUE(terminal_in_key_mode(20s)) << "the program never began to wait";
  ASSERT_EQ(kill(pid_, SIGTERM), 0);
  const int status = wait_for_end(20s);
  ASSERT_NE(status, -1);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  EXPECT_TRUE(terminal_restored());
}

// Ctrl-Z during the wait gives the terminal back to the shell as it was; after fg the wait takes
// up its own mode again, and a key still ends it.
TEST_F(KeyWait, CtrlZAndFgTakeUpTheWaitAgain) {
  if (!fs::exists("/proc/self/stat")) GTEST_SKIP() << "no /proc to see a stopped process in";
  open_terminal();
  if (IsSkipped() || HasFatalFailure()) return;
  start_as_job();
  if (HasFatalFailure()) return;
  ASSERT_TRUE(terminal_in_key_mode(20s)) << "the program never began to wait";
  ASSERT_EQ(kill(program_, SIGTSTP), 0);
  ASSERT_TRUE(program_stopped(20s)) << "Ctrl-Z did not stop the program";
  EXPECT_TRUE(terminal_restored()) << "stopped with the terminal left in the wait's mode";
  ASSERT_EQ(kill(program_, SIGCONT), 0);
  ASSERT_TRUE(terminal_in_key_mode(20s)) << "after fg the wait did not take up its mode again";
  ASSERT_EQ(write(master_, "k", 1), 1);
  const int status = wait_for_end(20s);
  ASSERT_NE(status, -1) << "a key did not end the wait";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  program_ = -1;
  EXPECT_TRUE(terminal_restored());
}

TEST_F(KeyWait, WithoutATerminalTheProgramEndsAtOnce) {
  start(false);
  const int status = wait_for_end(20s);
  ASSERT_NE(status, -1) << "waited with no terminal to wait on";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  expect_no_file_ending_and_nothing_created();
}

}  // namespace
