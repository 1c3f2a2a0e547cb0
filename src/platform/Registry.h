#pragma once
// The read-only registry the vault products are found in. On Linux it is a
// registry export in the ".reg" text format ("Registry.reg" beside the
// executable; a missing file is an empty registry). Key paths and value
// names compare without regard to case; a key exists also when only its
// sub-keys are listed.
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Exceptions.h"

namespace movrano {

MOVRANO_DECLARE_EXCEPTION(ERegistryException, Exception);

enum class RegistryRoot { LocalMachine, CurrentUser };

enum class RegistryValueType : uint32_t {
  None = 0,
  String = 1,
  ExpandString = 2,
  Binary = 3,
  DWord = 4,
  MultiString = 7,
  QWord = 11,
};

struct RegistryValue {
  RegistryValueType type = RegistryValueType::None;
  std::string text;           // String and ExpandString, as UTF-8
  std::vector<uint8_t> data;  // every other type, as stored
};

// An opened key: a copy of its values.
class RegistryKey {
 public:
  RegistryKey(std::string path, std::map<std::string, RegistryValue> valuesByUpperName);

  const std::string& path() const { return path_; }
  bool valueExists(std::string_view name) const;
  // A string or expandable string exactly as stored (references are not
  // expanded); the empty text when the value is missing. A value of any
  // other type raises ERegistryException "Invalid data type for '<name>'".
  std::string readString(std::string_view name) const;

 private:
  const RegistryValue* find(std::string_view name) const;

  std::string path_;
  std::map<std::string, RegistryValue> values_;
};

class Registry {
 public:
  virtual ~Registry() = default;
  // The key for reading; nullopt when it does not exist.
  virtual std::optional<RegistryKey> openKeyReadOnly(RegistryRoot root,
                                                     std::string_view path) const = 0;
};

// A registry held in memory, filled from a ".reg" export.
class RegistryContent final : public Registry {
 public:
  // Parses an export (REGEDIT4 or version 5.00, UTF-16 LE with its mark or
  // 8-bit). A malformed line raises ERegistryException naming `source` and
  // the line number. Keys of roots other than the two readable ones are
  // skipped.
  static RegistryContent Parse(std::string_view fileBytes, std::string_view source = "registry");

  std::optional<RegistryKey> openKeyReadOnly(RegistryRoot root,
                                             std::string_view path) const override;

  void addKey(RegistryRoot root, std::string_view path);
  void removeKey(RegistryRoot root, std::string_view path);
  void setValue(RegistryRoot root, std::string_view path, std::string_view name,
                RegistryValue value);
  void removeValue(RegistryRoot root, std::string_view path, std::string_view name);

 private:
  // One key of a tree: each holds only its own name, so that memory stays
  // linear in the export however deep its paths go.
  struct Node {
    std::string name;  // as first written
    size_t parent = 0;
    bool exists = true;                           // a root exists once listed
    std::map<std::string, RegistryValue> values;  // by upper-case name
  };
  using ChildKey = std::pair<size_t, std::string>;  // parent, upper-case name

  std::optional<size_t> find(RegistryRoot root, std::string_view path) const;
  size_t add(RegistryRoot root, std::string_view path);
  std::string pathOf(size_t node) const;

  // The two roots first; a removed key's node stays unreachable.
  std::vector<Node> nodes_{Node{"", 0, false, {}}, Node{"", 1, false, {}}};
  std::map<ChildKey, size_t> children_;
};

// The export file, read at the first opening of a key and read again only
// when its size or modification time has changed since (an export may be
// tens of megabytes). Safe to use from several threads.
class RegistryFile final : public Registry {
 public:
  explicit RegistryFile(std::filesystem::path file);
  std::optional<RegistryKey> openKeyReadOnly(RegistryRoot root,
                                             std::string_view path) const override;

 private:
  struct Stamp {
    uintmax_t size = 0;
    std::filesystem::file_time_type time;
    bool operator==(const Stamp&) const = default;
  };
  // The content as the file holds it now; nullptr when there is no file.
  std::shared_ptr<const RegistryContent> content() const;

  std::filesystem::path file_;
  mutable std::mutex mutex_;
  mutable std::optional<Stamp> readStamp_;
  mutable std::shared_ptr<const RegistryContent> read_;
};

// "Registry.reg" beside the executable.
std::filesystem::path DefaultRegistryFile();

}  // namespace movrano
