#include "platform/registry.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMutex>
#include <QThread>

#include <algorithm>
#include <map>
#include <utility>

// The changes of this process that could not be written yet, by hive file.
struct TRegistry::TPending {
  QMutex Mutex;
  std::map<QString, std::vector<TChange>> ByHive;
  bool bExitFlushRegistered = false;
};

TRegistry::TPending& TRegistry::Pending() {
  static TPending pending;
  return pending;
}

namespace {

QString HiveKey(const QString& path) { return QFileInfo(path).absoluteFilePath(); }

}  // namespace

std::chrono::milliseconds TRegistry::LockWait() {
  // The window must not freeze while another viewer saves.
  const QCoreApplication* app = QCoreApplication::instance();
  const bool bUserInterface = app && app->inherits("QGuiApplication") && QThread::currentThread() == app->thread();
  return bUserInterface ? UserInterfaceLockWait : TRegistryFile::LongLockWait;
}

TRegistry::TRegistry() : TRegistry(TRegistryFile::DefaultPath()) {}

TRegistry::TRegistry(const QString& hivePath) : FFile(hivePath), FHive(FFile.Read()) {
  TPending& pending = Pending();
  const QMutexLocker locker(&pending.Mutex);
  const auto found = pending.ByHive.find(HiveKey(hivePath));
  if (found != pending.ByHive.end())
    for (const TChange& change : found->second) Apply(FHive, change);
}

TRegistry::~TRegistry() { Flush(); }

void TRegistry::SetRootKey(HKEY rootKey) {
  CloseKey();
  FRootKey = rootKey;
}

bool TRegistry::Resolve(const QString& key, TRegPath& path) const {
  if (FRootKey != HKEY_CURRENT_USER) return false;
  bool bAbsolute = false;
  TRegPath names;
  if (!SplitRegPath(key, names, bAbsolute)) return false;
  path = (!bAbsolute && FKeyOpen) ? FCurrentPath + names : names;
  return true;
}

const TRegKey* TRegistry::FindKey(const QString& key) const {
  TRegPath path;
  return Resolve(key, path) ? FHive.FindKey(path) : nullptr;
}

const TRegKey* TRegistry::CurrentKey() const {
  // The open key may have been deleted since it was opened.
  return FKeyOpen ? FHive.FindKey(FCurrentPath) : nullptr;
}

TRegKey* TRegistry::CurrentKey() { return FKeyOpen ? FHive.FindKey(FCurrentPath) : nullptr; }

bool TRegistry::OpenKey(const QString& key, bool canCreate) {
  TRegPath path;
  if (!Resolve(key, path)) return false;
  if (!FHive.FindKey(path)) {
    if (!canCreate || !Change({TChange::TKind::CreateKey, path, {}})) return false;
  }
  FKeyOpen = true;
  FCurrentPath = path;
  return true;
}

void TRegistry::CloseKey() {
  FKeyOpen = false;
  FCurrentPath.clear();
}

QString TRegistry::CurrentPath() const { return FCurrentPath.join(u'\\'); }

bool TRegistry::KeyExists(const QString& key) const { return FindKey(key) != nullptr; }

bool TRegistry::DeleteKey(const QString& key) {
  TRegPath path;
  if (!Resolve(key, path) || path.isEmpty() || !FHive.FindKey(path)) return false;
  return Change({TChange::TKind::DeleteKey, path, {}});
}

bool TRegistry::HasSubKeys() const {
  const TRegKey* key = CurrentKey();
  return key && key->HasSubKeys();
}

QStringList TRegistry::GetKeyNames() const {
  QStringList names;
  if (const TRegKey* key = CurrentKey())
    for (const TRegKey* sub : key->SubKeys()) names << sub->Name();
  return names;
}

QStringList TRegistry::GetValueNames() const {
  QStringList names;
  if (const TRegKey* key = CurrentKey())
    for (const TRegValue& v : key->Values()) names << v.Name;
  return names;
}

bool TRegistry::ValueExists(const QString& name) const {
  const TRegKey* key = CurrentKey();
  return key && key->FindValue(name);
}

TRegDataType TRegistry::GetDataType(const QString& name) const {
  const TRegKey* key = CurrentKey();
  const TRegValue* value = key ? key->FindValue(name) : nullptr;
  return value ? value->Type : TRegDataType::rdUnknown;
}

std::int32_t TRegistry::ReadInteger(const QString& name) const {
  const TRegKey* key = CurrentKey();
  const TRegValue* value = key ? key->FindValue(name) : nullptr;
  if (!value || value->Type != TRegDataType::rdInteger) return 0;
  return static_cast<std::int32_t>(value->Dword);
}

bool TRegistry::ReadBool(const QString& name) const { return ReadInteger(name) != 0; }

QString TRegistry::ReadString(const QString& name) const {
  const TRegKey* key = CurrentKey();
  const TRegValue* value = key ? key->FindValue(name) : nullptr;
  if (!value || value->Type != TRegDataType::rdString) return {};
  return value->Text;
}

