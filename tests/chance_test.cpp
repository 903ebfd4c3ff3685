// ko-chance: ranged random numbers from one generator per calling thread.
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "support/patch_fixture.h"

namespace {

// Draws from state 1: r = 41, 18467, 6334, 26500, 19169, 15724.
constexpr const char* kDefaultDraws =
    "c.0: float 0.15890987\nc.0: float 71.57533\nc.0: float 24.549639\n"
    "c.0: float 102.710045\nc.0: float 74.29618\n";

class ChanceTest : public PatchTest {
 protected:
  void SetUp() override { load({"ko-chance"}); }

  // Runs the lines on a thread of their own, whose generator starts at state 1 whatever
  // other tests drew before.
  // The objects it made are freed afterwards.
  std::string run_fresh(const std::string& lines) {
    std::string got;
    std::thread t([&] { got = run(lines); });
    t.join();
    for (const char* id : {"a", "b", "c"})
      if (patch.find(id)) run(std::string("free ") + id);
    EXPECT_EQ(mistakes(), "");
    return got;
  }

  static std::string bangs(const char* id, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += std::string("send ") + id + " bang\n";
    return s;
  }
};

TEST_F(ChanceTest, DrawsFromStateOneScaledToTheRange) {
  EXPECT_EQ(run_fresh("new c ko-chance\n" + bangs("c", 5)), kDefaultDraws);
  // Longs give ints, truncated toward zero.
  EXPECT_EQ(run_fresh("new c ko-chance\nsend c range 0 10\n" + bangs("c", 5)),
            "c.0: int 0\nc.0: int 5\nc.0: int 1\nc.0: int 8\nc.0: int 5\n");
  // One long: 0 up to it; one float: floats.
  EXPECT_EQ(run_fresh("new c ko-chance 5\n" + bangs("c", 3)), "c.0: int 0\nc.0: int 2\nc.0: int 0\n");
  EXPECT_EQ(run_fresh("new c ko-chance\nsend c range 5.0\n" + bangs("c", 2)),
            "c.0: float 0.0062562944\nc.0: float 2.8179266\n");
  // The first bound decides the kind: a long then a float gives ints from 2 to 7.
  EXPECT_EQ(run_fresh("new c ko-chance\nsend c list 2 7.5\n" + bangs("c", 4)),
            "c.0: int 2\nc.0: int 5\nc.0: int 3\nc.0: int 6\n");
  // A low bound above the high one runs downward.
  EXPECT_EQ(run_fresh("new c ko-chance 10 0\n" + bangs("c", 4)), "c.0: int 9\nc.0: int 4\nc.0: int 8\nc.0: int 1\n");
}

TEST_F(ChanceTest, RangeByArgumentCount) {
  const std::string draws2 = "c.0: int 0\nc.0: int 5\n";
  // Three or more values, a leading symbol: nothing changes.
  EXPECT_EQ(run_fresh("new c ko-chance 0 10\nsend c range 1 2 3\nsend c range x 4\nsend c list x\n" + bangs("c", 2)),
            draws2);
  EXPECT_EQ(run_fresh("new c ko-chance 1 2 3\n" + bangs("c", 1)), "c.0: float 0.15890987\n");
  // No values restore the defaults.
  EXPECT_EQ(run_fresh("new c ko-chance 0 10\nsend c range\n" + bangs("c", 1)), "c.0: float 0.15890987\n");
  // A high bound that is no number keeps the previous one.
  EXPECT_EQ(run_fresh("new c ko-chance 0 10\nsend c range 0 q\n" + bangs("c", 2)), draws2);
  EXPECT_EQ(run_fresh("new c ko-chance\nassist c inlet 0\nassist c outlet 0"),
            "assist c inlet 0: echo e   c  h   o\n"
            "assist c outlet 0: (rand)     e         c            h              o\n");
}

TEST_F(ChanceTest, InstancesOnOneThreadShareOneSequence) {
  EXPECT_EQ(run_fresh("new a ko-chance\nnew b ko-chance 0 10\n" + bangs("a", 1) + bangs("b", 1) + bangs("a", 1) +
                      bangs("b", 1)),
            "a.0: float 0.15890987\nb.0: int 5\na.0: float 24.549639\nb.0: int 8\n");
}

TEST_F(ChanceTest, EachThreadStartsFromStateOne) {
  run("new a ko-chance\nnew b ko-chance");
  // The two threads take turns at the host; each keeps its own generator.
  std::mutex lock;
  std::condition_variable cv;
  int turn = 0;
  std::string got[2];
  auto worker = [&](int me, const char* id) {
    for (int i = 0; i < 5; ++i) {
      std::unique_lock<std::mutex> hold(lock);
      cv.wait(hold, [&] { return turn % 2 == me; });
      got[me] += run(std::string("send ") + id + " bang");
      ++turn;
      cv.notify_all();
    }
  };
  std::thread first(worker, 0, "a");
  std::thread second(worker, 1, "b");
  first.join();
  second.join();
  std::string b = kDefaultDraws;
  for (std::size_t at = b.find("c.0"); at != std::string::npos; at = b.find("c.0", at)) b.replace(at, 1, "b");
  EXPECT_EQ(got[1], b);
  std::string a = kDefaultDraws;
  for (std::size_t at = a.find("c.0"); at != std::string::npos; at = a.find("c.0", at)) a.replace(at, 1, "a");
  EXPECT_EQ(got[0], a);
}

}  // namespace
