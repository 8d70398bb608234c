#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "RawHttp.h"
#include "TempDataFolder.h"
#include "support/DirectoryServerProcess.h"

extern char** environ;

namespace vandrel::test {
namespace {

struct ProcessRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

std::string ReadAll(const std::filesystem::path& file) {
  std::ostringstream text;
  text << std::ifstream(file).rdbuf();
  return text.str();
}

// Runs the server; with terminate, sends SIGTERM once it reports listening.
ProcessRun RunServer(std::vector<std::string> args, bool terminate = false) {
  TempDataFolder io;
  const std::string outFile = (io.path() / "out").string();
  const std::string errFile = (io.path() / "err").string();
  args.insert(args.begin(), VANDREL_DIRECTORY_EXE);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = -1;
  const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ProcessRun run;
  if (spawned != 0) return run;
  int status = 0;
  bool signalled = false;
  pid_t reaped = 0;
  for (int i = 0; i < 1000 && reaped == 0; ++i) {
    reaped = ::waitpid(pid, &status, WNOHANG);
    if (terminate && !signalled && ReadAll(outFile).find('\n') != std::string::npos) {
      ::kill(pid, SIGTERM);
      signalled = true;
    }
    if (reaped == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (reaped == 0) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
  }
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  run.out = ReadAll(outFile);
  run.err = ReadAll(errFile);
  return run;
}

TEST(DirectoryCommandLineTest, BadCommandLinesShowUsage) {
  const std::string dir = VANDREL_SHIPPED_DIRECTORY_DATA;
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {}, {"play"}, {"serve"}, {"serve", dir, "--port", "http"}, {"serve", dir, "--port", "70000"},
           {"serve", dir, "--host"}, {"serve", dir, "--loud"}}) {
    const ProcessRun run = RunServer(args);
    EXPECT_EQ(run.exitCode, 2) << ::testing::PrintToString(args);
    EXPECT_NE(run.err.find("usage: vandrel-directory serve DIR"), std::string::npos);
    EXPECT_EQ(run.out, "");
  }
}

TEST(DirectoryCommandLineTest, MissingFolderOrTakenPortIsAnError) {
  const ProcessRun missing = RunServer({"serve", "/nonexistent/vandrel-data"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("/nonexistent/vandrel-data"), std::string::npos);

  // A second server on a taken port must fail instead of sharing it.
  DirectoryServerProcess first;
  const ProcessRun second = RunServer({"serve", VANDREL_SHIPPED_DIRECTORY_DATA, "--port", std::to_string(first.port())});
  EXPECT_EQ(second.exitCode, 1);
  EXPECT_EQ(second.out, "");
}

TEST(DirectoryCommandLineTest, TerminationIsACleanExitAfterOneLine) {
  const ProcessRun run = RunServer({"serve", VANDREL_SHIPPED_DIRECTORY_DATA, "--port", "0", "--quiet"}, true);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out.rfind("listening on http://127.0.0.1:", 0), 0u) << run.out;
  EXPECT_EQ(run.out.find('\n'), run.out.size() - 1);
  EXPECT_EQ(run.err, "");
}

TEST(DirectoryCommandLineTest, ImportedFoldersAreServedAndSearchedByTag) {
  TempDataFolder tmp;
  const std::string dump = tmp.write("dump.json", R"([
    {"name": "Nordlicht", "url_resolved": "http://n.example/", "countrycode": "NO", "tags": "Ambient", "lastcheckok": 1},
    {"name": "Down", "url": "http://d.example/", "countrycode": "NO", "lastcheckok": 0}])").string();
  const std::string out = (tmp.path() / "data").string();
  EXPECT_EQ(RunServer({"import", dump}).exitCode, 2);
  const ProcessRun bad = RunServer({"import", tmp.write("bad.json", "[{]").string(), "--out", out});
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_NE(bad.err.find("bad.json: not valid JSON at byte"), std::string::npos) << bad.err;
  EXPECT_FALSE(std::filesystem::exists(out));

  const ProcessRun run = RunServer({"import", dump, "--out", out});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out.rfind("imported 1 stations in 1 countries", 0), 0u) << run.out;
  DirectoryServerProcess server(out, {"--quiet"});
  const std::string countries = RawGet(server.port(), "/radio/inter/keuze-uk.txt", "Connection: close\r\n");
  EXPECT_NE(countries.find("<naam>Norway</naam><bestand>norway.txt</bestand>"), std::string::npos);
  const std::string hits =
      RawGet(server.port(), "/radio/inter/zenders/radio-lijst-zoek.php?zoeken=ambient", "Connection: close\r\n");
  EXPECT_NE(hits.find("<naam>Nordlicht</naam><url>http://n.example/</url>\r\n"), std::string::npos) << hits;
}

TEST(DirectoryCommandLineTest, QuietServersLogNothing) {
  DirectoryServerProcess server(VANDREL_SHIPPED_DIRECTORY_DATA, {"--quiet"});
  EXPECT_EQ(StatusOf(RawGet(server.port(), "/nope", "Connection: close\r\n")), 404);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(server.log(), "");
}

}  // namespace
}  // namespace vandrel::test
