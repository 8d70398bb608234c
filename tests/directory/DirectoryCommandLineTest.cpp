#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "DirectoryTestKit.h"
#include "support/DirectoryServerProcess.h"

namespace vandrel::test {
namespace {

struct ProcessRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs the server for at most ten seconds; with terminate, sends SIGTERM once it reports listening.
ProcessRun RunServer(std::vector<std::string> args, bool terminate = false) {
  TempFolder io;
  args.insert(args.begin(), VANDREL_DIRECTORY_EXE);
  ChildProcess child(args, (io / "out").string(), (io / "err").string());
  for (int i = 0; terminate && i < 500 && ReadFile(io / "out").empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (terminate) child.Signal(SIGTERM);
  const int status = child.Wait(std::chrono::seconds(10));
  return {status, ReadFile(io / "out"), ReadFile(io / "err")};
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

TEST(DirectoryCommandLineTest, ImportedFoldersAreServedAndSearchedByTagAndQuietlyLogNothing) {
  TempFolder tmp;
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
  const auto get = [&](const std::string& target) { return RawGet(server.port(), target, "Connection: close\r\n"); };
  EXPECT_NE(get("/radio/inter/keuze-uk.txt").find("<naam>Norway</naam><bestand>norway.txt</bestand>"),
            std::string::npos);
  const std::string hits = get("/radio/inter/zenders/radio-lijst-zoek.php?zoeken=ambient");
  EXPECT_NE(hits.find("<naam>Nordlicht</naam><url>http://n.example/</url>\r\n"), std::string::npos) << hits;
  EXPECT_EQ(StatusOf(get("/nope")), 404);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(server.log(), "");
}

}  // namespace
}  // namespace vandrel::test
