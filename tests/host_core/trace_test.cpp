// Trace services: level masks, synchronisation counters, trace lines.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "vxrhost/host.h"

namespace {

const char kUnitName[] = "VXRTESTL";
const RAS1_UnitBlock kUnit = {kUnitMarker,
                              kUnitKindOwn,
                              kUnitName,
                              8,
                              "Jan 02 2024",
                              11,
                              "12:00:00",
                              8,
                              "level200",
                              8,
                              "*",
                              1,
                              0,
                              0,
                              nullptr};

struct Unit {
  int32_t counter = 1;
  RAS1_Anchor anchor = {&kUnit, "summarizeOAA", 12, 40, &counter, 0x200, 0, 0, 0, 0};
};

TEST(Trace, SyncRefreshesTheCachedWords) {
  vxrhost::Host host;
  Unit u;
  EXPECT_EQ(RAS1_Sync(&u.anchor), 0);
  EXPECT_EQ(u.anchor.cachedCounter, 1);
  host.setTraceLevel("VXRTESTL", 0xC1);
  EXPECT_EQ(u.counter, 2);                       // the registered counter advanced
  EXPECT_NE(u.anchor.cachedCounter, u.counter);  // so the module syncs again
  EXPECT_EQ(RAS1_Sync(&u.anchor), 0xC1);
  EXPECT_EQ(u.anchor.cachedFlags, 0xC1);
  EXPECT_EQ(u.anchor.cachedCounter, 2);
  host.setTraceLevel("OTHER", 0xFF);
  EXPECT_EQ(u.counter, 2);  // another unit's change leaves it alone
  vxrhost::Error error;
  EXPECT_EQ(host.setTraceLevels("OTHER=1, VXRTESTL=0x08", error), 0);
  EXPECT_EQ(u.counter, 3);
  EXPECT_EQ(RAS1_Sync(&u.anchor), 0x08);
  host.setTraceLevel("*", 0x40);
  EXPECT_EQ(u.counter, 4);
  EXPECT_EQ(host.traceLevel("VXRTESTL"), 0x40);
  EXPECT_EQ(host.traceLevel("NEVERSEEN"), 0x40);
}

TEST(Trace, LevelSpecifications) {
  std::vector<std::pair<std::string, int32_t>> levels;
  vxrhost::Error error;
  ASSERT_EQ(vxrhost::parseTraceLevels(" VXRMSQL=0xFF,VXRGOAAL=64 ,HOST=0X1", levels, error), 0);
  ASSERT_EQ(levels.size(), 3u);
  EXPECT_EQ(levels[0], (std::pair<std::string, int32_t>{"VXRMSQL", 0xFF}));
  EXPECT_EQ(levels[1].second, 64);
  EXPECT_EQ(levels[2].second, 1);
  const std::pair<const char*, const char*> bad[] = {
      {"VXRMSQL", "bad trace level \"VXRMSQL\": no '='"},
      {"A=1,VXRMSQL=0xZZ",
       "bad trace level \"VXRMSQL=0xZZ\": the mask is neither 0x-hex nor decimal"},
      {"=5", "bad trace level \"=5\": no unit named"},
      {"A=99999999999",
       "bad trace level \"A=99999999999\": the mask is neither 0x-hex nor decimal"},
      {"A\n", "bad trace level \"A\\n\": no '='"},
  };
  for (const auto& [spec, message] : bad) {
    EXPECT_EQ(vxrhost::parseTraceLevels(spec, levels, error), vxrhost::hoststatus::kBadTraceLevels);
    EXPECT_EQ(error.text(), message);
    EXPECT_TRUE(levels.empty()) << spec;
  }
}

TEST(Trace, EventsAndPrintfLines) {
  vxrhost::Host host;
  Unit u;
  RAS1_Event(&u.anchor, 41, kEventEntry);
  RAS1_Event(&u.anchor, 90, kEventExitStatus, 62);
  RAS1_Event(&u.anchor, 91, kEventExit);
  RAS1_Printf(&u.anchor, 50, "Index Filter %d %s %s\n", 1, "DSGROUP", "GRP1");
  RAS1_Printf(&u.anchor, 51, "Creating path for SQL\n length %d %s\n\n", 3, "ABC");
  std::string longText(2000, 'x');
  RAS1_Printf(&u.anchor, 52, "%s", longText.c_str());
  auto text = host.traceText();
  ASSERT_EQ(text.size(), 6u);
  EXPECT_EQ(text[0], "VXRTESTL summarizeOAA entry");
  EXPECT_EQ(text[1], "VXRTESTL summarizeOAA exit status=62");
  EXPECT_EQ(text[2], "VXRTESTL summarizeOAA exit");
  EXPECT_EQ(text[3], "VXRTESTL summarizeOAA Index Filter 1 DSGROUP GRP1");
  EXPECT_EQ(text[4], "VXRTESTL summarizeOAA Creating path for SQL\n length 3 ABC\n");
  EXPECT_EQ(host.traceLines()[5].text, longText);
  EXPECT_EQ(host.traceLines()[3].line, 50);
  host.clearTrace();
  EXPECT_TRUE(host.traceLines().empty());
}

TEST(Trace, FileSink) {
  std::string path = testing::TempDir() + "host_core_trace.txt";
  std::remove(path.c_str());
  {
    vxrhost::Host host;
    vxrhost::Error error;
    EXPECT_EQ(host.traceToFile("/nonexistent/dir/trace.txt", error),
              vxrhost::hoststatus::kFileFailed);
    EXPECT_EQ(error.text(),
              "cannot open trace file \"/nonexistent/dir/trace.txt\": No such file or directory");
    ASSERT_EQ(host.traceToFile(path, error), 0) << error;
    host.hostTrace("CreateAccessPlan", "prepare failed\n");
    Unit u;
    RAS1_Event(&u.anchor, 1, kEventExit);
  }
  std::ifstream in(path);
  std::string first, second;
  std::getline(in, first);
  std::getline(in, second);
  EXPECT_EQ(first, "HOST CreateAccessPlan prepare failed");
  EXPECT_EQ(second, "VXRTESTL summarizeOAA exit");
  std::remove(path.c_str());
}

std::vector<std::string> fileLines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A request's lines reach the trace file by its end, in the order and with
// the text the memory sink records; a line traced outside a request is
// written at once, after them.
TEST(Trace, FileSinkHasEveryLineOfARequestByItsEnd) {
  std::string path = testing::TempDir() + "host_core_trace_request.txt";
  std::remove(path.c_str());
  vxrhost::Host host;
  vxrhost::Module* mod = host.load(FIXTURE_DIR "/FXGOODL.so");
  host.setTraceLevel("FXGOODL", kTraceFlow | kTraceDetail);
  host.run(*mod, "FIXTURE", {}, 12);
  std::vector<std::string> expected = host.traceText();
  ASSERT_GT(expected.size(), 3u);
  expected.push_back("HOST after the request");

  vxrhost::Error error;
  ASSERT_EQ(host.traceToFile(path, error), 0) << error;
  {
    vxrhost::RequestCursor cursor(host, *mod, "FIXTURE", {}, 12);
    while (cursor.step()) {
    }
    cursor.finish();
    EXPECT_EQ(fileLines(path).size(), expected.size() - 1);
  }
  host.hostTrace("after", "the request\n");
  EXPECT_EQ(fileLines(path), expected);
  std::remove(path.c_str());
}

// Lines on stderr have their control characters escaped wherever they fall
// (eight bytes are checked at a time); other bytes stay as they are.
TEST(Trace, StderrEscapesControlCharactersAnywhere) {
  std::vector<std::string> texts;
  for (size_t at : {0, 1, 7, 8, 9, 15, 16, 23}) {
    for (char c : {'\x01', '\t', '\x1f', '\x7f'}) {
      std::string text = "abcdefgh\xc3\xa9ijklmn opqrstuvwx";
      text[at] = c;
      texts.push_back(text);
    }
  }
  std::string expected;
  testing::internal::CaptureStderr();
  {
    vxrhost::Host host;
    host.traceToStderr();
    for (const std::string& text : texts) {
      host.hostTrace("F", text + "\n");
      expected += "HOST F " + vxrhost::controlEscaped(text) + "\n";
    }
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), expected);
}

