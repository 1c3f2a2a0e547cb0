#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/Paths.h"
#include "platform/Platform.h"
#include "support/platform/TestPlatform.h"

namespace movrano {
namespace {

TEST(PlatformObject, ATestPlatformReplacesAndRestoresTheFacilities) {
  const Platform before = CurrentPlatform();
  {
    testing::TestPlatform platform;
    EXPECT_EQ(CurrentPlatform().rights, platform.rights);
    platform.rights->admin = false;
    EXPECT_FALSE(IsUserAdmin());
    platform.rights->admin = true;
    EXPECT_TRUE(IsUserAdmin());
    platform.setRegistry("REGEDIT4\n[HKEY_CURRENT_USER\\Software\\X]\n");
    EXPECT_TRUE(
        CurrentPlatform().registry->openKeyReadOnly(RegistryRoot::CurrentUser, "Software\\X"));
  }
  EXPECT_EQ(CurrentPlatform().rights, before.rights);
  EXPECT_EQ(CurrentPlatform().registry, before.registry);
}

TEST(PlatformObject, EveryFacilityMustBeSet) {
  Platform incomplete = CurrentPlatform();
  incomplete.registry.reset();
  EXPECT_THROW(ReplacePlatform(incomplete), EAssertionFailed);
  EXPECT_TRUE(CurrentPlatform().registry);
}

TEST(PlatformObject, TheRealRightsAreTheEffectiveUser) {
  EXPECT_EQ(EffectiveUserRights().isUserAdmin(), ::geteuid() == 0);
  EXPECT_EQ(IsUserAdmin(), ::geteuid() == 0);
}

TEST(PlatformObject, TheRealRegistryIsTheExportBesideTheExecutable) {
  EXPECT_EQ(DefaultRegistryFile(), ExecutableFolder() / "Registry.reg");
}

}  // namespace
}  // namespace movrano
