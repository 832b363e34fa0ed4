#include "ui/gfxlist/GfxColumnManager.h"

#include <algorithm>
#include <cstdio>

#include "framework/Profile.h"

namespace {

// More entries than columns can exist only in a damaged layout; reading
// stops there instead of walking millions of missing values.
constexpr int kMaxStoredEntries = 256;

std::string Entry(const char* format, int index) {
  char name[64];
  snprintf(name, sizeof name, format, index);
  return name;
}

}  // namespace

std::string CGfxColumnManager::SectionFor(const std::string& name) { return "GfxLists\\" + name; }

int CGfxColumnManager::DefineColumn(int id, const std::string& text, const std::string& secondText, int format,
                                    int width, DWORD flags, int image, const std::string& description) {
  GfxColumnDef def;
  def.id = id;
  def.format = format;
  def.width = width;
  def.image = image;
  def.flags = flags;
  def.text = text;
  def.secondText = secondText;
  def.description = description;
  defs_.push_back(std::move(def));
  return static_cast<int>(defs_.size()) - 1;
}

void CGfxColumnManager::SetDefaultOrder(int count, const int* ids) {
  order_.clear();
  if (count < 1 || !ids) return;
  order_.assign(ids, ids + count);
}

GfxColumnDef* CGfxColumnManager::Find(int id) {
  for (auto& d : defs_)
    if (d.id == id) return &d;
  return nullptr;
}

const GfxColumnDef* CGfxColumnManager::Find(int id) const {
  for (const auto& d : defs_)
    if (d.id == id) return &d;
  return nullptr;
}

bool CGfxColumnManager::LoadColumns(const std::string& name) {
  const std::string section = SectionFor(name);
  int count = profile::GetInt(section, "NumDef", 0);
  if (count <= 0) return false;
  count = std::min(count, kMaxStoredEntries);

  // The stored order replaces the default one. Entries below 0, columns
  // that are not defined (any more) and repeated columns are left out.
  std::vector<int> order;
  for (int i = 0; i < count; ++i) {
    int id = profile::GetInt(section, Entry("DefColId %d", i), -1);
    if (id < 0 || !Find(id)) continue;
    if (std::find(order.begin(), order.end(), id) != order.end()) continue;
    order.push_back(id);
  }
  order_ = std::move(order);

  // "DefNum" counts the order entries, not the definitions: when fewer
  // columns are shown than defined, the definitions stored after that
  // number are read too, up to the first one that is missing.
  int defCount = std::min(profile::GetInt(section, "DefNum", 0), kMaxStoredEntries);
  for (int i = 0; i < kMaxStoredEntries; ++i) {
    int id = profile::GetInt(section, Entry("ColDef_id_%d", i), -1);
    if (i >= defCount && id < 0) break;
    GfxColumnDef* def = id >= 0 ? Find(id) : nullptr;
    if (!def) continue;
    def->format = profile::GetInt(section, Entry("ColDef_align_%d", i), def->format);
    def->width = profile::GetInt(section, Entry("ColDef_width_%d", i), def->width);
    def->image = profile::GetInt(section, Entry("ColDef_image_%d", i), def->image);
    def->flags =
        static_cast<DWORD>(profile::GetInt(section, Entry("ColDef_dwdata_%d", i), static_cast<int>(def->flags)));
    def->text = profile::GetString(section, Entry("ColDef_text_%d", i), def->text);
    def->secondText = profile::GetString(section, Entry("ColDef_textdt_%d", i), def->secondText);
    def->description = profile::GetString(section, Entry("ColDef_descr_%d", i), def->description);
  }
  return true;
}

bool CGfxColumnManager::SaveColumns(const std::string& name) const {
  const std::string section = SectionFor(name);
  const int count = static_cast<int>(order_.size());
  bool ok = profile::WriteInt(section, "NumDef", count);
  for (int i = 0; i < count; ++i) ok &= profile::WriteInt(section, Entry("DefColId %d", i), order_[i]);
  // "DefNum" carries the number of order entries; every definition is
  // written after it, so a reader may find more definitions than that.
  ok &= profile::WriteInt(section, "DefNum", count);
  for (size_t i = 0; i < defs_.size(); ++i) {
    const GfxColumnDef& d = defs_[i];
    int n = static_cast<int>(i);
    ok &= profile::WriteInt(section, Entry("ColDef_id_%d", n), d.id);
    ok &= profile::WriteInt(section, Entry("ColDef_align_%d", n), d.format);
    ok &= profile::WriteInt(section, Entry("ColDef_width_%d", n), d.width);
    ok &= profile::WriteInt(section, Entry("ColDef_image_%d", n), d.image);
    ok &= profile::WriteInt(section, Entry("ColDef_dwdata_%d", n), static_cast<int>(d.flags));
    ok &= profile::WriteString(section, Entry("ColDef_text_%d", n), d.text);
    ok &= profile::WriteString(section, Entry("ColDef_textdt_%d", n), d.secondText);
    ok &= profile::WriteString(section, Entry("ColDef_descr_%d", n), d.description);
  }
  return ok;
}
