#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "util/singleton.h"

namespace {

std::atomic<int> g_constructed{0};
std::atomic<int> g_destroyed{0};

class Counted : public vorn::Singleton<Counted> {
  public:
    virtual ~Counted() { ++g_destroyed; }
    int value = 7;

  private:
    friend class vorn::Singleton<Counted>;
    Counted() {
        ++g_constructed;
        std::this_thread::yield();  // widen the window for a racing second construction
    }
};

}  // namespace

TEST(Singleton, ConcurrentFirstUseConstructsOnce) {
    std::vector<std::thread> threads;
    std::vector<Counted*> seen(8, nullptr);
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([&seen, i] { seen[i] = Counted::Instance(); });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(g_constructed.load(), 1);
    for (Counted* p : seen)
        EXPECT_EQ(p, seen[0]);
}

TEST(Singleton, ReleaseDeletesAndTheNextUseMakesANewObject) {
    Counted* first = Counted::Instance();
    first->value = 42;
    const int destroyedBefore = g_destroyed.load();
    Counted::ReleaseInstance();
    EXPECT_EQ(g_destroyed.load(), destroyedBefore + 1);
    Counted::ReleaseInstance();  // nothing left to release
    EXPECT_EQ(g_destroyed.load(), destroyedBefore + 1);
    EXPECT_EQ(Counted::Instance()->value, 7);
}
