// The sample database for suites that run vxrhost against it: made once per
// suite from the project's SQL files in a scratch directory, and copied
// fresh for each test, so that no test sees another's changes.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "vxrhost/sqlite_store.h"

namespace vxrhost::testing {

inline std::string sampleSourceText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// A fixture base with the suite's directory (`suiteDir_`) holding
// "sample.db"; `Suite` is the deriving fixture, so each suite has its own.
template <class Suite>
class SampleDatabaseTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string pattern = "/tmp/vxrhost-" + std::string(Suite::kScratchName) + "-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    suiteDir_ = pattern;
    Error error;
    auto store = SqliteStore::create((suiteDir_ / "sample.db").string(),
                                     sampleSourceText(VXR_SOURCE_DIR "/data/schema.sql"),
                                     sampleSourceText(VXR_SOURCE_DIR "/data/sample.sql"), error);
    ASSERT_TRUE(store) << error;
  }
  static void TearDownTestSuite() {
    std::error_code ec;
    std::filesystem::remove_all(suiteDir_, ec);
  }

  // A fresh copy of the sample at `path`.
  static void copySample(const std::filesystem::path& path) {
    std::filesystem::copy_file(suiteDir_ / "sample.db", path,
                               std::filesystem::copy_options::overwrite_existing);
  }
  // The running test's name.
  static std::string testName() {
    return ::testing::UnitTest::GetInstance()->current_test_info()->name();
  }

  static inline std::filesystem::path suiteDir_;
};

}  // namespace vxrhost::testing
