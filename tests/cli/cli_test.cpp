// The orvex command line, run as users run it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "cli/progress_bar.h"
#include "support/run_tool.h"
#include "support/temp_dir.h"

extern char** environ;

namespace orvex::test {
namespace {

const std::string kOrvex = ORVEX_CLI_PATH;

TToolResult Orvex(std::vector<std::string> args) {
  args.insert(args.begin(), kOrvex);
  return RunTool(args);
}

TEST(Cli, UsageErrorsAndHelp) {
  EXPECT_EQ(Orvex({}).status, 2);
  EXPECT_EQ(Orvex({"burn-everything"}).status, 2);
  const TToolResult help = Orvex({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("mkiso"), std::string::npos);
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"mkiso"}, {"mkiso", "-o", "x.iso"}, {"mkiso", "src"}, {"mkiso", "-o"}, {"mkiso", "--nope", "-o", "x", "y"},
           {"mkiso", "-o", "x.iso", "--cache", "lots", "src"}, {"mkiso", "-o", "x.iso", "--cache", "1", "src"},
           {"mkiso", "--udf=yes", "-o", "x.iso", "src"}, {"ls"}, {"ls", "a", "b"}}) {
    const TToolResult r = Orvex(args);
    EXPECT_EQ(r.status, 2) << args[0] << " " << (args.size() > 1 ? args[1] : "");
    EXPECT_NE(r.err.find("usage: orvex"), std::string::npos);
  }
  for (const char* command : {"mkiso", "ls"}) {
    const TToolResult r = Orvex({command, "--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind(std::string("usage: orvex ") + command, 0), 0u);
  }
}

TEST(Cli, BuildsAndListsAnImage) {
  TempDir dir;
  dir.Write("src/a.txt", "alpha");
  dir.Write("src/Sub Dir/b.bin", std::string(5000, 'b'));
  dir.Write("loose.txt", "loose");
  const std::string image = dir / "out.iso";
  const TToolResult made = Orvex({"mkiso", "-q", "-o", image, "--udf", "-V", "Test", "--dest", "/in/here",
                                  dir / "src", dir / "loose.txt"});
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_EQ(made.err, "");
  EXPECT_NE(made.out.find(": 3 files, 3 directories, "), std::string::npos) << made.out;
  const TToolResult listed = Orvex({"ls", image});
  ASSERT_EQ(listed.status, 0) << listed.err;
  std::istringstream lines(listed.out);
  std::vector<std::string> kinds_sizes_paths;
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string kind, size, address, path;
    fields >> kind >> size >> address;
    std::getline(fields, path);
    kinds_sizes_paths.push_back(kind + " " + (kind == "f" ? size : "") + path);
    EXPECT_GT(std::stoul(address), 0u) << line;
  }
  // In the image's order: by 8.3 name (SUB DIR's is SUBDIR~1), depth first.
  EXPECT_EQ(kinds_sizes_paths, (std::vector<std::string>{"d  /in", "d  /in/here", "f 5 /in/here/a.txt",
                                                         "f 5 /in/here/loose.txt", "d  /in/here/Sub Dir",
                                                         "f 5000 /in/here/Sub Dir/b.bin"}));
}

TEST(Cli, SavePathKeepsTheSourcesPath) {
  TempDir dir;
  dir.Write("deep/er/file.txt", "x");
  const std::string cwd = std::filesystem::current_path();
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  const TToolResult made = Orvex({"mkiso", "-q", "-o", "out.iso", "--save-path", "deep/er/file.txt"});
  const TToolResult listed = Orvex({"ls", "out.iso"});
  ASSERT_EQ(chdir(cwd.c_str()), 0);
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_NE(listed.out.find(" /deep/er/file.txt\n"), std::string::npos) << listed.out;
}

TEST(Cli, BadInputFailsClearly) {
  TempDir dir;
  dir.Write("src/a.txt", "a");
  TToolResult r = Orvex({"mkiso", "-o", dir / "out.iso", dir / "missing"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "orvex: cannot read " + (dir / "missing") + "\n");

  r = Orvex({"mkiso", "-o", dir / "no/such/dir/out.iso", dir / "src"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "orvex: Error creating file \\" + (dir / "no/such/dir/out.iso") + "\\\n");

  dir.Write("odd.img", std::string(1000, 'x'));
  r = Orvex({"mkiso", "-o", dir / "out.iso", "--boot", dir / "odd.img", dir / "src"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot use"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir / "out.iso"));

  r = Orvex({"ls", dir / "odd.img"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "orvex: cannot read " + (dir / "odd.img") + " as an ISO 9660 image\n");
}

TEST(Cli, UnreadableSourceRemovesThePartialImage) {
  TempDir dir;
  dir.Write("src/big.bin", std::string(40 << 20, 'b'));  // fills the queue before the next file
  dir.Write("src/secret.bin", "classified");
  chmod((dir / "src/secret.bin").c_str(), 0);
  chmod(dir.Mkdir("out").c_str(), 0777);
  const std::string image = dir / "out/out.iso", src = dir / "src";
  EXPECT_TRUE(RunUnprivileged([&] {
    const TToolResult r = Orvex({"mkiso", "-q", "-o", image, src});
    return r.status == 1 && r.err == "orvex: Error opening file \\" + src + "/secret.bin\\\n" &&
           !std::filesystem::exists(image);
  }));
}

TEST(Cli, InterruptAbortsAndRemovesThePartialImage) {
  TempDir dir;
  dir.Write("src/huge.bin");
  std::filesystem::resize_file(dir / "src/huge.bin", 6ull << 30);  // sparse: costs no disk
  const std::string image = dir / "out.iso";
  const std::string src = dir / "src";
  std::vector<char*> argv = {const_cast<char*>(kOrvex.c_str()), const_cast<char*>("mkiso"),
                             const_cast<char*>("-q"),           const_cast<char*>("-o"),
                             const_cast<char*>(image.c_str()),  const_cast<char*>(src.c_str()),
                             nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, (dir / "err.txt").c_str(), O_WRONLY | O_CREAT, 0644);
  pid_t pid;
  ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  // Wait until writing has begun.
  for (int i = 0; i < 2000 && !(std::filesystem::exists(image) && std::filesystem::file_size(image) > (1 << 20)); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  kill(pid, SIGINT);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  std::ifstream err(dir / "err.txt");
  std::string message((std::istreambuf_iterator<char>(err)), std::istreambuf_iterator<char>());
  EXPECT_EQ(message, "orvex: Aborted by user\n");
  EXPECT_FALSE(std::filesystem::exists(image));
}

TEST(Cli, ProgressLine) {
  EXPECT_EQ(cli::TProgressBar::Line("Writing", 50 << 20, 100 << 20, 125.0),
            "Writing [###############...............]  50%  50.0 of 100.0 MiB  0.4 MiB/s  2:05");
  EXPECT_EQ(cli::TProgressBar::Line("Comparing", 0, 0, 0.0),
            "Comparing [##############################] 100%  0.0 of 0.0 MiB  0.0 MiB/s  0:00");
}

}  // namespace
}  // namespace orvex::test
