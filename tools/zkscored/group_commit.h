// Submissions committed in small groups, for the stores: inside the server only.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

#include "scored.h"

namespace scored {

// Each Add joins the entries waiting for the next commit. A waiter that finds fewer than
// `concurrency` commits running commits up to MaxGroup of the waiting entries, oldest first, in one
// transaction through `commit`; the others wait, and the next of them to find a commit ended
// commits what is left. Each Add returns only once its own entry is committed, and throws
// StoreError with the failure of its group.
class GroupCommit {
public:
  static constexpr size_t MaxGroup = 256;
  // Stores every entry of the group in one transaction, or throws and stores none.
  using CommitGroup = std::function<void(const std::vector<const NewScore*>& group)>;

  GroupCommit(int concurrency, CommitGroup commit) : concurrency_(concurrency), commit_(std::move(commit)) {}
  void Add(const NewScore& score);

private:
  struct Waiter;
  std::vector<Waiter*> TakeGroup();

  const int concurrency_;
  const CommitGroup commit_;
  std::mutex mutex_;
  std::condition_variable committed_;
  std::vector<Waiter*> waiting_;  // oldest first
  int committing_ = 0;  // groups
};

}  // namespace scored
