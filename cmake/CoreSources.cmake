# Win32-free sources: they never include <windows.h> and build natively too.
set(CORE_SOURCES
  framework/Trace.cpp
  rules/RuleRecord.cpp
  rules/RuleSet.cpp
  rules/RuleMatch.cpp
  rules/RuleTipText.cpp
  rules/RuleJson.cpp
  rules/RuleStoreCore.cpp
  rules/SharedNames.cpp
  log/LogRecord.cpp
  log/LogText.cpp
  log/LogHistory.cpp
  log/LogFields.cpp
  log/LogCsv.cpp
  log/LogJson.cpp
  log/LogRowRules.cpp
  log/DenialNotifier.cpp
  settings/Keywords.cpp
  settings/DropFiles.cpp
  settings/PasswordForm.cpp
  crash/ReportFormat.cpp
  ui/markup/MarkupStyle.cpp
  ui/markup/MarkupText.cpp
  ui/markup/MarkupLayout.cpp
)

# Tests of the core; they run natively under the sanitizers and on Windows.
set(CORE_TESTS
  tests/core/RuleRecordTest.cpp
  tests/core/RuleSetTest.cpp
  tests/core/RuleMatchTest.cpp
  tests/core/RuleTipTextTest.cpp
  tests/core/RuleJsonTest.cpp
  tests/core/RuleStoreTest.cpp
  tests/core/LogRecordTest.cpp
  tests/core/LogTextTest.cpp
  tests/core/LogHistoryTest.cpp
  tests/core/LogExportTest.cpp
  tests/core/LogRowRulesTest.cpp
  tests/core/DenialNotifierTest.cpp
  tests/core/KeywordsTest.cpp
  tests/core/DropFilesTest.cpp
  tests/core/PasswordFormTest.cpp
  tests/core/ReportFormatTest.cpp
  tests/core/MarkupTest.cpp
  tests/core/MarkupLayoutTest.cpp
)

# libFuzzer targets: name and source, one pair per target.
set(FUZZ_TARGETS
  fuzz_rule_records fuzz/fuzz_rule_records.cpp
  fuzz_rule_json fuzz/fuzz_rule_json.cpp
  fuzz_rule_store fuzz/fuzz_rule_store.cpp
  fuzz_rule_match fuzz/fuzz_rule_match.cpp
  fuzz_log_records fuzz/fuzz_log_records.cpp
  fuzz_log_text fuzz/fuzz_log_text.cpp
  fuzz_log_history fuzz/fuzz_log_history.cpp
  fuzz_log_fields fuzz/fuzz_log_fields.cpp
  fuzz_keywords fuzz/fuzz_keywords.cpp
  fuzz_drop_files fuzz/fuzz_drop_files.cpp
  fuzz_password_form fuzz/fuzz_password_form.cpp
  fuzz_markup fuzz/fuzz_markup.cpp
)
