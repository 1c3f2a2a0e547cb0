// Reading item revision archives: entries, folders, whole extraction, and
// the failures that end the catalog migration.
#include <gtest/gtest.h>

#include "catalog/CatalogFixture.h"
#include "catalog/ZipArchiveReader.h"
#include "catalog/ZipFixture.h"
#include "platform/Exceptions.h"
#include "support/platform/TempDir.h"

namespace movrano::testing {
namespace {

std::string SampleArchive(const std::string& hrid) {
  return std::string(MOVRANO_SAMPLE_FILESTORE) + "/ItemRevisions/" + hrid + "/" + hrid + ".zip";
}

TEST(ZipArchiveReader, ReadsTheSampleArchiveEntryByEntry) {
  const TZipArchiveReader archive(SampleArchive("CMP-0001"));
  ASSERT_EQ(archive.NumberOfItems(), 3);
  EXPECT_EQ(archive.ItemPath(0), "CMP-0001/");
  EXPECT_TRUE(archive.ItemIsFolder(0));
  EXPECT_EQ(archive.ItemPath(1), "CMP-0001/Revision.ini");
  EXPECT_FALSE(archive.ItemIsFolder(1));
  EXPECT_EQ(archive.ExtractItem(1).size(), 190u);
  EXPECT_NE(archive.ExtractItem(1).find("PartGuid0={7C0A0001-5D2E-4F8B-A1C3-9E7D5B3F1A01}\r\n"),
            std::string::npos);
  const std::string model = archive.ExtractItem(2);
  ASSERT_EQ(model.size(), 1024u);
  for (size_t i = 0; i < model.size(); ++i)
    ASSERT_EQ(static_cast<unsigned char>(model[i]), i % 256) << i;
}

TEST(ZipArchiveReader, ExtractsEntriesWholeStoredOrDeflated) {
  TempDir dir;
  std::string big;
  for (int i = 0; i < 300000; ++i)
    big += static_cast<char>('a' + i % 23);
  for (const bool deflate : {true, false}) {
    const auto file = dir.path() / (deflate ? "deflated.zip" : "stored.zip");
    WriteZip(file, {{"empty.ini", ""}, {"big.bin", big}}, deflate);
    const TZipArchiveReader archive(file.string());
    ASSERT_EQ(archive.NumberOfItems(), 2);
    EXPECT_EQ(archive.ExtractItem(0), "");
    EXPECT_EQ(archive.ExtractItem(1), big);
  }
}

TEST(ZipArchiveReader, TellsFoldersApartByNameOrByAttribute) {
  TempDir dir;
  const auto file = dir.path() / "a.zip";
  WriteZip(file, {ZipEntry::Folder("Docs/"),
                  {"Marked", "", ZipEntry::Kind::FolderByAttribute},
                  {"Docs/Revision.ini", "x"}});
  const TZipArchiveReader archive(file.string());
  ASSERT_EQ(archive.NumberOfItems(), 3);
  EXPECT_TRUE(archive.ItemIsFolder(0));
  EXPECT_TRUE(archive.ItemIsFolder(1));
  EXPECT_FALSE(archive.ItemIsFolder(2));
}

TEST(ZipArchiveReader, AFileThatIsNoZipArchiveCannotBeOpened) {
  TempDir dir;
  const std::string text = dir.write("text.zip", "[PartGuidList]\nPartGuid0=A\n").string();
  EXPECT_EQ(Raised([&] { TZipArchiveReader archive(text); }),
            "Exception Can not open file " + text + " as a ZIP archive: Not a zip archive");
  const std::string empty = dir.write("empty.zip", "").string();
  EXPECT_EQ(Raised([&] { TZipArchiveReader archive(empty); }),
            "Exception Can not open file " + empty + " as a ZIP archive: Not a zip archive");
  const std::string missing = dir.folder() + "missing.zip";
  EXPECT_NE(Raised([&] { TZipArchiveReader archive(missing); }), "");
}

TEST(ZipArchiveReader, ADamagedEntryFailsToExtract) {
  TempDir dir;
  const auto file = dir.path() / "damaged.zip";
  WriteDamagedZip(file, "Revision.ini", PartGuidListIni({"{A}", "{B}"}));
  const TZipArchiveReader archive(file.string());
  ASSERT_EQ(archive.NumberOfItems(), 1);
  EXPECT_EQ(Raised([&] { archive.ExtractItem(0); }),
            "Exception Can not extract Revision.ini from " + file.string() + ": CRC error");
}

}  // namespace
}  // namespace movrano::testing
