// The first three steps of the catalog migration on real server vaults:
// whether there is a part catalog, whether it is empty, and the part GUIDs
// of the component items' revision archives.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "catalog/ArchiveIniText.h"
#include "catalog/CatalogFixture.h"
#include "catalog/ZipFixture.h"
#include "engine/EngineHarness.h"
#include "platform/Exceptions.h"
#include "services/soap/Cancellation.h"
#include "statements/uSQLManager.h"
#include "support/platform/TempDir.h"

namespace movrano::testing {
namespace {

namespace fs = std::filesystem;
using Guids = std::vector<std::string>;

// A component item of the sample's folder, without revisions.
void AddComponent(db::Connection& c, const std::string& hrid) {
  c.executeDirect(
      "insert into TLU_ITEM (GUID, HRID, FOLDERGUID, CONTENTTYPEGUID, CREATEDAT, CREATEDBYGUID, "
      "LASTMODIFIEDAT) values ('{" +
      hrid + "}', '" + hrid +
      "', '{01020001-3C5E-4A7B-9D1F-2E4A6C8B0D1F}', "
      "'{01040001-3C5E-4A7B-9D1F-2E4A6C8B0D1F}', current_timestamp, 'u', current_timestamp)");
}

class Discovery : public ::testing::Test {
 protected:
  std::string archive(const std::string& hrid) const {
    return bench.vault.fileStorageFolder() + "ItemRevisions/" + hrid + "/" + hrid + ".zip";
  }

