// Files the user points at, at the sizes they reach in the field: the part
// GUID discovery's reading of an archive entry of a gigabyte (peak memory)
// and lookups in a registry export of some sixty megabytes (time per
// lookup); and files of hostile shape at two sizes each, so that the cost
// shows whether it grows linearly: a registry export of one deep key path
// and one of many "[-key]" lines, and statement files of many statements
// (time and peak memory); the settings file at its size bound, which is
// read whole for each of its keys, and one of a gigabyte, which is not
// read (time and peak memory).
// Usage: input_files_bench [entry MiB] [registry MiB] [scale]
#include <malloc.h>
#include <sys/resource.h>
#include <zip.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "BenchRounds.h"
#include "app/Settings.h"
#include "catalog/ArchiveIniText.h"
#include "catalog/ZipArchiveReader.h"
#include "platform/Registry.h"
#include "statements/uSQLManager.h"
#include "support/platform/TempDir.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

long PeakMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// An archive of one deflated entry of line breaks followed by the list,
// written from a file so that the text never is in memory whole.
void WriteLineBreakArchive(const fs::path& zipFile, const fs::path& textFile, size_t mib) {
  {
    std::ofstream out(textFile, std::ios::binary);
    const std::string block(1 << 20, '\n');
    for (size_t i = 0; i < mib; ++i)
      out.write(block.data(), static_cast<std::streamsize>(block.size()));
    out << "[PartGuidList]\r\nPartGuid0={7C0A0001-5D2E-4F8B-A1C3-9E7D5B3F1A01}\r\n";
  }
  int code = 0;
  zip_t* archive = zip_open(zipFile.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
  zip_source_t* source = zip_source_file(archive, textFile.c_str(), 0, -1);
  zip_file_add(archive, "Revision.ini", source, 0);
  if (!archive || zip_close(archive) != 0) {
    std::fprintf(stderr, "cannot write %s\n", zipFile.c_str());
    std::exit(1);
  }
  fs::remove(textFile);
}

void DiscoverFromLargeEntry(size_t mib) {
  const movrano::testing::TempDir dir;
  const fs::path zipFile = dir.path() / "CMP-0001.zip";
  WriteLineBreakArchive(zipFile, dir.path() / "Revision.ini", mib);
  const long before = PeakMiB();
  const auto start = Clock::now();
  const movrano::TZipArchiveReader archive(zipFile.string());
  movrano::TPartGuidListReader list;
  archive.ReadItem(0, [&](std::string_view bytes) { list.Feed(bytes); });
  const auto guids = list.Finish();
  std::printf(
      "archive entry of %zu MiB of line breaks: %zu GUID, %.0f ms, peak memory %ld MiB "
      "(%ld MiB before reading)\n",
      mib, guids.size(), MillisecondsSince(start), PeakMiB(), before);
}

void LookUpInLargeRegistry(size_t mib) {
  const movrano::testing::TempDir dir;
  const fs::path file = dir.path() / "Registry.reg";
  {
    std::ofstream out(file, std::ios::binary);
    out << "Windows Registry Editor Version 5.00\r\n\r\n";
    for (size_t i = 0; static_cast<size_t>(out.tellp()) < (mib << 20); ++i) {
      out << "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor" << i % 97 << "\\Product" << i
          << "]\r\n\"Path\"=\"/opt/vendor/product" << i << "\"\r\n\"Version\"=dword:0000000"
          << i % 10 << "\r\n\r\n";
    }
    out << "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tavrin\\Tavrin "
           "Vault\\Vault]\r\n\"Path\"=\"/opt/tvs\"\r\n";
  }
  const movrano::RegistryFile registry(file);
  for (int lookup = 1; lookup <= 5; ++lookup) {
    const auto start = Clock::now();
    const auto key = registry.openKeyReadOnly(movrano::RegistryRoot::LocalMachine,
                                              "SOFTWARE\\Tavrin\\Tavrin Vault\\Vault");
    std::printf("registry export of %zu MiB, lookup %d: %s in %.0f ms\n", mib, lookup,
                key ? key->readString("Path").c_str() : "<none>", MillisecondsSince(start));
  }
}

// Times `load` and prints it with the peak memory it took.
template <typename Load>
void Measure(const char* what, size_t size, const Load& load) {
  // Freed memory goes back first, so that what the load takes shows.
  malloc_trim(0);
  movrano::bench::ResetPeak();
  const long before = movrano::bench::ReadMemory().rssKb;
  const auto start = Clock::now();
  const std::string outcome = load();
  const double ms = MillisecondsSince(start);
  const long peak = movrano::bench::ReadMemory().peakKb;
  std::printf("%-34s %8zu: %8.0f ms, peak %6ld MiB above the start (%s)\n", what, size, ms,
              (peak - before) / 1024, outcome.c_str());
}

std::string ParseRegistry(const std::string& text) {
  try {
    const auto content = movrano::RegistryContent::Parse(text);
    return content.openKeyReadOnly(movrano::RegistryRoot::LocalMachine, "SOFTWARE") ? "key found"
                                                                                    : "no key";
  } catch (const std::exception& e) {
    return e.what();
  }
}

constexpr const char* kRegHeader = "Windows Registry Editor Version 5.00\r\n\r\n";

// One key whose path is `bytes` long, made of one-letter names.
void DeepKeyPath(size_t bytes) {
  std::string text = std::string(kRegHeader) + "[HKEY_LOCAL_MACHINE\\SOFTWARE";
  while (text.size() < bytes)
    text += "\\k";
  text += "]\r\n\"Path\"=\"/opt\"\r\n";
  Measure("registry, one deep key path (bytes)", text.size(), [&] { return ParseRegistry(text); });
}

// Keys, each deleted again by a "[-key]" line.
void DeletedKeys(size_t count) {
  std::string text = std::string(kRegHeader) + "[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n";
  for (size_t i = 0; i < count; ++i)
    text += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\Product" + std::to_string(i) + "]\r\n";
  for (size_t i = 0; i < count; ++i)
    text += "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\Product" + std::to_string(i) + "]\r\n";
  Measure("registry, \"[-key]\" lines", count, [&] { return ParseRegistry(text); });
}

