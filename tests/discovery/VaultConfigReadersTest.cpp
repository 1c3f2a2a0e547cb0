#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include "common/Utils.h"
#include "discovery/VaultMigrationPathFinder.h"
#include "support/platform/TempDir.h"

namespace movrano {
namespace {

using testing::TempDir;

// The keys of a "LocalVault.ini" that the readers look at.
struct LocalVaultIni {
  std::string dataSource = "Firebird";
  std::string databaseFile;
  std::string storageType = "FileSystem";
  std::string rootFolder;
  std::string products = "Tavrin Vault Server=3.0.1\nTavrin Vault=3.0.0\n";

  std::string text() const {
    return "[General]\nDataSourceType=" + dataSource + "\nKelmServerVer=2.1.0\n" +
           "[DataSource]\nDatabaseFile=" + databaseFile + "\n" +
           "[Vault]\nFileStorageType=" + storageType + "\nRootFolder=" + rootFolder + "\n" +
           "[Products]\n" + products;
  }
};

// A server or Solo installation: <tmp>/Server/LocalVault.ini above the
// vault folder <tmp>/Server/Vault/, a database file and a storage folder.
class DiscoveryConfigReaders : public ::testing::Test {
 protected:
  void SetUp() override {
    vault = dir.mkdir("Server/Vault").string() + "/";
    database = dir.write("data/vault.fdb", "").string();
    storage = dir.mkdir("files").string();
  }

  LocalVaultIni ini(const std::string& dataSource = "Firebird") const {
    LocalVaultIni values;
    values.dataSource = dataSource;
    values.databaseFile = database;
    values.rootFolder = storage;
    return values;
  }
  void writeAbove(const LocalVaultIni& values) { writeAbove(values.text()); }
  void writeAbove(const std::string& text) { dir.write("Server/LocalVault.ini", text); }

