#include "store/CertFileInstall.h"

#include <utility>

#include "platform/FileCopy.h"
#include "platform/FileSystem.h"
#include "util/PathFunctions.h"
#include "util/PathText.h"

namespace qorv {
namespace {

bool SameName(const std::string& a, const std::string& b) { return SamePathText(a, b, HostPathRules()); }

// "cert.pem" numbered 2 is "cert-2.pem"; a name without an extension, or whose only dot
// leads it, takes the number at its end.
std::string Numbered(const std::string& name, int number) {
  const size_t dot = name.rfind('.');
  const size_t stemEnd = dot == std::string::npos || dot == 0 ? name.size() : dot;
  return name.substr(0, stemEnd) + "-" + std::to_string(number) + name.substr(stemEnd);
}

StoreStatus StatusOf(platform::CopySource source) {
  switch (source) {
    case platform::CopySource::Missing:
      return StoreStatus::FileMissing;
    case platform::CopySource::NotRegularFile:
      return StoreStatus::NotRegularFile;
    case platform::CopySource::TooLarge:
      return StoreStatus::FileTooLarge;
    case platform::CopySource::Ok:
      break;
  }
  return StoreStatus::CopyFailed;
}

}  // namespace

TCertFileInstall::TCertFileInstall(std::string certDir) : FCertDir(std::move(certDir)) {}

TCertFileInstall::~TCertFileInstall() { Undo(); }

void TCertFileInstall::Add(std::string* field) {
  if (field->empty()) return;
  Item item;
  item.field = field;
  item.original = *field;
  item.source = FullPath(*field);
  FItems.push_back(std::move(item));
}

bool TCertFileInstall::Plan(StoreStatus& status, std::string& subject) {
  std::vector<std::string> names;  // taken in the folder
  auto taken = [&names](const std::string& name) {
    for (const std::string& other : names) {
      if (SameName(name, other)) return true;
    }
    return false;
  };
  // A file already in its place keeps its name: the files to be copied make way for it.
  for (size_t i = 0; i < FItems.size(); ++i) {
    Item& item = FItems[i];
    item.copy = true;
    for (size_t j = 0; j < i && item.copy; ++j) {
      if (SameName(item.source, FItems[j].source)) item.copy = false;
    }
    if (!item.copy) continue;
    const std::string name = FileNamePart(item.source, HostPathRules());
    item.target = FCertDir + name;
    if (SameName(FullPath(item.target), item.source)) {
      item.copy = false;
      item.target = item.source;
      names.push_back(name);
    }
  }
  for (size_t i = 0; i < FItems.size(); ++i) {
    Item& item = FItems[i];
    if (!item.copy) {
      // Named by an earlier field too: the same copy.
      for (size_t j = 0; j < i && item.target.empty(); ++j) {
        if (SameName(item.source, FItems[j].source)) item.target = FItems[j].target;
      }
      continue;
    }
    const std::string name = FileNamePart(item.source, HostPathRules());
    std::string candidate = name;
    for (int number = 2; taken(candidate); ++number) candidate = Numbered(name, number);
    names.push_back(candidate);
    item.target = FCertDir + candidate;
    const platform::CopySource source = platform::CheckCopySource(item.source, kMaxCertificateFileBytes);
    if (source != platform::CopySource::Ok) {
      status = StatusOf(source);
      subject = *item.field;
      return false;
    }
  }
  return true;
}

void TCertFileInstall::PointFieldsAtCopies() {
  for (Item& item : FItems) *item.field = item.target;
}

void TCertFileInstall::PointFieldsAtSources() {
  for (Item& item : FItems) *item.field = item.original;
}

bool TCertFileInstall::Place(StoreStatus& status, std::string& subject) {
  if (!DirPresent(FCertDir)) CreateDirPath(FCertDir);
  // No other install of the set is under way: copies left by one that ended midway go.
  platform::RemoveLeftoverCopies(FCertDir);
  for (Item& item : FItems) {
    if (!item.copy) continue;
    platform::CopySource why = platform::CopySource::Ok;
    // The set's folder must be a folder of the store's own, not a link to elsewhere.
    if (!platform::CopyToNewFile(item.source, FCertDir, true, kMaxCertificateFileBytes, item.staged, why)) {
      status = StatusOf(why);
      subject = item.source;
      Undo();
      return false;
    }
  }
  for (Item& item : FItems) {
    if (!item.copy) continue;
    const bool replacing = platform::FileExists(item.target);
    if ((replacing && !platform::MoveAside(item.target, item.aside)) ||
        !platform::MoveReplacing(item.staged, item.target)) {
      status = StoreStatus::CopyFailed;
      subject = item.source;
      Undo();
      return false;
    }
    item.staged.clear();
    item.placed = true;
  }
  return true;
}

void TCertFileInstall::Undo() {
  for (auto it = FItems.rbegin(); it != FItems.rend(); ++it) {
    Item& item = *it;
    if (item.placed && item.aside.empty()) platform::RemoveFile(item.target);
    if (!item.aside.empty()) platform::MoveReplacing(item.aside, item.target);
    if (!item.staged.empty()) platform::RemoveFile(item.staged);
    item.placed = false;
    item.aside.clear();
    item.staged.clear();
  }
}

void TCertFileInstall::Keep() {
  for (Item& item : FItems) {
    if (!item.aside.empty()) platform::RemoveFile(item.aside);
    item.aside.clear();
    item.placed = false;
  }
}

}  // namespace qorv
