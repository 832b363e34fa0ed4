// Fills a rule file with ordinary rules of varied kinds in front of the
// rules it already holds, for demonstrations and screenshots of a full
// Files page.
//   rule_seed <count> [path]      (default path: the system rule file)
#include <cstdio>
#include <cstdlib>
#include <string>

#include "rules/RuleFile.h"
#include "rules/RuleSet.h"

int main(int argc, char** argv) {
  const int count = argc > 1 ? atoi(argv[1]) : 50;
  const std::string path = argc > 2 ? argv[2] : CRuleFile::DefaultPath();
  CRuleFile file;
  if (file.Open(path.c_str(), nullptr, RULE_FILE_SIZE, CMappedFile::kAccessReadWrite, false) != 0) return 1;
  RuleList rules;
  uint32_t n = 0, offset = 0;
  file.ReadRules(rules, &n, &offset);
  const char* folders[] = {"C:\\Users\\Public\\Documents\\", "D:\\Projects\\Payroll\\", "C:\\Finance\\2026\\",
                           "E:\\Backup\\"};
  const char* names[] = {"budget.xlsx", "contract.docx", "salaries.csv", "keys.txt", "design.pdf", "setup.exe"};
  for (int i = count - 1; i >= 0; --i) {
    std::string dest = std::string(folders[i % 4]) + std::to_string(i) + "-" + names[i % 6];
    uint32_t kinds = static_cast<uint32_t>((i * 37 + 11) % 127) + 1;
    auto rule = MakeRule(i % 5 == 0 ? "C:\\Program Files\\Mail\\mail.exe" : "*", dest,
                         i % 9 == 4 ? TYPE_REGISTRY : TYPE_FILE, kinds & KIND_ALL, RULE_MODE_NORMAL);
    if (rule->Type == TYPE_REGISTRY) {
      rule = MakeRule("*", "hkey_current_user\\Software\\Vendor" + std::to_string(i) + "\\Settings*", TYPE_REGISTRY,
                      kinds & (KIND_OPEN | KIND_MODIFY | KIND_DELETE) ? kinds & (KIND_OPEN | KIND_MODIFY | KIND_DELETE)
                                                                      : KIND_MODIFY,
                      RULE_MODE_NORMAL);
    }
    MergeRule(rules, rule, true);
  }
  int r = file.WriteRules(rules);
  printf("%zu rules written (%d)\n", rules.size(), r);
  file.CloseAfterWrite();
  return 0;
}
