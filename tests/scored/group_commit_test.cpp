// The group commit both stores use: every entry committed once, in groups no larger than allowed,
// never more groups at once than allowed, and a failed group's entries all told so.
#include <gmock/gmock.h>

#include <atomic>
#include <set>
#include <thread>

#include "group_commit.h"

namespace {

using ::testing::HasSubstr;

TEST(GroupCommit, CommitsEachEntryOnceWithinTheLimitsAndReportsAFailedGroupToAllItsEntries) {
  for (const int concurrency : {1, 3}) {
    SCOPED_TRACE(concurrency);
    std::mutex mutex;
    std::multiset<std::string> committed;
    std::atomic<int> running{0}, mostRunning{0};
    size_t largest = 0;
    scored::GroupCommit groups(concurrency, [&](const std::vector<const scored::NewScore*>& group) {
      const int now = ++running;
      for (int seen = mostRunning; now > seen && !mostRunning.compare_exchange_weak(seen, now);) {}
      std::this_thread::sleep_for(std::chrono::milliseconds(2));  // lets the others gather
      --running;
      const bool fails = std::any_of(group.begin(), group.end(), [](const auto* s) { return s->Entry.Name == "Fail"; });
      if (fails) throw scored::StoreError("disk full");
      const std::lock_guard<std::mutex> lock(mutex);
      largest = std::max(largest, group.size());
      for (const scored::NewScore* s : group) committed.insert(s->Entry.Name);
    });
    constexpr int kThreads = 24, kEach = 20;
    std::atomic<int> failures{0}, failedOthers{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
      threads.emplace_back([&, t] {
        for (int i = 0; i < kEach; ++i) {
          const std::string name = t == 0 && i == kEach / 2 ? "Fail" : "T" + std::to_string(t) + "N" + std::to_string(i);
          try {
            groups.Add({{name, i, ""}, 0, ""});
            const std::lock_guard<std::mutex> lock(mutex);
            EXPECT_EQ(committed.count(name), 1u) << "returned before its commit";
          } catch (const scored::StoreError& e) {
            EXPECT_THAT(e.what(), HasSubstr("disk full"));
            ++(name == "Fail" ? failures : failedOthers);
          }
        }
      });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(failures.load(), 1);
    EXPECT_EQ(committed.size() + static_cast<size_t>(failures + failedOthers), size_t{kThreads * kEach});
    EXPECT_EQ(std::set<std::string>(committed.begin(), committed.end()).size(), committed.size()) << "committed twice";
    EXPECT_LE(mostRunning.load(), concurrency);
    EXPECT_LE(largest, scored::GroupCommit::MaxGroup);
    EXPECT_GT(largest, 1u) << "entries arriving together are committed together";
  }
}

}  // namespace
