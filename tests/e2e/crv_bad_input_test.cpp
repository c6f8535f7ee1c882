// What crv does with bad input in its data directory and on its command line: it ends
// with a diagnostic and status 1 (2 for a rejected --meta), or reads past the bad part,
// but never hangs and is never killed by a signal. The README's "Bad input" table lists
// the same cases.

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "crv_fixture.hpp"
#include "plinthar/index/graph_index.hpp"
#include "plinthar/text/json_reader.hpp"
#include "plinthar/text/utf8.hpp"
#include "test_util.hpp"

namespace plinthar::query {

namespace {
namespace fs = std::filesystem;

// A graph of one file that the query "invoice" finds.
constexpr std::string_view GRAPH = R"({
  "nodes": [
    {"id": "src/invoice.py", "kind": "file", "ext": ".py", "keywords": ["invoice"]}
  ],
  "edges": []
})";

std::string nested_lists(std::size_t depth) {
  return std::string(depth, '[') + std::string(depth, ']');
}

class CrvBadInput : public testing::CrvFixture {
 protected:
  CrvBadInput() {
    fs::create_directories(data_);
    dir_.write("tool/data/info_graph.json", GRAPH);
  }
};

TEST_F(CrvBadInput, LogLinesNestedTooDeeplyAreSkipped) {
  const std::string deep = nested_lists(200000);
  dir_.write("tool/data/action_events.jsonl",
             R"({"kind": "edit", "summary": "kept"})"
             "\n"
             R"({"kind": )" +
                 deep + "}\n" + "{\"kind\": " + nested_lists(text::MAX_JSON_DEPTH) + "}\n");
  dir_.write("tool/data/token_usage.jsonl", deep + "\n" + R"({"total_tokens": 5, "meta": )" + deep +
                                                "}\n" +
                                                R"({"total_tokens": 7, "mode": "chat"})"
                                                "\n");
  const auto prime = crv("prime --query invoice");
  ASSERT_EQ(prime.status, 0) << prime.err;
  EXPECT_NE(prime.out.find("## Action Trail (Recent 1)\n- [edit] kept\n"), std::string::npos)
      << prime.out;
  for (const char* args : {"stats", "stats --json"}) {
    const auto stats = crv(args);
    ASSERT_EQ(stats.status, 0) << args << ": " << stats.err;
    EXPECT_NE(stats.out.find("7"), std::string::npos) << args << ": " << stats.out;
  }
}

// One stray byte in a log made prime and stats fail on every later run; such a line
// is now skipped like any line that does not parse.
TEST_F(CrvBadInput, LogLinesThatAreNotUtf8AreSkipped) {
  dir_.write("tool/data/action_events.jsonl",
             "\xff\n"
             R"({"kind": "edit", "summary": "kept"})"
             "\n"
             "{\"kind\": \"edit\", \"summary\": \"cut \xe2\x82\"}\n");
  dir_.write("tool/data/token_usage.jsonl",
             "{\"total_tokens\": 5, \"mode\": \"\xff\"}\n"
             R"({"total_tokens": 7, "mode": "chat"})"
             "\n\xc3");
  const auto prime = crv("prime --query invoice");
  ASSERT_EQ(prime.status, 0) << prime.err;
  EXPECT_NE(prime.out.find("## Action Trail (Recent 1)\n- [edit] kept\n"), std::string::npos)
      << prime.out;
  const auto stats = crv("stats");
  ASSERT_EQ(stats.status, 0) << stats.err;
  EXPECT_EQ(stats.out, "Events: 1\nTotal tokens: 7\n- chat: 7\n");
}

