#include "platform/registry_hive.h"

#include <utility>

namespace {

constexpr int kMaxKeyNameLength = 255;

QString Folded(const QString& name) { return name.toCaseFolded(); }

}  // namespace

TRegValue TRegValue::Integer(QString name, std::uint32_t value) {
  TRegValue v;
  v.Name = std::move(name);
  v.Type = TRegDataType::rdInteger;
  v.Dword = value;
  return v;
}

TRegValue TRegValue::String(QString name, QString value) {
  TRegValue v;
  v.Name = std::move(name);
  v.Type = TRegDataType::rdString;
  v.Text = std::move(value);
  return v;
}

TRegKey::TRegKey(QString name) : FName(std::move(name)) {}

bool TRegKey::IsValidKeyName(const QString& name) {
  if (name.isEmpty() || name.size() > kMaxKeyNameLength || !name.isValidUtf16()) return false;
  for (QChar c : name)
    if (c == u'\\' || c.unicode() < 0x20 || c.unicode() == 0x7F) return false;
  return true;
}

TRegKey* TRegKey::SubKey(const QString& name) const {
  const auto it = FSubKeys.find(Folded(name));
  return it == FSubKeys.end() ? nullptr : it->second.get();
}

TRegKey* TRegKey::FindKey(const TRegPath& path) {
  TRegKey* key = this;
  for (const QString& name : path) {
    key = key->SubKey(name);
    if (!key) return nullptr;
  }
  return key;
}

const TRegKey* TRegKey::FindKey(const TRegPath& path) const { return const_cast<TRegKey*>(this)->FindKey(path); }

TRegKey* TRegKey::CreateKey(const TRegPath& path) {
  if (path.size() > MaxDepth) return nullptr;
  for (const QString& name : path)
    if (!IsValidKeyName(name)) return nullptr;  // before anything is created
  TRegKey* key = this;
  for (const QString& name : path) {
    TRegKey* sub = key->SubKey(name);
    if (!sub) {
      auto created = std::make_unique<TRegKey>(name);
      sub = created.get();
      key->FSubKeys.emplace(Folded(name), std::move(created));
    }
    key = sub;
  }
  return key;
}

bool TRegKey::DeleteKey(const TRegPath& path) {
  if (path.isEmpty()) return false;
  TRegKey* parent = FindKey(path.mid(0, path.size() - 1));
  return parent && parent->FSubKeys.erase(Folded(path.last())) > 0;
}

std::vector<const TRegKey*> TRegKey::SubKeys() const {
  std::vector<const TRegKey*> keys;
  keys.reserve(FSubKeys.size());
  for (const auto& [folded, key] : FSubKeys) keys.push_back(key.get());
  return keys;
}

const TRegValue* TRegKey::FindValue(const QString& name) const {
  const auto it = FValueIndex.constFind(Folded(name));
  return it == FValueIndex.cend() ? nullptr : &FValues[*it];
}

void TRegKey::SetValue(TRegValue value) {
  const QString folded = Folded(value.Name);
  const auto it = FValueIndex.constFind(folded);
  if (it != FValueIndex.cend()) {
    TRegValue& existing = FValues[*it];
    value.Name = existing.Name;
    existing = std::move(value);
    return;
  }
  FValueIndex.insert(folded, FValues.size());
  FValues.push_back(std::move(value));
}

bool TRegKey::DeleteValue(const QString& name) {
  const auto it = FValueIndex.constFind(Folded(name));
  if (it == FValueIndex.cend()) return false;
  FValues.erase(FValues.begin() + static_cast<std::ptrdiff_t>(*it));
  FValueIndex.clear();
  for (std::size_t i = 0; i < FValues.size(); ++i) FValueIndex.insert(Folded(FValues[i].Name), i);
  return true;
}

bool SplitRegPath(const QString& key, TRegPath& path, bool& bAbsolute) {
  QString rest = key;
  bAbsolute = rest.startsWith(u'\\');
  if (bAbsolute) rest.remove(0, 1);
  if (rest.endsWith(u'\\')) rest.chop(1);
  path.clear();
  if (rest.isEmpty()) return true;
  path = rest.split(u'\\');
  for (const QString& name : path)
    if (name.isEmpty()) return false;
  return true;
}