  TempDir dir;
  std::string vault, database, storage;
};

// What a reader answers, or the message it raises, with the values it left.
struct Outcome {
  std::string message;  // empty when it succeeded
  std::string databaseFile = "<unset>";
  std::string storage = "<unset>";
  std::string version = "<unset>";
};

using Reader = std::function<void(const std::string&, Outcome&)>;

Outcome Read(const Reader& reader, const std::string& root) {
  Outcome out;
  try {
    reader(root, out);
  } catch (const EMovrano& e) {
    out.message = e.message();
  }
  return out;
}

const Reader kTvs = [](const std::string& root, Outcome& o) {
  EXPECT_TRUE(TVaultPathFinder::GetTVSInfo(root, o.databaseFile, o.storage, o.version, false));
};
const Reader kTvsSolo = [](const std::string& root, Outcome& o) {
  TVaultPathFinder::GetTVSInfo(root, o.databaseFile, o.storage, o.version, true);
};
const Reader kOra = [](const std::string& root, Outcome& o) {
  EXPECT_TRUE(TVaultPathFinder::GetTVSInfoOra(root, o.storage, o.version));
};
const Reader kSolo = [](const std::string& root, Outcome& o) {
  EXPECT_TRUE(TVaultPathFinder::GetSoloPaths(root, o.databaseFile, o.storage, o.version));
};
const Reader kOutpost = [](const std::string& root, Outcome& o) {
  EXPECT_TRUE(TVaultPathFinder::GetOutpostPaths(root, o.databaseFile, o.storage));
};

TEST_F(DiscoveryConfigReaders, ReadTheFileAboveTheVaultFolder) {
  writeAbove(ini());
  const Outcome tvs = Read(kTvs, vault);
  EXPECT_EQ(tvs.message, "");
  EXPECT_EQ(tvs.databaseFile, database);
  EXPECT_EQ(tvs.storage, storage + "/");
  EXPECT_EQ(tvs.version, "3.0.1");
  const Outcome solo = Read(kSolo, vault);
  EXPECT_EQ(solo.message, "");
  EXPECT_EQ(solo.databaseFile, database);
  EXPECT_EQ(solo.version, "2.1.0");
}

TEST_F(DiscoveryConfigReaders, TvsInfoPrefersTheFileInsideTheVaultFolder) {
  writeAbove(ini());
  LocalVaultIni inside = ini();
  inside.rootFolder = storage + "/";
  inside.products = "Tavrin Vault=inside\n";
  dir.write("Server/Vault/LocalVault.ini", inside.text());
  const Outcome tvs = Read(kTvs, vault);
  EXPECT_EQ(tvs.version, "inside");
  EXPECT_EQ(tvs.storage, storage + "/");  // already ending with "/": unchanged
  EXPECT_EQ(Read(kSolo, vault).version, "2.1.0");
}

TEST_F(DiscoveryConfigReaders, OnlyTvsInfoLooksInsideTheVaultFolder) {
  dir.write("Server/Vault/LocalVault.ini", ini("Oracle").text());
  const std::string above = vault + "../LocalVault.ini";
  EXPECT_EQ(Read(kTvs, vault).message, "Could not use Oracle DataSourceType for data import");
  EXPECT_EQ(Read(kOra, vault).message, "Could not find Tavrin Vault configuration file " + above);
  EXPECT_EQ(Read(kSolo, vault).message, "Could not find Solo Vault configuration file " + above);
}

TEST_F(DiscoveryConfigReaders, AMissingFileNamesTheLastCandidate) {
  const std::string above = vault + "../LocalVault.ini";
  EXPECT_EQ(Read(kTvs, vault).message, "Could not find Tavrin Vault configuration file " + above);
  EXPECT_EQ(Read(kTvsSolo, vault).message, "Could not find Solo Vault configuration file " + above);
  EXPECT_EQ(Read(kOutpost, vault).message, "Could not find OutpostVault configuration file " +
                                               vault + "_TavrinVaultResources/Private/Config.ini");
  // Without its trailing "/" the folder's last name runs into the candidate.
  writeAbove(ini());
  const std::string noDelimiter = vault.substr(0, vault.size() - 1);
  EXPECT_EQ(Read(kSolo, noDelimiter).message,
            "Could not find Solo Vault configuration file " + noDelimiter + "../LocalVault.ini");
}

TEST_F(DiscoveryConfigReaders, DataSourceTypesAreComparedExactly) {
  const struct {
    std::string dataSource;
    const Reader* reader;
    std::string message;
  } cases[] = {
      {"firebird", &kTvs, "Could not use firebird DataSourceType for data import"},
      {"firebird", &kSolo, "Could not use firebird DataSourceType for data import"},
      {"Firebird", &kOra, "Could not use Firebird DataSourceType for data import"},
      {"Oracle", &kTvs, "Could not use Oracle DataSourceType for data import"},
      {"Oracle", &kSolo, "Could not use Oracle DataSourceType for data import"},
      {"Oracle", &kOra, ""},
      {"ORACLE", &kOra, "Could not use ORACLE DataSourceType for data import"},
  };
  for (const auto& c : cases) {
    writeAbove(ini(c.dataSource));
    EXPECT_EQ(Read(*c.reader, vault).message, c.message) << c.dataSource;
  }
  writeAbove("[General]\n[Vault]\nFileStorageType=FileSystem\n");
  EXPECT_EQ(Read(kTvs, vault).message, "Could not use  DataSourceType for data import");
}

TEST_F(DiscoveryConfigReaders, AFailureLeavesTheValuesReadSoFar) {
  LocalVaultIni values = ini();
  values.databaseFile = "/no/such/vault.fdb";
  writeAbove(values);
  Outcome o = Read(kTvsSolo, vault);
  EXPECT_EQ(o.message, "Could not find Solo Vault database file /no/such/vault.fdb");
  EXPECT_EQ(o.databaseFile, "/no/such/vault.fdb");
  EXPECT_EQ(o.storage, "<unset>");
  EXPECT_EQ(o.version, "<unset>");

  values = ini();
  values.rootFolder = storage + "/missing";
  writeAbove(values);
  o = Read(kTvs, vault);
  EXPECT_EQ(o.message,
            "Could not find Tavrin Vault file storage directory " + storage + "/missing");
  EXPECT_EQ(o.databaseFile, database);
  EXPECT_EQ(o.storage, storage + "/missing");
  EXPECT_EQ(o.version, "<unset>");

  values = ini();
  values.storageType = "Database";
  writeAbove(values);
  o = Read(kSolo, vault);
  EXPECT_EQ(o.message, "Could not use Database FileStorageType for data import");
  EXPECT_EQ(o.databaseFile, database);
  EXPECT_EQ(o.storage, "<unset>");
}

TEST_F(DiscoveryConfigReaders, TheServerVersionFallsBackToTheVaultVersion) {
  const struct {
    const char* products;
    const char* tvs;
    const char* ora;
  } cases[] = {{"Tavrin Vault Server=3.1\nTavrin Vault=3.0\n", "3.1", "3.0"},
               {"Tavrin Vault Server=\nTavrin Vault=3.0\n", "3.0", "3.0"},
               {"Tavrin Vault=3.0\n", "3.0", "3.0"},
               {"", "", ""}};
  for (const auto& c : cases) {
    LocalVaultIni values = ini();
    values.products = c.products;
    writeAbove(values);
    EXPECT_EQ(Read(kTvs, vault).version, c.tvs) << c.products;
    values.dataSource = "Oracle";
    writeAbove(values);
    const Outcome ora = Read(kOra, vault);
    EXPECT_EQ(ora.message, "");
    EXPECT_EQ(ora.version, c.ora) << c.products;
    EXPECT_EQ(ora.databaseFile, "<unset>");
  }
}

// Restores the current folder when the test ends.
class InFolder {
 public:
  explicit InFolder(const std::filesystem::path& folder) : saved_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  ~InFolder() { std::filesystem::current_path(saved_); }

