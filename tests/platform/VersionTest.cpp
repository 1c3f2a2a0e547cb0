#include <gtest/gtest.h>
#include <pthread.h>

#include <fstream>

#include "platform/Version.h"
#include "platform/VersionInfo.h"
#include "support/platform/PeFixture.h"
#include "support/platform/TempDir.h"

namespace movrano {
namespace {

using testing::PeFixture;
using testing::TempDir;

TEST(PlatformOwnVersion, IsTheBuildsFourNumbers) {
  uint16_t major = 9, minor = 9, release = 9, build = 9;
  GetOwnFileVersion(major, minor, release, build);
  const std::string joined = std::to_string(major) + "." + std::to_string(minor) + "." +
                             std::to_string(release) + "." + std::to_string(build);
  EXPECT_EQ(joined, MOVRANO_PROJECT_VERSION);
  EXPECT_EQ(GetOwnVersionString(), MOVRANO_PROJECT_VERSION);
}

TEST(PlatformOwnVersion, FormatsWithoutLeadingZeros) {
  EXPECT_EQ(FormatFileVersion({1, 3, 0, 7}), "1.3.0.7");
  EXPECT_EQ(FormatFileVersion({65535, 10, 0, 0}), "65535.10.0.0");
}

struct ProductCase {
  const char* name;
  PeFixture fixture;
  std::string expected;
};

void PrintTo(const ProductCase& c, std::ostream* os) {
  *os << c.name;
}

PeFixture Pe(void (*change)(PeFixture&) = nullptr) {
  PeFixture f;
  f.productVersion = "2.5.1.40";
  if (change) change(f);
  return f;
}

class PlatformProductVersion : public ::testing::TestWithParam<ProductCase> {};

TEST_P(PlatformProductVersion, ReadsTheFirstTranslationsStringTable) {
  TempDir dir;
  const auto file = dir.path() / "installer.exe";
  testing::WritePeFile(file, GetParam().fixture);
  EXPECT_EQ(GetFileProductVersion(file), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, PlatformProductVersion,
    ::testing::Values(
        ProductCase{"Pe32", Pe(), "2.5.1.40"},
        ProductCase{"Pe32Plus", Pe([](PeFixture& f) { f.pe32Plus = true; }), "2.5.1.40"},
        ProductCase{"Trimmed", Pe([](PeFixture& f) { f.productVersion = " \t3.1 Beta \r\n"; }),
                    "3.1 Beta"},
        ProductCase{"OtherLanguage", Pe([](PeFixture& f) {
                      f.language = 0x0407;
                      f.codePage = 0x04E4;
                    }),
                    "2.5.1.40"},
        ProductCase{"LowerCaseTableKey", Pe([](PeFixture& f) { f.stringTableKey = "040904b0"; }),
                    "2.5.1.40"},
        ProductCase{"TableOfAnotherTranslation",
                    Pe([](PeFixture& f) { f.stringTableKey = "040704E4"; }), ""},
        ProductCase{"NoTranslation", Pe([](PeFixture& f) { f.withTranslation = false; }), ""},
        ProductCase{"NoProductVersion", Pe([](PeFixture& f) { f.productVersion.reset(); }), ""},
        ProductCase{"NoVersionResource", Pe([](PeFixture& f) { f.resourceType = 3; }), ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PlatformProductVersionFiles, AnythingButAWellFormedPeFileGivesEmpty) {
  TempDir dir;
  const std::string good = testing::BuildPeFile(Pe());
  std::string badResourceOffset = good;
  badResourceOffset[0x200 + 0x16] = '\x7F';  // first directory entry points far outside
  std::string notPe = good;
  notPe[0x40] = 'X';
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {{"empty", ""},
               {"text", "just a text file"},
               {"truncated", good.substr(0, good.size() / 2)},
               {"headersOnly", good.substr(0, 0x200)},
               {"noPeSignature", notPe},
               {"badResourceOffset", badResourceOffset}};
  for (const auto& c : cases) {
    const auto file = dir.write(c.name, c.bytes);
    EXPECT_EQ(GetFileProductVersion(file), "") << c.name;
  }
  EXPECT_EQ(GetFileProductVersion(dir.path() / "missing.exe"), "");
  EXPECT_EQ(GetFileProductVersion(dir.path()), "");
}

// Runs the call on a thread of a small stack, which a deep recursion would
// overrun.
template <typename Call>
void OnSmallStack(Call call) {
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, 256 * 1024);
  pthread_t thread;
  const auto run = [](void* it) -> void* {
    (*static_cast<Call*>(it))();
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&thread, &attributes, run, &call), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
}

TEST(PlatformProductVersionFiles, BlocksNestedTooDeepGiveEmpty) {
  TempDir dir;
  const struct {
    const char* name;
    int nesting;
    std::string expected;
  } cases[] = {{"deepest", VersionInfo::kDeepestBlock - 1, "2.5.1.40"},
               {"oneTooDeep", VersionInfo::kDeepestBlock, ""},
               {"crafted", 7000, ""}};
  for (const auto& c : cases) {
    PeFixture fixture = Pe();
    fixture.nesting = c.nesting;
    const auto file = dir.path() / (std::string(c.name) + ".exe");
    testing::WritePeFile(file, fixture);
    std::string version = "unread";
    OnSmallStack([&] { version = GetFileProductVersion(file); });
    EXPECT_EQ(version, c.expected) << c.name;
  }
}

}  // namespace
}  // namespace movrano