TEST(Trace, FixtureModuleFollowsTheLevels) {
  vxrhost::Host host;
  vxrhost::Module* mod = host.load(FIXTURE_DIR "/FXGOODL.so");
  auto quiet = host.run(*mod, "FIXTURE", {}, 12);
  for (const auto& line : host.traceLines()) EXPECT_EQ(line.unit, "HOST") << line.render();
  host.setTraceLevel("FXGOODL", kTraceFlow | kTraceDetail);
  host.run(*mod, "FIXTURE", {}, 12);
  EXPECT_TRUE(host.traceContains("FXGOODL fxstart entry"));
  EXPECT_TRUE(host.traceContains("FXGOODL fxstart Invoked for table FIXTURE"));
  // The query fails without a store; the fixture hands the status back.
  EXPECT_TRUE(host.traceContains("HOST CreateAccessPlan prepare failed with 220"));
  EXPECT_EQ(quiet.processStatuses, std::vector<int32_t>{vxrhost::sqlstatus::kStoreFailure});
}

TEST(Trace, OnlyOneHostAtATime) {
  vxrhost::Host host;
  EXPECT_EQ(vxrhost::Host::current(), &host);
  EXPECT_THROW(vxrhost::Host second, std::logic_error);
  EXPECT_EQ(vxrhost::Host::current(), &host);
}

}  // namespace
