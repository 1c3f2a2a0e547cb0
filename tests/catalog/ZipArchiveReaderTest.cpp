// Reading item revision archives: entries, folders, entries read piece by
// piece for every compression method, and the failures that end the
// catalog migration.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "catalog/CatalogFixture.h"
#include "catalog/ZipArchiveReader.h"
#include "catalog/ZipDirectory.h"
#include "catalog/ZipFixture.h"
#include "platform/Exceptions.h"
#include "platform/FileDescriptor.h"
#include "support/platform/TempDir.h"

namespace movrano::testing {
namespace {

std::string SampleArchive(const std::string& hrid) {
  return std::string(MOVRANO_SAMPLE_FILESTORE) + "/ItemRevisions/" + hrid + "/" + hrid + ".zip";
}

// The entry whole, and the lengths of the pieces it came in.
struct ReadEntry {
  std::string bytes;
  std::vector<size_t> pieces;
};

ReadEntry Read(const TZipArchiveReader& archive, int64_t index) {
  ReadEntry entry;
  archive.ReadItem(index, [&](std::string_view piece) {
    entry.bytes.append(piece);
    entry.pieces.push_back(piece.size());
  });
  return entry;
}

std::string Extract(const TZipArchiveReader& archive, int64_t index) {
  return Read(archive, index).bytes;
}

// Bytes that compress somewhat, as a part model's do.
std::string ModelBytes(size_t size) {
  std::string bytes(size, '\0');
  uint32_t x = 12345;
  for (size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345u;
    bytes[i] = static_cast<char>((i % 7 == 0) ? (x >> 24) : ('a' + i % 13));
  }
  return bytes;
}

TEST(ZipArchiveReader, ReadsTheSampleArchiveEntryByEntry) {
  const TZipArchiveReader archive(SampleArchive("CMP-0001"));
  ASSERT_EQ(archive.NumberOfItems(), 3);
  EXPECT_EQ(archive.ItemPath(0), "CMP-0001/");
  EXPECT_TRUE(archive.ItemIsFolder(0));
  EXPECT_EQ(archive.ItemPath(1), "CMP-0001/Revision.ini");
  EXPECT_FALSE(archive.ItemIsFolder(1));
  EXPECT_EQ(Extract(archive, 1).size(), 190u);
  EXPECT_NE(Extract(archive, 1).find("PartGuid0={7C0A0001-5D2E-4F8B-A1C3-9E7D5B3F1A01}\r\n"),
            std::string::npos);
  const std::string model = Extract(archive, 2);
  ASSERT_EQ(model.size(), 1024u);
  for (size_t i = 0; i < model.size(); ++i)
    ASSERT_EQ(static_cast<unsigned char>(model[i]), i % 256) << i;
}

TEST(ZipArchiveReader, ReadsEveryMethodWholeInBoundedPieces) {
  TempDir dir;
  const std::string ini = PartGuidListIni({"{7C0A0001-5D2E-4F8B-A1C3-9E7D5B3F1A01}"});
  const std::string model = ModelBytes(1500 * 1000);
  const struct {
    const char* name;
    ZipMethod method;
  } cases[] = {{"stored", ZipMethod::Store},
               {"deflated", ZipMethod::Deflate},
               {"bzip2", ZipMethod::Bzip2},
               {"lzma", ZipMethod::Lzma},
               {"lzma-no-end", ZipMethod::LzmaWithoutEndMarker},
               {"xz", ZipMethod::Xz}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto file = dir.path() / (std::string(c.name) + ".zip");
    WriteZip(file, {{"empty.ini", ""}, {"Revision.ini", ini}, {"Model.bin", model}}, c.method);
    const TZipArchiveReader archive(file.string());
    ASSERT_EQ(archive.NumberOfItems(), 3);
    EXPECT_EQ(Extract(archive, 0), "");
    EXPECT_EQ(Extract(archive, 1), ini);
    const ReadEntry big = Read(archive, 2);
    EXPECT_TRUE(big.bytes == model);
    EXPECT_GE(big.pieces.size(), model.size() / TZipArchiveReader::kPieceSize);
    for (const size_t piece : big.pieces)
      ASSERT_LE(piece, TZipArchiveReader::kPieceSize);
  }
}

TEST(ZipArchiveReader, AnLzmaHeaderAskingForAHugeDictionaryTakesOnlyTheEntrysSize) {
  TempDir dir;
  const std::string ini = PartGuidListIni({"{A}"});
  RawZipEntry entry = RawZipEntry::Compressed("Revision.ini", ini, ZipMethod::Lzma);
  for (int i = 5; i < 9; ++i)
    entry.data[i] = '\xFF';  // a 4 GiB dictionary
  const auto file = dir.path() / "dictionary.zip";
  WriteRawZip(file, {entry});
  EXPECT_EQ(Extract(TZipArchiveReader(file.string()), 0), ini);
}

TEST(ZipArchiveReader, DamagedLzmaAndXzEntriesFailToExtract) {
  TempDir dir;
  const std::string ini = PartGuidListIni({"{A}", "{B}"});
  const auto lzma = RawZipEntry::Compressed("Revision.ini", ini, ZipMethod::Lzma);
  const auto xz = RawZipEntry::Compressed("Revision.ini", ini, ZipMethod::Xz);
  const auto changed = [](RawZipEntry e, auto change) {
    change(e);
    return e;
  };
  const struct {
    const char* name;
    RawZipEntry entry;
    const char* reason;
  } cases[] = {
      {"lzma-checksum", changed(lzma, [](RawZipEntry& e) { e.crc ^= 1; }), "CRC error"},
      {"xz-checksum", changed(xz, [](RawZipEntry& e) { e.crc ^= 1; }), "CRC error"},
      {"xz-size", changed(xz, [](RawZipEntry& e) { e.size -= 1; }), "CRC error"},
      {"lzma-cut", changed(lzma, [](RawZipEntry& e) { e.data.resize(e.data.size() / 2); }),
       "Compressed data end unexpectedly"},
      {"xz-cut", changed(xz, [](RawZipEntry& e) { e.data.resize(e.data.size() / 2); }),
       "Compressed data end unexpectedly"},
      {"lzma-header", changed(lzma, [](RawZipEntry& e) { e.data[2] = 4; }),
       "Unsupported LZMA options"},
      {"xz-header", changed(xz, [](RawZipEntry& e) { e.data[0] = 'x'; }), "Not an xz stream"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto file = dir.path() / (std::string(c.name) + ".zip");
    WriteRawZip(file, {c.entry});
    const TZipArchiveReader archive(file.string());
    EXPECT_EQ(Raised([&] { Extract(archive, 0); }),
              "Exception Can not extract Revision.ini from " + file.string() + ": " + c.reason);
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
  EXPECT_EQ(Raised([&] { Extract(archive, 0); }),
            "Exception Can not extract Revision.ini from " + file.string() + ": CRC error");
}

// Records that share data: a few kilobytes read once for every record
// would decode to gigabytes.
TEST(ZipArchiveReader, EntriesWhoseRecordsOverlapAreRefused) {
  TempDir dir;
  const RawZipEntry model = RawZipEntry::Stored("Model.bin", ModelBytes(4096));
  const RawZipEntry inner = RawZipEntry::Stored("inner.ini", PartGuidListIni({"{A}"}));
  RawZipEntry again = model;
  again.name = "Again.bin";
  again.recordAt = 0;
  RawZipEntry nested = inner;
  nested.recordAt = 30 + std::string("outer.bin").size();  // inside the outer entry's data
  const struct {
    const char* name;
    std::vector<RawZipEntry> entries;
  } cases[] = {
      {"same-record", {model, again, again}},
      {"nested-record", {RawZipEntry::Stored("outer.bin", LocalRecord(inner)), nested}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = (dir.path() / (std::string(c.name) + ".zip")).string();
    WriteRawZip(file, c.entries);
    EXPECT_EQ(Raised([&] { TZipArchiveReader archive(file); }),
              "Exception Can not open file " + file +
                  " as a ZIP archive: Zip archive inconsistent: entries overlap");
  }
  // Records side by side, a folder's empty one too, are the usual case.
  const std::string apart = (dir.path() / "apart.zip").string();
  WriteRawZip(apart, {model, RawZipEntry::Stored("Empty/", ""), inner});
  EXPECT_EQ(TZipArchiveReader(apart).NumberOfItems(), 3);
}

// An archive of one stored entry "a" of ten bytes whose directory record
// gives its compressed size in a ZIP64 field.
std::string Zip64Archive(uint64_t compressedSize) {
  std::string bytes;
  const auto put = [&](uint64_t value, int size) {
    for (int i = 0; i < size; ++i)
      bytes += static_cast<char>(value >> (8 * i));
  };
  put(0x04034b50, 4);  // local header
  put(45, 2), put(0, 2), put(0, 2), put(0, 4), put(0, 4);
  put(0xFFFFFFFF, 4), put(0xFFFFFFFF, 4), put(1, 2), put(0, 2);
  bytes += "a0123456789";
  const size_t directory = bytes.size();
  put(0x02014b50, 4);  // directory record
  put(45, 2), put(45, 2), put(0, 2), put(0, 2), put(0, 4), put(0, 4);
  put(0xFFFFFFFF, 4), put(0xFFFFFFFF, 4), put(1, 2), put(20, 2), put(0, 2);
  put(0, 2), put(0, 2), put(0, 4), put(0, 4);
  bytes += "a";
  put(0x0001, 2), put(16, 2), put(10, 8), put(compressedSize, 8);
  const size_t directorySize = bytes.size() - directory;
  put(0x06054b50, 4);  // end of directory
  put(0, 2), put(0, 2), put(1, 2), put(1, 2), put(directorySize, 4), put(directory, 4), put(0, 2);
  return bytes;
}

// A ZIP64 size so large that the entry's end wraps around past zero still
// runs into what follows it.
TEST(ZipDirectory, AnEntryWhoseSizeWrapsAroundOverlaps) {
  TempDir dir;
  const struct {
    uint64_t compressedSize;
    std::optional<std::string> problem;
  } cases[] = {
      {10, std::nullopt},
      {11, "entries overlap"},
      {~uint64_t{0}, "entries overlap"},
      {~uint64_t{0} - 30, "entries overlap"},  // ends where it begins
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.compressedSize);
    const auto file = dir.path() / "zip64.zip";
    std::ofstream(file, std::ios::binary | std::ios::trunc) << Zip64Archive(c.compressedSize);
    const FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_TRUE(fd.valid());
    EXPECT_EQ(OverlappingZipEntries(fd.get(), {}), c.problem);
  }
}

// A cancellation reaches the reading at every piece, whatever the method.
TEST(ZipArchiveReader, TheCheckpointRunsForEveryPieceAndEndsTheReading) {
  TempDir dir;
  const std::string model = ModelBytes(8 * TZipArchiveReader::kPieceSize);
  for (const ZipMethod method : {ZipMethod::Store, ZipMethod::Deflate, ZipMethod::Xz}) {
    SCOPED_TRACE(static_cast<int>(method));
    const auto file = dir.path() / "model.zip";
    WriteZip(file, {{"Model.bin", model}}, method);
    int checks = 0;
    const TZipArchiveReader archive(file.string(), [&] {
      if (++checks == 4) throw Exception("Abort");
    });
    checks = 0;
    size_t read = 0;
    EXPECT_EQ(Raised([&] { archive.ReadItem(0, [&](std::string_view p) { read += p.size(); }); }),
              "Exception Abort");
    EXPECT_EQ(checks, 4);
    EXPECT_LT(read, model.size() / 2);
  }
}

size_t OpenDescriptors() {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                           std::filesystem::directory_iterator()));
}

// A cancellation while the archive is opened, before or during the
// directory check, leaves nothing of it open.
TEST(ZipArchiveReader, ACheckpointRaisingWhileOpeningLeavesNoFileOpen) {
  TempDir dir;
  const auto file = dir.path() / "model.zip";
  WriteZip(file, {{"Model.bin", ModelBytes(4096)}}, ZipMethod::Store);
  for (const int raisingCheck : {1, 2}) {
    SCOPED_TRACE(raisingCheck);
    const size_t before = OpenDescriptors();
    int checks = 0;
    EXPECT_EQ(Raised([&] {
                TZipArchiveReader archive(file.string(), [&] {
                  if (++checks == raisingCheck) throw Exception("Abort");
                });
              }),
              "Exception Abort");
    EXPECT_EQ(checks, raisingCheck);
    EXPECT_EQ(OpenDescriptors(), before);
  }
}

TEST(ZipArchiveReader, AFifoIsRefusedWithoutWaiting) {
  TempDir dir;
  const auto fifo = dir.fifo("CMP-0001.zip");
  EXPECT_TRUE(EndsBesideAnIdleFifo(fifo, [&] {
    EXPECT_EQ(
        Raised([&] { TZipArchiveReader archive(fifo.string()); }),
        "Exception Can not open file " + fifo.string() + " as a ZIP archive: Not a regular file");
  }));
}

}  // namespace
}  // namespace movrano::testing