  DeployedStatements statements;
  CatalogBench bench;
};

TEST_F(Discovery, APartCatalogExistsWhereItsTablesDo) {
  EXPECT_TRUE(bench.Manager()->PCLExists());
  CatalogBench none(FreshInstall(PartCatalog::None));
  EXPECT_FALSE(none.Manager()->PCLExists());
  EXPECT_TRUE(bench.log.empty());
}

TEST_F(Discovery, AnEmptyPartCatalogPasses) {
  EXPECT_NO_THROW(bench.Manager()->CheckPCLIsEmpty());
}

TEST_F(Discovery, APartCatalogWithRowsIsRefusedWithItsRowCount) {
  CatalogBench filled(SampleContent(PartCatalog::Filled));
  EXPECT_EQ(Raised([&] { filled.Manager()->CheckPCLIsEmpty(); }),
            "EMovrano Destination Catalog database is not empty - it already has 23 rows!");
  for (int i = 0; i < 5; ++i) {
    bench.dest->executeDirect(
        "insert into CAT_MORGANIZATION (GUID, HRID, NAME, CREATEDAT, CREATEDBYGUID, "
        "LASTMODIFIEDAT) values ('m" +
        std::to_string(i) + "', 'h', 'n', current_timestamp, 'u', current_timestamp)");
  }
  EXPECT_EQ(Raised([&] { bench.Manager()->CheckPCLIsEmpty(); }),
            "EMovrano Destination Catalog database is not empty - it already has 5 rows!");
}

TEST_F(Discovery, ACountThatIsNoNumberCannotBeConverted) {
  TempDir dir;
  for (const char* count : {"SELECT CAST(NULL AS INTEGER) FROM RDB$DATABASE",
                            "SELECT 1 FROM RDB$DATABASE WHERE 1 = 0"}) {
    SCOPED_TRACE(count);
    DeployedStatements own(false);
    SQLManager().LoadFromFile(
        dir.write("own.sql", std::string("--$ sql_total_PCLRow_count\n") + count + "\n").string());
    SQLManager().LoadFromFile(DeployedStatementFile());
    EXPECT_EQ(Raised([&] { bench.Manager()->CheckPCLIsEmpty(); }).rfind("EVariantTypeCastError", 0),
              0u);
  }
}

TEST_F(Discovery, AStatementTheFilesLackFailsAtTheDatabase) {
  DeployedStatements none(false);
  EXPECT_THROW(bench.Manager()->PCLExists(), db::EDatabaseError);
  EXPECT_THROW(bench.Manager()->CheckPCLIsEmpty(), db::EDatabaseError);
  EXPECT_THROW(bench.Manager()->GetPCLGUIDs(), db::EDatabaseError);
}

TEST_F(Discovery, FindsTheGuidsOfTheComponentArchivesInTheirOrder) {
  auto manager = bench.Manager();
  manager->GetPCLGUIDs();
  EXPECT_EQ(manager->PCLGUIDs(), SamplePartGuids());
  EXPECT_EQ(bench.log, Guids{"Get manufacturer's items"});
}

TEST_F(Discovery, AVaultWithoutComponentsFindsNothingAndCopiesNothing) {
  CatalogBench fresh(FreshInstall());
  auto manager = fresh.Manager();
  manager->GetPCLGUIDs();
  EXPECT_TRUE(manager->PCLGUIDs().empty());
  manager->CopyPCLData();
  EXPECT_EQ(fresh.log, Guids{"Get manufacturer's items"});
  EXPECT_TRUE(fresh.service.Server().Requests().empty());
  EXPECT_EQ(CatalogRowCount(*fresh.dest), 0);
}

TEST_F(Discovery, AMissingArchiveIsLoggedAndTheNextRowIsRead) {
  AddComponent(*bench.dest, "CMP-0000");  // never had an archive
  fs::remove(archive("CMP-0001"));
  fs::create_directories(archive("CMP-0001"));  // a folder of that name is no archive
  auto manager = bench.Manager();
  manager->GetPCLGUIDs();
  EXPECT_EQ(bench.log,
            (Guids{"Get manufacturer's items", archive("CMP-0000") + " - does not exist!",
                   archive("CMP-0001") + " - does not exist!"}));
  EXPECT_EQ(manager->PCLGUIDs(), Guids{SamplePartGuids()[2]});
}

TEST_F(Discovery, WithoutALogCallbackTheSameGuidsAreFound) {
  fs::remove(archive("CMP-0001"));
  auto manager = bench.Manager(false);
  manager->GetPCLGUIDs();
  EXPECT_EQ(manager->PCLGUIDs(), Guids{SamplePartGuids()[2]});
  EXPECT_TRUE(bench.log.empty());
}

TEST_F(Discovery, EveryFileEntryCountsInOrderAndDuplicatesStay) {
  WriteZip(archive("CMP-0001"), {{"CMP-0001/Revision.ini", PartGuidListIni({"{A}", "{B}"})},
                                 ZipEntry::Folder("CMP-0001/PartGuidList/"),
                                 {"CMP-0001/Model.dat", "binary\x01\x02"},
                                 {"CMP-0001/notes.txt", PartGuidListIni({"{C}", "{A}"})}});
  WriteZip(archive("CMP-0002"), {{"Revision.ini", PartGuidListIni({"{B}"})}});
  auto manager = bench.Manager();
  manager->GetPCLGUIDs();
  EXPECT_EQ(manager->PCLGUIDs(), (Guids{"{A}", "{B}", "{C}", "{A}", "{B}"}));
}

// A revision archive as the vault product may write it: a large part model
// beside the revision's INI file, compressed with any method 7-Zip reads.
TEST_F(Discovery, EntriesOfEveryMethodAndOfAnySizeAreRead) {
  std::string model(3 << 20, '\0');
  for (size_t i = 0; i < model.size(); ++i)
    model[i] = static_cast<char>(i % 251 == 0 ? '\n' : (i * 7919) % 256);
  for (const ZipMethod method : {ZipMethod::Bzip2, ZipMethod::Lzma, ZipMethod::Xz}) {
    SCOPED_TRACE(static_cast<int>(method));
    WriteZip(
        archive("CMP-0001"),
        {{"CMP-0001/Model.bin", model}, {"CMP-0001/Revision.ini", PartGuidListIni({"{A}", "{B}"})}},
        method);
    auto manager = bench.Manager();
    manager->GetPCLGUIDs();
    EXPECT_EQ(manager->PCLGUIDs(), (Guids{"{A}", "{B}", SamplePartGuids()[2]}));
  }
}

// Values of 60 KB, thousands of them, once took gigabytes and went to the
// catalog service: the first one ends the discovery.
TEST_F(Discovery, AListedValueTooLongForAGuidEndsTheDiscovery) {
  const std::string longValue(60 * 1024, 'F');
  WriteZip(archive("CMP-0001"),
           {{"Revision.ini", PartGuidListIni({"{A}", longValue, longValue, longValue})}});
  EXPECT_EQ(Raised([&] { bench.Manager()->GetPCLGUIDs(); }),
            "Exception Revision.ini in " + archive("CMP-0001") +
                ": PartGuid1 is longer than 256 bytes, which no part GUID is");
}

TEST_F(Discovery, AnArchiveListingMorePartGuidsThanAnyItemEndsTheDiscovery) {
  Guids half;
  for (int i = 0; i <= TPartGuidListReader::kDefaultListLimit / 2; ++i)
    half.push_back("{" + std::to_string(i) + "}");
  WriteZip(archive("CMP-0001"),
           {{"Revision.ini", PartGuidListIni(half)}, {"Copy.ini", PartGuidListIni(half)}});
  EXPECT_EQ(Raised([&] { bench.Manager()->GetPCLGUIDs(); }),
            "EMovrano " + archive("CMP-0001") +
                " lists more than 100000 part GUIDs, which no item's archive does");
}

// 163 KB of records pointing at one 50 MB entry once decoded for hours.
TEST_F(Discovery, AnArchiveWhoseEntriesShareDataEndsTheDiscovery) {
  RawZipEntry revision = RawZipEntry::Stored("Revision.ini", PartGuidListIni({"{A}"}));
  std::vector<RawZipEntry> records(50, revision);
  for (size_t i = 1; i < records.size(); ++i)
    records[i].recordAt = 0;
  WriteRawZip(archive("CMP-0001"), records);
  EXPECT_EQ(Raised([&] { bench.Manager()->GetPCLGUIDs(); }),
            "Exception Can not open file " + archive("CMP-0001") +
                " as a ZIP archive: Zip archive inconsistent: entries overlap");
}

// The worker's termination reaches the discovery inside an entry: the
// reading ends at the next piece, with what the check raised.
TEST_F(Discovery, ATerminationEndsTheReadingOfAnEntry) {
  std::string model(4 << 20, '\0');
  for (size_t i = 0; i < model.size(); ++i)
    model[i] = static_cast<char>((i * 7919) % 251);
  WriteZip(archive("CMP-0001"), {{"CMP-0001/Model.bin", model}}, ZipMethod::Store);
  int checks = 0;
  int checksWhenAsked = 0;
  const soap::CancellationScope cancellation([&] {
    if (++checks == 5) {
      checksWhenAsked = checks;
      RaiseMigrationError("Abort");
    }
  });
  auto manager = bench.Manager();
  EXPECT_EQ(Raised([&] { manager->GetPCLGUIDs(); }), "EMovrano Abort");
  EXPECT_EQ(checks, checksWhenAsked);
  EXPECT_EQ(manager->PCLGUIDs(), Guids{});
}

TEST_F(Discovery, ASecondCallAppendsTheSameGuidsAgain) {
  auto manager = bench.Manager();
  manager->GetPCLGUIDs();
  manager->GetPCLGUIDs();
  Guids twice = SamplePartGuids();
  twice.insert(twice.end(), SamplePartGuids().begin(), SamplePartGuids().end());
  EXPECT_EQ(manager->PCLGUIDs(), twice);
}

TEST_F(Discovery, AFileThatIsNoZipArchiveEndsTheDiscovery) {
  {
    std::ofstream out(archive("CMP-0002"), std::ios::trunc);
    out << "[PartGuidList]\nPartGuid0={X}\n";
  }
  EXPECT_EQ(Raised([&] { bench.Manager()->GetPCLGUIDs(); }),
            "Exception Can not open file " + archive("CMP-0002") +
                " as a ZIP archive: Not a zip archive");
}

TEST_F(Discovery, AnEntryThatCannotBeExtractedEndsTheDiscovery) {
  WriteDamagedZip(archive("CMP-0001"), "Revision.ini", PartGuidListIni({"{A}"}));
  EXPECT_EQ(Raised([&] { bench.Manager()->GetPCLGUIDs(); }),
            "Exception Can not extract Revision.ini from " + archive("CMP-0001") + ": CRC error");
}

TEST_F(Discovery, TheStorageRootGetsOneTrailingDelimiter) {
  std::string root = bench.vault.fileStorageFolder();
  root.pop_back();
  auto manager = bench.ManagerFor(root);
  EXPECT_EQ(manager->DestFileStoragePath(), root + "/");
  manager->GetPCLGUIDs();
  EXPECT_EQ(manager->PCLGUIDs(), SamplePartGuids());
  EXPECT_EQ(bench.ManagerFor(root + "/")->DestFileStoragePath(), root + "/");
  EXPECT_EQ(bench.ManagerFor("")->DestFileStoragePath(), "/");
}

}  // namespace
}  // namespace movrano::testing