// An append cut short by the file size limit (as by a full disk) leaves a fragment
// without a line feed; the next record was glued onto it and never shown by prime.
TEST_F(CrvBadInput, AppendCutShortLosesNoLaterRecord) {
  const fs::path log = data_ / "action_events.jsonl";
  ASSERT_EQ(crv("action log --kind edit --summary first").status, 0);
  const std::string limited = "trap '' XFSZ; ulimit -f 16; exec " +
                              testing::program_command(dir_ / "tool/crv") +
                              " action log --kind edit --summary " + std::string(30000, 'x');
  const auto cut = testing::run_command(dir_ / "proj", limited);
  EXPECT_EQ(cut.status, 1);
  EXPECT_EQ(cut.out, "");
  EXPECT_EQ(cut.err, "crv: error: cannot append to " + log.string() + ": File too large\n");
  ASSERT_NE(testing::read_text(log).back(), '\n');
  ASSERT_EQ(crv("action log --kind edit --summary after").status, 0);
  const auto prime = crv("prime --query invoice");
  ASSERT_EQ(prime.status, 0) << prime.err;
  EXPECT_NE(prime.out.find("## Action Trail (Recent 2)\n- [edit] first\n- [edit] after\n"),
            std::string::npos)
      << prime.out;

  fs::remove(log);
  fs::create_symlink("/dev/full", log);
  const auto full = crv("action log --kind edit");
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.err,
            "crv: error: cannot append to " + log.string() + ": No space left on device\n");
}

TEST_F(CrvBadInput, MetaNestedTooDeeplyIsRejected) {
  const auto result =
      crv("action log --kind k --meta '{\"a\": " + nested_lists(text::MAX_JSON_DEPTH) + "}'");
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, "error: invalid --meta JSON: nested deeper than 1000 levels\n");
  EXPECT_FALSE(fs::exists(data_ / "action_events.jsonl"));
  const auto at_limit =
      crv("action log --kind k --meta '{\"a\": " + nested_lists(text::MAX_JSON_DEPTH - 1) + "}'");
  EXPECT_EQ(at_limit.status, 0) << at_limit.err;
}

TEST_F(CrvBadInput, GraphNestedTooDeeplyIsAnError) {
  for (const std::size_t depth : {std::size_t{1001}, std::size_t{300000}}) {
    dir_.write("tool/data/info_graph.json",
               R"({"nodes": [{"id": "a", "x": )" + nested_lists(depth) + "}]}");
    for (const char* args : {"prime", "retrieve --query a", "retrieve --json --query a"}) {
      const auto result = crv(args);
      EXPECT_EQ(result.status, 1) << args;
      EXPECT_EQ(result.out, "") << args;
      EXPECT_EQ(result.err, "crv: error: cannot parse " + (data_ / "info_graph.json").string() +
                                ": nested deeper than 1000 levels\n")
          << args;
    }
  }
}

// A graph file that is not a regular file is never read: a FIFO would block and a
// device would never end. Each is an error, like a graph file that cannot be read.
TEST_F(CrvBadInput, GraphFileThatIsNotARegularFileIsAnError) {
  const fs::path graph = data_ / "info_graph.json";
  for (const std::string kind : {"fifo", "device", "directory"}) {
    fs::remove_all(graph);
    if (kind == "fifo") {
      ASSERT_EQ(::mkfifo(graph.c_str(), 0600), 0);
    } else if (kind == "device") {
      fs::create_symlink("/dev/zero", graph);
    } else {
      fs::create_directory(graph);
    }
    const std::string reason = kind == "directory" ? "it is a directory" : "not a regular file";
    for (const char* args : {"prime", "retrieve --query invoice"}) {
      const auto result = crv(args);
      EXPECT_EQ(result.status, 1) << kind << " " << args;
      EXPECT_EQ(result.out, "") << kind << " " << args;
      EXPECT_EQ(result.err, "crv: error: cannot read " + graph.string() + ": " + reason + "\n")
          << kind << " " << args;
    }
  }
}

