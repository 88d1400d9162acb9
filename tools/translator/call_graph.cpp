// Groups of functions that call each other in a cycle (mutual recursion),
// found over the direct calls: the chunk planner keeps each group in one
// chunk where it can, so that its calls stay jumps inside one host
// function instead of host calls between chunks.
#include <algorithm>

#include "translate.h"

std::map<u32, u32> recursion_group_ends(const CodeMap& map) {
  std::map<u32, std::vector<u32>> calls;  // function -> functions it calls directly
  for (const auto& [va, in] : map.insns) {
    if (in.d.mnemonic != ZYDIS_MNEMONIC_CALL) continue;
    const u32 target = branch_target(in);
    auto from = map.owner.find(va);
    if (target && from != map.owner.end() && map.functions.count(target)) calls[from->second].push_back(target);
  }
  // Tarjan's strongly connected components, iterative over an explicit
  // stack of (function, next callee index).
  std::map<u32, u32> index, low;
  std::set<u32> on_stack;
  std::vector<u32> stack;
  std::map<u32, u32> ends;
  u32 counter = 0;
  for (u32 root : map.functions) {
    if (index.count(root)) continue;
    std::vector<std::pair<u32, size_t>> work{{root, 0}};
    index[root] = low[root] = counter++;
    stack.push_back(root);
    on_stack.insert(root);
    while (!work.empty()) {
      auto& [f, next] = work.back();
      const std::vector<u32>& callees = calls[f];
      if (next < callees.size()) {
        const u32 g = callees[next++];
        if (!index.count(g)) {
          index[g] = low[g] = counter++;
          stack.push_back(g);
          on_stack.insert(g);
          work.push_back({g, 0});
        } else if (on_stack.count(g)) {
          low[f] = std::min(low[f], index[g]);
        }
        continue;
      }
      const u32 done = f;
      work.pop_back();
      if (!work.empty()) low[work.back().first] = std::min(low[work.back().first], low[done]);
      if (low[done] != index[done]) continue;
      std::vector<u32> group;
      u32 member;
      do {
        member = stack.back();
        stack.pop_back();
        on_stack.erase(member);
        group.push_back(member);
      } while (member != done);
      if (group.size() < 2) continue;
      const u32 last = *std::max_element(group.begin(), group.end());
      for (u32 g : group) ends[g] = last;
    }
  }
  return ends;
}
