#include <gtest/gtest.h>

#include <chrono>

#include "platform/Services.h"
#include "support/platform/TestPlatform.h"

namespace movrano {
namespace {

using namespace std::chrono_literals;
using testing::FakeServiceScript;
using testing::TestPlatform;

constexpr const char* kService = "TavrinOutpostVaultService";

enum class Op { Start, Stop };

struct WaitCase {
  const char* name;
  Op op;
  FakeServiceScript script;
  bool exists;
  bool answer;
  int sleeps;         // pauses of 125 ms taken
  int statusQueries;  // reads of the state
};

void PrintTo(const WaitCase& c, std::ostream* os) {
  *os << c.name;
}

class PlatformServiceWait : public ::testing::TestWithParam<WaitCase> {};

TEST_P(PlatformServiceWait, AnswersAndWaitsAsScripted) {
  const WaitCase& c = GetParam();
  TestPlatform platform;
  if (c.exists) platform.services->addService(kService, c.script);
  const bool answer = c.op == Op::Start ? StartServiceAndWait("", kService, false)
                                        : StopServiceAndWait("", kService, false);
  EXPECT_EQ(answer, c.answer);
  EXPECT_EQ(platform.clock->sleeps(), c.sleeps);
  EXPECT_EQ(platform.clock->elapsed(), c.sleeps * 125ms);
  if (c.exists) {
    EXPECT_EQ(platform.services->calls(kService).statusQueries, c.statusQueries);
    EXPECT_EQ(platform.services->calls(kService).lastAccess, c.op == Op::Start ? 0x14u : 0x24u);
  }
}

FakeServiceScript Running(std::chrono::milliseconds stopTakes = 0ms) {
  FakeServiceScript s;
  s.initial = ServiceState::Running;
  s.stopTakes = stopTakes;
  return s;
}

FakeServiceScript Stopped(std::chrono::milliseconds startTakes = 0ms) {
  FakeServiceScript s;
  s.startTakes = startTakes;
  return s;
}

FakeServiceScript With(FakeServiceScript s, void (*change)(FakeServiceScript&)) {
  change(s);
  return s;
}

// 120 s are 960 pauses; the 961st passes the limit and ends the wait.
INSTANTIATE_TEST_SUITE_P(
    Cases, PlatformServiceWait,
    ::testing::Values(
        WaitCase{"StartRunningAtOnce", Op::Start, Stopped(), true, true, 0, 1},
        WaitCase{"StartTakesFiveSeconds", Op::Start, Stopped(5s), true, true, 40, 41},
        WaitCase{"StartJustInTime", Op::Start, Stopped(120s), true, true, 960, 961},
        WaitCase{"StartTakes130Seconds", Op::Start, Stopped(130s), true, false, 961, 961},
        WaitCase{"StartAlreadyRunning", Op::Start, Running(), true, false, 0, 0},
        WaitCase{"StartRefused", Op::Start,
                 With(Stopped(), [](FakeServiceScript& s) { s.refuseStart = true; }), true, false,
                 0, 0},
        WaitCase{"StartWithoutStatus", Op::Start,
                 With(Stopped(), [](FakeServiceScript& s) { s.statusUnreadable = true; }), true,
                 false, 0, 1},
        WaitCase{"StartWithoutTheRight", Op::Start,
                 With(Stopped(), [](FakeServiceScript& s) { s.deniedAccess = kServiceStart; }),
                 true, false, 0, 0},
        WaitCase{"StartNoSuchService", Op::Start, {}, false, false, 0, 0},
        WaitCase{"StopAtOnce", Op::Stop, Running(), true, true, 0, 1},
        WaitCase{"StopTakesThreeSeconds", Op::Stop, Running(3s), true, true, 24, 25},
        WaitCase{"StopTakes130Seconds", Op::Stop, Running(130s), true, false, 961, 961},
        WaitCase{"StopAlreadyStopped", Op::Stop, Stopped(), true, true, 0, 0},
        WaitCase{"StopRefusedWhileRunning", Op::Stop,
                 With(Running(), [](FakeServiceScript& s) { s.refuseStop = true; }), true, false, 0,
                 0},
        WaitCase{"StopWithoutTheRight", Op::Stop,
                 With(Running(), [](FakeServiceScript& s) { s.deniedAccess = kServiceStop; }), true,
                 false, 0, 0},
        WaitCase{"StopNoSuchService", Op::Stop, {}, false, false, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PlatformServiceManager, AManagerThatCannotBeOpenedAnswersFalseWithoutWaiting) {
  TestPlatform platform;
  platform.services->addService(kService, Stopped());
  platform.services->setAvailable(false);
  EXPECT_FALSE(StartServiceAndWait("", kService, true));
  EXPECT_FALSE(StopServiceAndWait("", kService, true));
  EXPECT_EQ(platform.services->managerOpens(), 2);
  EXPECT_EQ(platform.services->calls(kService).opens, 0);
  EXPECT_EQ(platform.clock->sleeps(), 0);
}

TEST(PlatformServiceManager, ProcessingMessagesLeavesTheWaitAsItIs) {
  for (const bool processMessages : {true, false}) {
    TestPlatform platform;
    platform.services->addService(kService, Stopped(1s));
    EXPECT_TRUE(StartServiceAndWait("", kService, processMessages));
    EXPECT_EQ(platform.clock->sleeps(), 8);
  }
}

TEST(PlatformServiceManager, TheRealManagerKnowsNoSuchUnit) {
  // Without systemd the manager cannot be opened; with it the unit is unknown.
  EXPECT_FALSE(StartServiceAndWait("", "movrano-no-such-unit-7f3a", false));
  EXPECT_FALSE(StopServiceAndWait("", "movrano-no-such-unit-7f3a", false));
}

}  // namespace
}  // namespace movrano
