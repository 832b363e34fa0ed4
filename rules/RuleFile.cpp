#include "rules/RuleFile.h"

#include <new>

#include "framework/Handle.h"
#include "framework/Module.h"
#include "framework/QX5Exception.h"
#include "framework/Trace.h"

namespace {
void TraceException(const char* what) { Trace(what ? what : ""); }
}  // namespace

CRuleFile::CRuleFile() { Reset(); }

CRuleFile::~CRuleFile() { Reset(); }

std::string CRuleFile::DefaultPath() { return SystemDir() + "\\QX5Rule.rle"; }

void CRuleFile::Reset() {
  CloseAndClear();
  blank_ = false;
  counter_ = 0;
  usedSize_ = 0;
  maxSize_ = RULE_FILE_SIZE;
  endMarker_ = false;
}

int CRuleFile::CloseAfterWrite() {
  usedSize_ += RULE_FILE_HEADER_SIZE;
  Reset();
  return 0;
}

int CRuleFile::Open(const char* path, const char* mappingName, uint32_t maxSize, uint32_t access, bool endMarker) {
  Trace("CRuleFile::Open\n");
  if (!path) return -2;
  try {
    Reset();
    uint8_t header[RULE_FILE_HEADER_SIZE];
    BuildRuleFileHeader(header);
    OpenArgs args{"CRuleFile", header, RULE_FILE_HEADER_SIZE, path, mappingName, maxSize, access, endMarker};
    // The data area must hold at least the end marker before the reserve.
    if (maxSize < RULE_FILE_HEADER_SIZE + RULE_FILE_RESERVE + 4) {
      lastError_ = ERROR_INVALID_PARAMETER;
      Trace("Failed to create file.\n");
      Reset();
      return -1;
    }
    if (OpenMapping(args) != 0) {
      Reset();
      return -1;
    }
    if (!IsWriteMode() && !IsValidRuleHeader(view_, viewSize_)) {
      // The engine may have made the file: all zeros until the first
      // write gives it the header.
      if (!IsAllZero(view_, viewSize_)) {
        lastError_ = ERROR_INVALID_DATA;
        Trace("CRuleFile::Open:Not Valid Rule File Header.\n");
        Reset();
        return -1;
      }
      blank_ = true;
    }
    return 0;
  } catch (const CQX5Exception& e) {
    TraceException(e.what());
  } catch (const std::bad_alloc& e) {
    TraceException(e.what());
  }
  Reset();
  return -1;
}

int CRuleFile::WriteRules(const RuleList& rules) {
  if (!writeBase_ || !IsWriteMode()) return 0;
  try {
    // A wait that does not end in ownership was given up (the cancel event).
    MutexLock writeLock(writeMutex_, cancel_);
    if (!writeLock.Owned()) {
      lastError_ = ERROR_TIMEOUT;
      return -1;
    }
    MutexLock readLock(readMutex_, cancel_);
    if (!readLock.Owned()) {
      lastError_ = ERROR_TIMEOUT;
      return -1;
    }
    uint32_t used = 0;
    int result = SerializeRuleRecords(writeBase_, maxSize_, rules, used);
    usedSize_ = used;
    return result;
  } catch (const CQX5Exception& e) {
    TraceException(e.what());
  } catch (const std::bad_alloc& e) {
    TraceException(e.what());
  }
  return -1;
}

int CRuleFile::ReadRules(RuleList& rules, uint32_t* count, uint32_t* offset) {
  if (!readBase_ || !count || !offset) return -1;
  try {
    rules.clear();
    bool pause = false;
    int result;
    {
      // A reader without the Read mutex found nobody who has it.
      MutexLock readLock(readMutex_, cancel_);
      if (readMutex_ && !readLock.Owned()) {
        lastError_ = ERROR_TIMEOUT;
        *count = 0;
        return -1;
      }
      if (blank_) {
        *count = 0;
        result = -3;
      } else {
        result = ParseRuleRecords(readBase_, maxSize_, rules, *count, *offset, &pause, viewSize_);
      }
    }
    // An empty rule set: give a writer that is about to fill the file a
    // moment before the caller goes on.
    if (pause) Sleep(10);
    return result;
  } catch (const CQX5Exception& e) {
    TraceException(e.what());
  } catch (const std::bad_alloc& e) {
    TraceException(e.what());
  }
  return -1;
}

int CRuleFile::SaveRules(const RuleList* base, const RuleList& mine, RuleSaveOutcome& outcome) {
  outcome = RuleSaveOutcome{};
  if (!writeBase_ || !IsWriteMode()) {
    lastError_ = ERROR_INVALID_HANDLE;
    return -1;
  }
  try {
    MutexLock writeLock(writeMutex_, cancel_);
    if (!writeLock.Owned()) {
      lastError_ = ERROR_TIMEOUT;
      return -1;
    }
    MutexLock readLock(readMutex_, cancel_);
    if (!readLock.Owned()) {
      lastError_ = ERROR_TIMEOUT;
      return -1;
    }
    outcome = SaveRulesOntoView(writeBase_, maxSize_, viewSize_, base, mine);
    if (outcome.result == RuleSaveResult::Written || outcome.result == RuleSaveResult::Merged)
      usedSize_ = outcome.usedSize;
    return 0;
  } catch (const CQX5Exception& e) {
    TraceException(e.what());
  } catch (const std::bad_alloc& e) {
    TraceException(e.what());
  }
  lastError_ = ERROR_NOT_ENOUGH_MEMORY;
  return -1;
}
