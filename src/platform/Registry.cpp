#include "platform/Registry.h"

#include <system_error>

#include "platform/Paths.h"
#include "platform/RegularFile.h"
#include "platform/Text.h"

namespace movrano {

namespace {

// The names of a key path, without the delimiters at its ends.
std::vector<std::string_view> PathNames(std::string_view path) {
  while (!path.empty() && path.front() == '\\')
    path.remove_prefix(1);
  while (!path.empty() && path.back() == '\\')
    path.remove_suffix(1);
  std::vector<std::string_view> names;
  if (path.empty()) return names;
  for (size_t start = 0;;) {
    const size_t cut = path.find('\\', start);
    names.push_back(path.substr(start, cut - start));
    if (cut == std::string_view::npos) return names;
    start = cut + 1;
  }
}

size_t RootNode(RegistryRoot root) {
  return root == RegistryRoot::LocalMachine ? 0 : 1;
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

std::optional<size_t> RegistryContent::find(RegistryRoot root, std::string_view path) const {
  size_t node = RootNode(root);
  for (const std::string_view name : PathNames(path)) {
    const auto it = children_.find(ChildKey(node, UpperCase(name)));
    if (it == children_.end()) return std::nullopt;
    node = it->second;
  }
  if (!nodes_[node].exists) return std::nullopt;
  return node;
}

size_t RegistryContent::add(RegistryRoot root, std::string_view path) {
  size_t node = RootNode(root);
  const auto names = PathNames(path);
  if (names.empty()) nodes_[node].exists = true;
  // Every ancestor exists as well.
  for (const std::string_view name : names) {
    const auto [it, added] = children_.try_emplace(ChildKey(node, UpperCase(name)), nodes_.size());
    if (added) nodes_.push_back(Node{std::string(name), node, true, {}});
    node = it->second;
  }
  return node;
}

std::string RegistryContent::pathOf(size_t node) const {
  std::vector<const std::string*> names;
  for (; node != nodes_[node].parent; node = nodes_[node].parent)
    names.push_back(&nodes_[node].name);
  std::string path;
  for (auto it = names.rbegin(); it != names.rend(); ++it) {
    if (!path.empty()) path += '\\';
    path += **it;
  }
  return path;
}

std::optional<RegistryKey> RegistryContent::openKeyReadOnly(RegistryRoot root,
                                                            std::string_view path) const {
  const auto node = find(root, path);
  if (!node) return std::nullopt;
  return RegistryKey(pathOf(*node), nodes_[*node].values);
}

void RegistryContent::addKey(RegistryRoot root, std::string_view path) {
  add(root, path);
}

// The key leaves the tree with everything below it, each node once.
void RegistryContent::removeKey(RegistryRoot root, std::string_view path) {
  const auto top = find(root, path);
  if (!top) return;
  std::vector<size_t> pending{*top};
  while (!pending.empty()) {
    const size_t node = pending.back();
    pending.pop_back();
    const auto first = children_.lower_bound(ChildKey(node, std::string()));
    auto last = first;
    for (; last != children_.end() && last->first.first == node; ++last)
      pending.push_back(last->second);
    children_.erase(first, last);
    nodes_[node].values.clear();
  }
  Node& removed = nodes_[*top];
  if (removed.parent == *top) {
    removed.exists = false;  // a root: it stays, empty and unlisted
  } else {
    children_.erase(ChildKey(removed.parent, UpperCase(removed.name)));
  }
}

void RegistryContent::setValue(RegistryRoot root, std::string_view path, std::string_view name,
                               RegistryValue value) {
  nodes_[add(root, path)].values[UpperCase(name)] = std::move(value);
}

void RegistryContent::removeValue(RegistryRoot root, std::string_view path, std::string_view name) {
  if (const auto node = find(root, path)) nodes_[*node].values.erase(UpperCase(name));
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
  std::optional<std::string> bytes;
  try {
    bytes = ReadRegularFile(file_);
  } catch (const EOSError&) {
  }
  if (!bytes) throw ERegistryException(Format("Cannot read the registry file %s", file_.string()));
  read_ = std::make_shared<const RegistryContent>(RegistryContent::Parse(*bytes, file_.string()));
  readStamp_ = stamp;
  return read_;
}

std::filesystem::path DefaultRegistryFile() {
  return ExecutableFolder() / "Registry.reg";
}

}  // namespace movrano
