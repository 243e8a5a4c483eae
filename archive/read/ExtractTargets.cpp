#include "archive/read/ExtractTargets.h"

#include <algorithm>

#include "archive/format/Names.h"
#include "archive/io/FileSystem.h"

namespace archive {

namespace {

EarlyEnd Refused(std::string why, UnzipStatus status = UnzipStatus::kMemberError) {
  return {status, std::move(why)};
}

}  // namespace

std::optional<EarlyEnd> ExtractTargets::Resolve(const Entry& entry, Target& target) {
  if (!entry.nameValid) return Refused("the name is not valid UTF-8");
  SafeName safe = CheckMemberName(entry.name);
  if (!safe.ok) return Refused("unsafe name: " + safe.reason);
  if (entry.IsSymlink()) return Refused("symbolic links are not created", UnzipStatus::kWarning);
  target.isDirectory = entry.IsDirectory() || safe.isDirectory;
  std::vector<std::string>& parts = target.parts;
  parts = safe.components;
  if (parts.empty()) return EarlyEnd{};  // "./": the target folder itself
  if (!request_.useFolders) {
    if (target.isDirectory) return EarlyEnd{};
    parts = {parts.back()};
  }
  if (request_.spaceToUnderscore) {
    for (auto& part : parts) std::replace(part.begin(), part.end(), ' ', '_');
  }

  // A name that the file system takes for an earlier one (on Windows, names that differ
  // only in case) would overwrite it; the first one wins.
  std::string& key = target.key;
  for (const auto& part : parts) key += (key.empty() ? "" : "/") + NameKey(part);
  if (target.isDirectory) {
    if (files_.count(key)) return Refused("a file of the same name is in the archive");
    folders_.insert(key);
  } else {
    if (files_.count(key)) return Refused("the name appears twice in the archive");
    if (folders_.count(key)) return Refused("a folder of the same name is in the archive");
    files_.insert(key);
  }

  target.path = request_.targetDir;
  for (const auto& part : parts) target.path /= Utf8ToPath(part);
  if (PathTooLong(target.path)) return Refused("the path would be too long for this system");
  return std::nullopt;
}

std::string ExtractTargets::EnsureFolders(const std::vector<std::string>& parts, size_t count) {
  std::vector<std::string> keys;
  std::string key;
  for (size_t i = 0; i < count; ++i) {
    key += (i ? "/" : "") + NameKey(parts[i]);
    keys.push_back(key);
  }
  size_t known = count;
  while (known > 0 && !madeFolders_.count(keys[known - 1])) --known;
  if (known == count) return {};
  std::filesystem::path root = request_.targetDir;
  for (size_t i = 0; i < known; ++i) root /= Utf8ToPath(parts[i]);
  std::vector<std::string> rest(parts.begin() + static_cast<ptrdiff_t>(known),
                                parts.begin() + static_cast<ptrdiff_t>(count));
  size_t existing = 0;
  std::string why = archive::EnsureFolders(root, rest, rest.size(), &existing);
  if (why.empty()) {
    madeFolders_.insert(keys.begin() + static_cast<ptrdiff_t>(known), keys.end());
    newFolders_.insert(keys.begin() + static_cast<ptrdiff_t>(known + existing), keys.end());
  }
  return why;
}

bool ExtractTargets::InNewFolder(const Target& target) const {
  return target.parts.size() > 1 && newFolders_.count(target.key.substr(0, target.key.rfind('/')));
}

bool ExtractTargets::FileOnTheWay(const Target& target) const {
  std::string prefix;
  for (size_t i = 0; i + 1 < target.parts.size(); ++i) {
    prefix += (i ? "/" : "") + NameKey(target.parts[i]);
    if (files_.count(prefix)) return true;
  }
  return false;
}

}  // namespace archive