// Another program truncating and rewriting the graph in place while crv reads it:
// crv answers or fails with a diagnostic, but is never killed by a signal (a mapped
// graph file died of SIGBUS).
TEST_F(CrvBadInput, GraphRewrittenInPlaceWhileReadNeverKillsCrv) {
  std::string nodes;
  for (int i = 0; i < 20000; ++i) {
    nodes += R"({"id": "src/invoice)" + std::to_string(i) +
             R"(.py", "kind": "file", "ext": ".py",)" +
             R"( "keywords": ["invoice"], "content": ")" + std::string(200, 'x') + "\"},\n";
  }
  const std::string graph = R"({"nodes": [)" + nodes + R"({"id": "last"}], "edges": []})";
  const fs::path path = data_ / "info_graph.json";
  dir_.write("tool/data/info_graph.json", graph);
  std::atomic<bool> done = false;
  std::thread rewriter([&] {
    while (!done) {
      fs::resize_file(path, graph.size() / 3);
      std::ofstream(path, std::ios::binary | std::ios::in | std::ios::out) << graph;
    }
  });
  int answered = 0;
  for (int run = 0; run < 15; ++run) {
    const auto result = crv("prime --query invoice");
    EXPECT_TRUE(result.status == 0 || result.status == 1) << result.status << ": " << result.err;
    if (result.status == 0) ++answered;
  }
  done = true;
  rewriter.join();
  RecordProperty("answered", answered);
}

// A file name that is not UTF-8 is stored with escapes for its bytes; a NUL in the
// file's text made those escapes unreadable, and crv failed on the graph it wrote
// whenever a query chose the file.
TEST_F(CrvBadInput, GraphOfNamesThatAreNotUtf8AndTextsWithNulReadsBack) {
  dir_.write("proj/caf\xe9 invoice.md", std::string("invoice notes\n\0 here\n", 21));
  ASSERT_EQ(crv("scan").status, 0);
  const auto result = crv("retrieve --json --query invoice");
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.out.find(R"("id": "caf\udce9 invoice.md")"), std::string::npos) << result.out;
  EXPECT_EQ(crv("prime --query invoice").status, 0);
}

// A query that is not UTF-8 (a hook that cuts a prompt inside a character) killed crv
// with SIGSEGV; its bytes are now left out of the analysis and kept where it is printed.
TEST_F(CrvBadInput, QueryThatIsNotUtf8IsAnswered) {
  const std::string query = R"q("$(printf 'invoice \355g\355\355l/\355')")q";
  const auto retrieve = crv("retrieve --json --query " + query);
  ASSERT_EQ(retrieve.status, 0) << retrieve.err;
  EXPECT_NE(retrieve.out.find(R"("query": "invoice \udcedg\udced\udcedl/\udced")"),
            std::string::npos)
      << retrieve.out;
  EXPECT_NE(retrieve.out.find(R"("id": "src/invoice.py")"), std::string::npos) << retrieve.out;
  const auto prime = crv("prime", "CRV_QUERY=" + query + " ");
  ASSERT_EQ(prime.status, 0) << prime.err;
  EXPECT_NE(prime.out.find("- src/invoice.py\n"), std::string::npos) << prime.out;
}

