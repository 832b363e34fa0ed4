// Column definitions of a CGfxListCtrl and the manager that keeps them, with
// the display order, and stores both in the application's registry profile.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Column flags.
constexpr DWORD GFXCOL_EDITDROPLIST = 0x01;      // edited with a drop-down list
constexpr DWORD GFXCOL_EDITDROPDOWN = 0x02;      // edited with an editable drop-down
constexpr DWORD GFXCOL_EDITBOX = 0x04;           // edited with an edit box
constexpr DWORD GFXCOL_SORTNUMBER = 0x08;        // sorted as whole numbers
constexpr DWORD GFXCOL_SORTDOTTEDNUMBER = 0x10;  // sorted as numbers after removing "."
constexpr DWORD GFXCOL_SORTABLE = 0x20;          // a header click sorts by this column
constexpr DWORD GFXCOL_IMAGECELL = 0x40;         // cell text is the index of an image
constexpr DWORD GFXCOL_HEADERIMAGE = 0x200;      // the header shows the definition's image

struct GfxColumnDef {
  int id = 0;      // column identifier, also the number its cells are addressed by
  int format = 0;  // list-view column format: LVCFMT_LEFT 0, LVCFMT_RIGHT 1, LVCFMT_CENTER 2
  int width = 0;   // pixels
  int image = -1;  // header image index, -1 none
  DWORD flags = 0;
  std::string text;         // header caption
  std::string secondText;   // optional
  std::string description;  // optional
  // Working fields: the column's sort direction (0 none, 1 ascending,
  // -1 descending) and its position among the list's columns (-1 not shown).
  int sortDirection = 0;
  int listIndex = -1;
};

class CGfxColumnManager {
 public:
  // Profile section of a stored layout: "GfxLists\<name>".
  static std::string SectionFor(const std::string& name);

  // Appends a definition; returns its index.
  int DefineColumn(int id, const std::string& text, const std::string& secondText, int format, int width, DWORD flags,
                   int image = -1, const std::string& description = "");
  // Sets the display order; a count below 1 empties it.
  void SetDefaultOrder(int count, const int* ids);

  // Reads a stored layout; definitions that are not stored keep their values.
  // Returns true when a layout was found.
  bool LoadColumns(const std::string& name);
  bool SaveColumns(const std::string& name) const;

  GfxColumnDef* Find(int id);
  const GfxColumnDef* Find(int id) const;
  std::vector<GfxColumnDef>& Definitions() { return defs_; }
  const std::vector<GfxColumnDef>& Definitions() const { return defs_; }
  std::vector<int>& Order() { return order_; }
  const std::vector<int>& Order() const { return order_; }

 private:
  std::vector<GfxColumnDef> defs_;
  std::vector<int> order_;
};
