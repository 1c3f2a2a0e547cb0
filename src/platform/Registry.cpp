#include "platform/Registry.h"

#include <fstream>
#include <iterator>
#include <system_error>

#include "platform/Paths.h"
#include "platform/Text.h"

namespace movrano {

namespace {

std::string NormalizedPath(std::string_view path) {
  size_t begin = 0;
  size_t end = path.size();
  while (begin < end && path[begin] == '\\')
    ++begin;
  while (end > begin && path[end - 1] == '\\')
    --end;
  return std::string(path.substr(begin, end - begin));
}

std::string StorageKey(RegistryRoot root, std::string_view path) {
  return (root == RegistryRoot::LocalMachine ? "HKLM\\" : "HKCU\\") +
         UpperCase(NormalizedPath(path));
}

}  // namespace

RegistryKey::RegistryKey(std::string path, std::map<std::string, RegistryValue> valuesByUpperName)
    : path_(std::move(path)), values_(std::move(valuesByUpperName)) {}

const RegistryValue* RegistryKey::find(std::string_view name) const {
  const auto it = values_.find(UpperCase(name));
  return it == values_.end() ? nullptr : &it->second;
}

bool RegistryKey::valueExists(std::string_view name) const {
  return find(name) != nullptr;
}

std::string RegistryKey::readString(std::string_view name) const {
  const RegistryValue* value = find(name);
  if (!value) return {};
  if (value->type != RegistryValueType::String && value->type != RegistryValueType::ExpandString) {
    throw ERegistryException(Format("Invalid data type for '%s'", name));
  }
  return value->text;
}

std::optional<RegistryKey> RegistryContent::openKeyReadOnly(RegistryRoot root,
                                                            std::string_view path) const {
  const auto it = keys_.find(StorageKey(root, path));
  if (it == keys_.end()) return std::nullopt;
  return RegistryKey(it->second.path, it->second.values);
}

void RegistryContent::addKey(RegistryRoot root, std::string_view path) {
  const std::string normalized = NormalizedPath(path);
  // Every ancestor exists as well.
  for (size_t cut = normalized.find('\\'); cut != std::string::npos;
       cut = normalized.find('\\', cut + 1)) {
    keys_.try_emplace(StorageKey(root, normalized.substr(0, cut)),
                      Key{normalized.substr(0, cut), {}});
  }
  keys_.try_emplace(StorageKey(root, normalized), Key{normalized, {}});
}

void RegistryContent::removeKey(RegistryRoot root, std::string_view path) {
  const std::string key = StorageKey(root, path);
  const std::string below = key + "\\";
  for (auto it = keys_.begin(); it != keys_.end();) {
    const bool match = it->first == key || it->first.compare(0, below.size(), below) == 0;
    it = match ? keys_.erase(it) : std::next(it);
  }
}

void RegistryContent::setValue(RegistryRoot root, std::string_view path, std::string_view name,
                               RegistryValue value) {
  addKey(root, path);
  keys_[StorageKey(root, path)].values[UpperCase(name)] = std::move(value);
}

void RegistryContent::removeValue(RegistryRoot root, std::string_view path, std::string_view name) {
  const auto it = keys_.find(StorageKey(root, path));
  if (it != keys_.end()) it->second.values.erase(UpperCase(name));
}

RegistryFile::RegistryFile(std::filesystem::path file) : file_(std::move(file)) {}

std::optional<RegistryKey> RegistryFile::openKeyReadOnly(RegistryRoot root,
                                                         std::string_view path) const {
  const auto registry = content();
  if (!registry) return std::nullopt;
  return registry->openKeyReadOnly(root, path);
}

std::shared_ptr<const RegistryContent> RegistryFile::content() const {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!fs::exists(file_, ec)) {
    const std::lock_guard<std::mutex> lock(mutex_);
    readStamp_.reset();
    read_.reset();
    return nullptr;
  }
  const uintmax_t size = fs::file_size(file_, ec);
  const fs::file_time_type time = ec ? fs::file_time_type() : fs::last_write_time(file_, ec);
  const std::optional<Stamp> stamp = ec ? std::nullopt : std::optional<Stamp>(Stamp{size, time});

  const std::lock_guard<std::mutex> lock(mutex_);
  if (stamp && stamp == readStamp_) return read_;
  std::ifstream in(file_, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in.good() && !in.eof()) {
    throw ERegistryException(Format("Cannot read the registry file %s", file_.string()));
  }
  read_ = std::make_shared<const RegistryContent>(RegistryContent::Parse(bytes, file_.string()));
  readStamp_ = stamp;
  return read_;
}

std::filesystem::path DefaultRegistryFile() {
  return ExecutableFolder() / "Registry.reg";
}

}  // namespace movrano
