#include "group_commit.h"

#include <algorithm>
#include <string>

namespace scored {

struct GroupCommit::Waiter {
  const NewScore* Score;
  bool Taken = false;  // into a group being committed
  bool Done = false;
  std::string Failure;
};

// Under mutex_: the oldest waiting entries, taken off the queue.
std::vector<GroupCommit::Waiter*> GroupCommit::TakeGroup() {
  const auto end = waiting_.begin() + static_cast<std::ptrdiff_t>(std::min(waiting_.size(), MaxGroup));
  std::vector<Waiter*> group(waiting_.begin(), end);
  waiting_.erase(waiting_.begin(), end);
  for (Waiter* w : group) w->Taken = true;
  return group;
}

void GroupCommit::Add(const NewScore& score) {
  Waiter me{&score, false, false, {}};
  std::unique_lock<std::mutex> lock(mutex_);
  waiting_.push_back(&me);
  while (!me.Done) {
    if (me.Taken || committing_ >= concurrency_) {
      committed_.wait(lock);
      continue;
    }
    ++committing_;
    const std::vector<Waiter*> group = TakeGroup();
    lock.unlock();
    std::string failure;
    try {
      std::vector<const NewScore*> scores(group.size());
      std::transform(group.begin(), group.end(), scores.begin(), [](const Waiter* w) { return w->Score; });
      commit_(scores);
    } catch (const std::exception& e) {
      failure = e.what();
      if (failure.empty()) failure = "the commit failed";
    }
    lock.lock();
    for (Waiter* w : group) {
      w->Failure = failure;
      w->Done = true;
    }
    --committing_;
    committed_.notify_all();
  }
  if (!me.Failure.empty()) throw StoreError(me.Failure);
}

}  // namespace scored
