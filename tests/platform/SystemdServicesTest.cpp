#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/Services.h"
#include "platform/SystemdServices.h"
#include "support/platform/TempDir.h"
#include "support/platform/TestPlatform.h"

namespace movrano {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::TestPlatform;

// A stand-in for systemctl: each unit's ActiveState lives in "<unit>.state"
// beside the script, every call is appended to "calls", and a file
// "no-systemd" makes every call fail as on a machine without systemd.
constexpr const char* kFakeSystemctl = R"SH(#!/bin/sh
dir=$(dirname "$0")
echo "$*" >> "$dir/calls"
[ -f "$dir/no-systemd" ] && exit 1
[ "$1" = "--no-ask-password" ] || exit 2
shift
verb=$1; shift
case "$verb" in
  show)
    prop=$1; shift
    [ "$1" = "--" ] && shift
    case "$prop" in
      --property=Version) echo "Version=252" ;;
      --property=LoadState)
        if [ -f "$dir/$1.state" ]; then echo "LoadState=loaded"; else echo "LoadState=not-found"; fi ;;
      --property=ActiveState)
        if [ -f "$dir/$1.state" ]; then echo "ActiveState=$(cat "$dir/$1.state")"; else echo "ActiveState=inactive"; fi ;;
    esac ;;
  start) [ "$1" = "--no-block" ] && [ "$2" = "--" ] && echo active > "$dir/$3.state" ;;
  stop) [ "$1" = "--no-block" ] && [ "$2" = "--" ] && echo inactive > "$dir/$3.state" ;;
  *) exit 3 ;;
esac
)SH";

class PlatformSystemd : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto script = dir.write("systemctl", kFakeSystemctl);
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    platform.setServices(std::make_shared<SystemdServiceManager>(script.string()));
  }
  void setState(const std::string& unit, const std::string& state) {
    dir.write(unit + ".state", state + "\n");
  }
  std::string calls() const {
    return std::filesystem::exists(dir.path() / "calls") ? ReadFileBytes(dir.path() / "calls") : "";
  }

  TempDir dir;
  TestPlatform platform;
};

TEST_F(PlatformSystemd, StartsAStoppedUnitWithoutBlocking) {
  setState("outpost", "inactive");
  EXPECT_TRUE(StartServiceAndWait("", "outpost", false));
  EXPECT_THAT(calls(), HasSubstr("--no-ask-password start --no-block -- outpost\n"));
  EXPECT_EQ(ReadFileBytes(dir.path() / "outpost.state"), "active\n");
}

TEST_F(PlatformSystemd, RefusesToStartARunningUnit) {
  setState("outpost", "active");
  EXPECT_FALSE(StartServiceAndWait("", "outpost", false));
  EXPECT_THAT(calls(), Not(HasSubstr(" start ")));
}

TEST_F(PlatformSystemd, StopsARunningUnit) {
  setState("outpost", "active");
  EXPECT_TRUE(StopServiceAndWait("", "outpost", false));
  EXPECT_THAT(calls(), HasSubstr("--no-ask-password stop --no-block -- outpost\n"));
}

TEST_F(PlatformSystemd, AStoppedOrFailedUnitCountsAsStoppedWithoutAStopRequest) {
  for (const char* state : {"inactive", "failed"}) {
    setState("outpost", state);
    EXPECT_TRUE(StopServiceAndWait("", "outpost", false)) << state;
  }
  EXPECT_THAT(calls(), Not(HasSubstr(" stop ")));
}

TEST_F(PlatformSystemd, AnUnknownUnitCannotBeOpened) {
  EXPECT_FALSE(StartServiceAndWait("", "nosuchunit", false));
  EXPECT_FALSE(StopServiceAndWait("", "nosuchunit", false));
  EXPECT_THAT(calls(), Not(HasSubstr("start")));
}

TEST_F(PlatformSystemd, WithoutSystemdTheManagerCannotBeOpened) {
  setState("outpost", "inactive");
  dir.write("no-systemd", "");
  EXPECT_FALSE(StartServiceAndWait("", "outpost", false));
  EXPECT_EQ(calls(), "--no-ask-password show --property=Version\n");
}

TEST_F(PlatformSystemd, AnotherMachineOrNoSystemctlCannotBeOpened) {
  setState("outpost", "inactive");
  EXPECT_FALSE(StartServiceAndWait("vaulthost", "outpost", false));
  EXPECT_EQ(calls(), "");
  platform.setServices(std::make_shared<SystemdServiceManager>((dir.path() / "none").string()));
  EXPECT_FALSE(StartServiceAndWait("", "outpost", false));
}

TEST_F(PlatformSystemd, AUnitNameIsNeverTakenForAnOption) {
  setState("--force", "inactive");
  EXPECT_TRUE(StartServiceAndWait("", "--force", false));
  EXPECT_THAT(calls(), HasSubstr("start --no-block -- --force\n"));
}

TEST(PlatformSystemdStates, ActiveStatesMapToServiceStates) {
  const struct {
    const char* active;
    ServiceState state;
  } cases[] = {
      {"active", ServiceState::Running},          {"reloading", ServiceState::Running},
      {"activating", ServiceState::StartPending}, {"deactivating", ServiceState::StopPending},
      {"inactive", ServiceState::Stopped},        {"failed", ServiceState::Stopped}};
  for (const auto& c : cases)
    EXPECT_EQ(ServiceStateFromActiveState(c.active), c.state) << c.active;
}

// It runs as root: a "systemctl" that comes first on PATH is never run.
TEST(PlatformSystemdDefault, RunsSystemctlByItsAbsolutePath) {
  TempDir dir;
  const auto planted = dir.write("systemctl", "#!/bin/sh\ntouch \"$(dirname \"$0\")/ran\"\n");
  std::filesystem::permissions(planted, std::filesystem::perms::owner_all);
  const char* path = std::getenv("PATH");
  const std::string saved = path ? path : "";
  ::setenv("PATH", (dir.str() + ":" + saved).c_str(), 1);
  TestPlatform platform;
  platform.setServices(std::make_shared<SystemdServiceManager>());
  // A unit no machine has: on a systemd machine the real systemctl only
  // says so.
  try {
    StartServiceAndWait("", "movrano-test-no-such-unit", false);
  } catch (...) {
  }
  ::setenv("PATH", saved.c_str(), 1);
  EXPECT_EQ(DefaultSystemctl().front(), '/');
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "ran"));
}

}  // namespace
}  // namespace movrano