bool TRegistry::WriteInteger(const QString& name, std::int32_t value) {
  if (!CurrentKey()) return false;
  return Change({TChange::TKind::SetValue, FCurrentPath, TRegValue::Integer(name, static_cast<std::uint32_t>(value))});
}

bool TRegistry::WriteBool(const QString& name, bool value) { return WriteInteger(name, value ? 1 : 0); }

bool TRegistry::WriteString(const QString& name, const QString& value) {
  if (!CurrentKey()) return false;
  return Change({TChange::TKind::SetValue, FCurrentPath, TRegValue::String(name, value)});
}

bool TRegistry::DeleteValue(const QString& name) {
  if (!ValueExists(name)) return false;
  TRegValue named;
  named.Name = name;
  return Change({TChange::TKind::DeleteValue, FCurrentPath, std::move(named)});
}

void TRegistry::ReportUnusableValues(const std::vector<TUnusableValue>& values) const {
  // Some problems are named, as many as lines are.
  constexpr std::size_t kProblemsNamed = 10;
  const TRegKey* key = CurrentKey();
  if (!key) return;
  std::vector<int> lines;
  QStringList problems;
  for (const TUnusableValue& v : values) {
    const TRegValue* value = key->FindValue(v.Name);
    if (!value || value->Line <= 0) continue;
    lines.push_back(value->Line);
    if (static_cast<std::size_t>(problems.size()) < kProblemsNamed)
      problems << QStringLiteral("\"%1\" %2").arg(value->Name, v.Problem);
  }
  if (lines.empty()) return;
  std::sort(lines.begin(), lines.end());
  QString problem = problems.join(QStringLiteral("; "));
  if (lines.size() > kProblemsNamed) problem += QStringLiteral("; and %1 more").arg(lines.size() - kProblemsNamed);
  FFile.WarnOfUnusableLines(lines, problem);
}

void TRegistry::Apply(TRegKey& root, const TChange& change) {
  switch (change.Kind) {
    case TChange::TKind::CreateKey: root.CreateKey(change.Path); break;
    case TChange::TKind::DeleteKey: root.DeleteKey(change.Path); break;
    case TChange::TKind::SetValue:
      // Another process may have removed the key since: this object saw it, so
      // it comes back with the value.
      if (TRegKey* key = root.CreateKey(change.Path)) key->SetValue(change.Value);
      break;
    case TChange::TKind::DeleteValue:
      if (TRegKey* key = root.FindKey(change.Path)) key->DeleteValue(change.Value.Name);
      break;
  }
}

bool TRegistry::Change(TChange change) {
  if (change.Kind == TChange::TKind::CreateKey) {
    if (!FHive.CreateKey(change.Path)) return false;
  } else {
    Apply(FHive, change);
  }
  FChanges.push_back(std::move(change));
  return true;
}

void TRegistry::QueueChange(std::vector<TChange>& queue, TChange change) {
  // A later write of the same value (same spelling of key and name) makes an
  // earlier one pointless: the later one creates the key as well. This keeps
  // the queue small when saves keep failing.
  if (change.Kind == TChange::TKind::SetValue) {
    std::erase_if(queue, [&change](const TChange& earlier) {
      return earlier.Kind == TChange::TKind::SetValue && earlier.Path == change.Path &&
             earlier.Value.Name == change.Value.Name;
    });
  }
  queue.push_back(std::move(change));
}

bool TRegistry::Flush() {
  TPending& pending = Pending();
  const QMutexLocker locker(&pending.Mutex);
  const QString key = HiveKey(FFile.Path());
  auto found = pending.ByHive.find(key);
  if (FChanges.empty() && found == pending.ByHive.end()) return true;

  // Without changes of its own an object only takes the chance of a free lock.
  const std::chrono::milliseconds wait = FChanges.empty() ? std::chrono::milliseconds(0) : LockWait();
  std::vector<TChange>& queue = pending.ByHive[key];
  for (TChange& change : FChanges) QueueChange(queue, std::move(change));
  FChanges.clear();
  bool bLockBusy = false;
  const bool bWritten = FFile.Update(
      [&queue](TRegKey& root) {
        for (const TChange& change : queue) Apply(root, change);
      },
      wait, &bLockBusy);
  // Another viewer is saving: this process keeps its changes for a later
  // chance. Any other failure (a folder that cannot be written ...) drops them.
  if (bWritten || !bLockBusy) {
    pending.ByHive.erase(key);
  } else if (!pending.bExitFlushRegistered) {
    pending.bExitFlushRegistered = true;
    qAddPostRoutine(&TRegistry::FlushPendingAtExit);
  }
  return bWritten;
}

void TRegistry::FlushPendingAtExit() {
  TPending& pending = Pending();
  const QMutexLocker locker(&pending.Mutex);
  for (auto& [hive, queue] : pending.ByHive) {
    TRegistryFile(hive).Update(
        [&queue](TRegKey& root) {
          for (const TChange& change : queue) Apply(root, change);
        },
        TRegistryFile::LongLockWait);
  }
  pending.ByHive.clear();
}