// Bytes that are not UTF-8 in the query or a file name reached stdout raw; the text
// forms now print them with the escapes of the JSON form.
TEST_F(CrvBadInput, TextOutputIsValidUtf8) {
  dir_.write("proj/caf\xe9 invoice.md", "invoice notes\n");
  ASSERT_EQ(crv("scan").status, 0);
  const std::string query = R"q("$(printf 'invoice \355g')")q";
  for (const std::string args : {"prime --query ", "retrieve --query "}) {
    const auto result = crv(args + query);
    ASSERT_EQ(result.status, 0) << args << result.err;
    EXPECT_TRUE(text::is_valid_utf8(result.out)) << args << result.out;
    EXPECT_NE(result.out.find("Query: invoice \\udcedg\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("- caf\\udce9 invoice.md\n"), std::string::npos) << result.out;
  }
}

// What crv prints with the data directory as it is now.
struct Outputs {
  testing::RunResult prime;
  testing::RunResult stats;
};

// The capability index and the two logs read as missing when they are not regular
// files: a FIFO would block the read and a device would never end.
TEST_F(CrvBadInput, DataFilesThatAreNotRegularFilesReadAsMissing) {
  const auto outputs = [this] {
    return Outputs{crv("prime --query invoice"), crv("stats --json")};
  };
  const Outputs missing = outputs();
  ASSERT_EQ(missing.prime.status, 0) << missing.prime.err;
  ASSERT_EQ(missing.stats.status, 0) << missing.stats.err;
  for (const char* name : {"functionality_index.md", "action_events.jsonl", "token_usage.jsonl"}) {
    const fs::path file = data_ / name;
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    const Outputs fifo = outputs();
    fs::remove(file);
    fs::create_symlink("/dev/zero", file);
    const Outputs device = outputs();
    fs::remove(file);
    for (const Outputs* seen : {&fifo, &device}) {
      const char* kind = seen == &fifo ? "fifo" : "device";
      EXPECT_EQ(seen->prime.status, 0) << name << " " << kind << ": " << seen->prime.err;
      EXPECT_EQ(seen->prime.out, missing.prime.out) << name << " " << kind;
      EXPECT_EQ(seen->stats.status, 0) << name << " " << kind << ": " << seen->stats.err;
      EXPECT_EQ(seen->stats.out, missing.stats.out) << name << " " << kind;
    }
  }
}

TEST_F(CrvBadInput, ActionLogThatIsAFifoWithoutReaderIsAnError) {
  const fs::path log = data_ / "action_events.jsonl";
  ASSERT_EQ(::mkfifo(log.c_str(), 0600), 0);
  const auto result = crv("action log --kind edit");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err,
            "crv: error: cannot append to " + log.string() + ": No such device or address\n");
}

// A root that is not a directory scans as an empty tree, whose graph would replace a
// good one. Each way crv scans fails instead and leaves the graph file as it was.
TEST_F(CrvBadInput, RootThatIsNotADirectoryIsAnErrorAndLeavesTheGraph) {
  dir_.write("proj/plain.txt", "text\n");
  const fs::path graph = data_ / "info_graph.json";
  const fs::path proj = fs::canonical(dir_ / "proj");
  const std::string missing = (proj / "nowhere").string();
  const std::string no_such = " is not a directory: No such file or directory\n";
  const struct {
    std::string args;
    std::string env;
    bool graph_present;
    std::string message;
  } cases[] = {
      {"scan --root nowhere", "", true, missing + no_such},
      {"scan --root plain.txt", "", true, (proj / "plain.txt").string() + " is not a directory\n"},
      {"prime --query invoice", "CORVEL_PROJECT_ROOT=nowhere ", false, missing + no_such},
      {"retrieve --query invoice", "CORVEL_PROJECT_ROOT=plain.txt ", false,
       (proj / "plain.txt").string() + " is not a directory\n"},
  };
  for (const auto& bad : cases) {
    if (!bad.graph_present) fs::remove(graph);
    const auto result = crv(bad.args, bad.env);
    EXPECT_EQ(result.status, 1) << bad.args;
    EXPECT_EQ(result.out, "") << bad.args;
    EXPECT_EQ(result.err, "crv: error: " + bad.message) << bad.args;
    if (bad.graph_present) {
      EXPECT_EQ(testing::read_text(graph), GRAPH) << bad.args;
    } else {
      EXPECT_FALSE(fs::exists(graph)) << bad.args;
    }
  }
  // A refresh of a graph whose recorded root has gone, with its index and without.
  dir_.write("proj/gone/src/invoice.py", "def invoice():\n    pass\n");
  for (const bool with_index : {true, false}) {
    ASSERT_EQ(crv("scan --root gone").status, 0);
    const std::string scanned = testing::read_text(graph);
    if (!with_index) fs::remove(index::graph_index_path(graph));
    fs::rename(proj / "gone", proj / "moved");
    const auto result = crv("prime --refresh --query invoice");
    EXPECT_EQ(result.status, 1) << with_index;
    EXPECT_EQ(result.err, "crv: error: " + (proj / "gone").string() + no_such) << with_index;
    EXPECT_EQ(testing::read_text(graph), scanned) << with_index;
    fs::rename(proj / "moved", proj / "gone");
  }
}

}  // namespace
}  // namespace plinthar::query