 private:
  std::filesystem::path saved_;
};

TEST_F(DiscoveryConfigReaders, RelativeLocalVaultPathsAreTakenFromTheCurrentFolder) {
  LocalVaultIni values = ini();
  values.databaseFile = "data/vault.fdb";
  values.rootFolder = "files";
  writeAbove(values);
  EXPECT_EQ(Read(kTvs, vault).message, "Could not find Tavrin Vault database file data/vault.fdb");
  InFolder here(dir.path());
  const Outcome o = Read(kTvs, vault);
  EXPECT_EQ(o.message, "");
  EXPECT_EQ(o.databaseFile, "data/vault.fdb");
  EXPECT_EQ(o.storage, "files/");
}

TEST_F(DiscoveryConfigReaders, OutpostPathsAreRelativeToTheVaultFolder) {
  const std::string outpost = dir.mkdir("Outpost").string() + "/";
  dir.write("Outpost/db/outpost.fdb", "");
  dir.mkdir("Outpost/Storage");
  dir.write("Outpost/_TavrinVaultResources/Private/Config.ini",
            "[DataSource]\nDataSourceType=Firebird\nDatabaseFile=db/outpost.fdb\n"
            "[FileStorage]\nFileStorageType=FileSystem\nRootFolder=Storage\n");
  Outcome o = Read(kOutpost, outpost);
  EXPECT_EQ(o.message, "");
  EXPECT_EQ(o.databaseFile, outpost + "db/outpost.fdb");
  EXPECT_EQ(o.storage, outpost + "Storage/");

  dir.write("Outpost/_TavrinVaultResources/Private/Config.ini",
            "[DataSource]\nDataSourceType=Firebird\nDatabaseFile=db/outpost.fdb\n"
            "[FileStorage]\nFileStorageType=FileSystem\nRootFolder=Gone\n");
  o = Read(kOutpost, outpost);
  EXPECT_EQ(o.message, "Could not find OutpostVault file storage directory " + outpost + "Gone");
  EXPECT_EQ(o.databaseFile, outpost + "db/outpost.fdb");
  EXPECT_EQ(o.storage, outpost + "Gone");

  dir.write("Outpost/_TavrinVaultResources/Private/Config.ini",
            "[DataSource]\nDataSourceType=Firebird\nDatabaseFile=" + database + "\n");
  EXPECT_EQ(Read(kOutpost, outpost).message,
            "Could not find OutpostVault database file " + outpost + database);
}

}  // namespace
}  // namespace movrano