// One statement file of `count` statements, loaded into a fresh catalogue.
void ManyStatements(size_t count) {
  const movrano::testing::TempDir dir;
  {
    std::ofstream out(dir.path() / "Many.sql", std::ios::binary);
    for (size_t i = 0; i < count; ++i) {
      // Names in a scattered order, as a file of many authors lists them.
      out << "--$ sql_statement_" << (i * 7919) % count << "_" << i
          << "\r\nselect * from RDB$DATABASE\r\n";
    }
  }
  Measure("statement file (statements)", count, [&] {
    movrano::TSQLManager catalogue;
    catalogue.LoadFromPath(dir.folder());
    return std::to_string(catalogue.StatementCount()) + " loaded";
  });
}

// A settings file of `bytes` bytes: its settings, then one comment line
// of zero bytes (a sparse file).
void SettingsFile(size_t bytes) {
  const movrano::testing::TempDir dir;
  const fs::path file = movrano::GetSettingsFileName(dir.path());
  std::ofstream(file, std::ios::binary) << "[Settings]\nIDSUserName=stored\n; ";
  fs::resize_file(file, bytes);
  Measure("settings file (bytes)", bytes, [&] {
    movrano::FormModel model;
    const auto message = movrano::ReadSettings(file, model);
    return message ? std::string("not read") : model.text(movrano::FormField::UserName);
  });
}

}  // namespace

int main(int argc, char** argv) {
  const size_t entryMiB = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1024;
  const size_t registryMiB = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 60;
  // Each hostile shape at half and at full size; 1 gives the sizes users met.
  const size_t scale = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 1;
  DiscoverFromLargeEntry(entryMiB);
  LookUpInLargeRegistry(registryMiB);
  for (const size_t bytes : {20000 * scale, 40000 * scale})
    DeepKeyPath(bytes);
  for (const size_t count : {20000 * scale, 40000 * scale})
    DeletedKeys(count);
  for (const size_t count : {100000 * scale, 200000 * scale})
    ManyStatements(count);
  for (const size_t bytes : {movrano::kSettingsFileLimit, size_t{1} << 30})
    SettingsFile(bytes);
}
