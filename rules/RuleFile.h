// CRuleFile: the rule file QX5Rule.rle in the system directory, read by the
// access engine. The whole rule set is rewritten in place under the Write
// and Read mutexes and read back under the Read mutex.
#pragma once

#include <string>

#include "rules/MappedFile.h"
#include "rules/RuleRecord.h"
#include "rules/RuleStoreCore.h"

class CRuleFile : public CMappedFile {
 public:
  CRuleFile();
  ~CRuleFile() override;

  // Full path of the rule file: the system directory + "\QX5Rule.rle".
  static std::string DefaultPath();

  // 0 success, -1 failure (traced), -2 when path is null. A read-only open
  // writes nothing; one of a file without the magic closes the object again
  // (nothing can read it), unless the file holds nothing but zeros (made by
  // the engine, no rule written yet): that reads as an empty rule set.
  int Open(const char* path, const char* mappingName, uint32_t maxSize, uint32_t access, bool endMarker);
  // Writes every rule in list order and the end marker. 0, or -4 when the
  // reserve was reached (the rules after it are left out), or -1 when the
  // object is not open for writing or the wait was cancelled.
  int WriteRules(const RuleList& rules);
  // Replaces the list by the records of the file. count: in = how many to
  // read (0 = all), out = how many were read; offset: data-area offset of
  // the next record (in and out). 0, -3 (end of records), -4 (reserve
  // reached), -1 (not open, damaged record or cancelled wait).
  int ReadRules(RuleList& rules, uint32_t* count, uint32_t* offset);
  // The rule store's write: under the Write mutex, then the Read mutex,
  // saves mine where the file held base (SaveRulesOntoView: a change made
  // elsewhere meanwhile is kept, a result that does not fit is not
  // written). 0 with the outcome, or -1 when the object is not open for
  // writing or a wait was cancelled.
  int SaveRules(const RuleList* base, const RuleList& mine, RuleSaveOutcome& outcome);
  // Closes everything and returns to the constructed state.
  void Reset();
  // Adds the header size to the used size, then Reset; returns 0.
  int CloseAfterWrite();

  static uint32_t HeaderSize() { return RULE_FILE_HEADER_SIZE; }
  static bool IsValidHeader(const uint8_t* view) { return IsValidRuleHeader(view, view ? RULE_FILE_HEADER_SIZE : 0); }

 private:
  // A read-only view of nothing but zeros: no record to read.
  bool blank_ = false;
};
