// Second process of the torn-read test: reads the rule file again and again
// under the Read mutex and checks that every read gives one whole rule set
// as the writer wrote it (all dests of one generation, none missing).
//   rule_reader <path> <mapping> <reads>
// Exit code 0: every read was whole (and at least one was not empty);
// 1: a torn read; 2: bad arguments.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "rules/RuleFile.h"

namespace {

// Dest of rule i of generation g: "g<g>_<i>" padded with the letter of g.
bool IsWholeSet(const RuleList& rules) {
  if (rules.empty()) return true;
  const std::string& first = rules.front()->Dest;
  unsigned g = 0, i = 0;
  if (sscanf(first.c_str(), "g%u_%u", &g, &i) != 2) return false;
  const size_t expected = 1 + g % 40;
  if (rules.size() != expected) return false;
  size_t index = 0;
  for (const auto& r : rules) {
    unsigned rg = 0, ri = 0;
    if (sscanf(r->Dest.c_str(), "g%u_%u", &rg, &ri) != 2 || rg != g || ri != index) return false;
    ++index;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return 2;
  const char* path = argv[1];
  const char* mapping = argv[2];
  const int reads = atoi(argv[3]);
  int torn = 0, nonEmpty = 0;
  for (int n = 0; n < reads; ++n) {
    CRuleFile file;
    if (file.Open(path, mapping, RULE_FILE_SIZE, CMappedFile::kAccessRead, false) != 0) continue;
    RuleList rules;
    uint32_t count = 0, offset = 0;
    file.ReadRules(rules, &count, &offset);
    file.CloseAfterWrite();
    if (!rules.empty()) ++nonEmpty;
    if (!IsWholeSet(rules)) ++torn;
  }
  printf("reads %d non-empty %d torn %d\n", reads, nonEmpty, torn);
  return torn == 0 && nonEmpty > 0 ? 0 : 1;
}
