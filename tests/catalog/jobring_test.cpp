// The job ring between the walk and the writer: every job handled once, in
// order, on one thread, however the two sides' speeds differ.
#include "catalog/jobring.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

struct Job {
  int value = 0;
};

// Collects the values handled and the threads that handled them.
struct Sink {
  std::vector<int> values;
  std::vector<std::thread::id> threads;
  int slowEvery = 0;  // sleep after every n-th job, to let the ring fill
  void operator()(Job& j) {
    values.push_back(j.value);
    threads.push_back(std::this_thread::get_id());
    if (slowEvery && values.size() % static_cast<std::size_t>(slowEvery) == 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
};

std::vector<int> Range(int n) {
  std::vector<int> v;
  for (int i = 0; i < n; ++i) v.push_back(i);
  return v;
}

void Produce(JobRing<Job>& ring, int from, int to) {
  for (int i = from; i < to; ++i) {
    ring.NextJob().value = i;
    ring.Publish(i % 10 == 0);
  }
}

}  // namespace

TEST(JobRing, HelperHandlesEveryJobInOrderOnItsOwnThread) {
  Sink sink;
  {
    JobRing<Job> ring([&](Job& j) { sink(j); });
    ASSERT_TRUE(ring.Start());
    Produce(ring, 0, 5000);  // many times around the ring
    ring.Stop();
    EXPECT_FALSE(ring.HasHelper());
  }
  EXPECT_EQ(sink.values, Range(5000));
  ASSERT_FALSE(sink.threads.empty());
  for (auto id : sink.threads) {
    EXPECT_EQ(id, sink.threads[0]);
    EXPECT_NE(id, std::this_thread::get_id());
  }
}

TEST(JobRing, ASlowHelperMakesTheProducerWaitWithoutLosingJobs) {
  Sink sink;
  sink.slowEvery = 16;
  JobRing<Job> ring([&](Job& j) { sink(j); });
  ASSERT_TRUE(ring.Start());
  Produce(ring, 0, 600);  // far more than the ring holds while the helper lags
  ring.Stop();
  EXPECT_EQ(sink.values, Range(600));
}

TEST(JobRing, FewJobsAreHandledByStopEvenWithoutAWakeUp) {
  // Fewer jobs than a wake-up batch, none urgent: Stop still waits for them.
  Sink sink;
  JobRing<Job> ring([&](Job& j) { sink(j); });
  ASSERT_TRUE(ring.Start());
  std::this_thread::sleep_for(std::chrono::milliseconds(5));  // the helper is asleep
  for (int i = 1; i <= 3; ++i) {
    ring.NextJob().value = i;
    ring.Publish();
  }
  ring.Stop();
  EXPECT_EQ(sink.values, (std::vector<int>{1, 2, 3}));
}

TEST(JobRing, WithoutAHelperEachJobIsHandledAtOnceOnTheCallingThread) {
  Sink sink;
  JobRing<Job> ring([&](Job& j) { sink(j); });
  for (int i = 0; i < 200; ++i) {
    ring.NextJob().value = i;
    ring.Publish();
    ASSERT_EQ(sink.values.size(), static_cast<std::size_t>(i + 1));
  }
  ring.Stop();  // nothing to wait for
  EXPECT_EQ(sink.values, Range(200));
  for (auto id : sink.threads) EXPECT_EQ(id, std::this_thread::get_id());
}

TEST(JobRing, AJobFilledButNotPublishedIsNeverHandled) {
  for (bool helper : {true, false}) {
    Sink sink;
    JobRing<Job> ring([&](Job& j) { sink(j); });
    if (helper) {
      ASSERT_TRUE(ring.Start());
    }
    ring.NextJob().value = 1;
    ring.Publish();
    ring.NextJob().value = 99;  // dropped: the next NextJob gives the same job
    Job& again = ring.NextJob();
    EXPECT_EQ(again.value, 99);
    again.value = 2;
    ring.Publish();
    ring.Stop();
    EXPECT_EQ(sink.values, (std::vector<int>{1, 2})) << "helper " << helper;
  }
}

TEST(JobRing, JobsAfterStopAndAtDestructionAreHandled) {
  Sink sink;
  {
    JobRing<Job> ring([&](Job& j) { sink(j); });
    ASSERT_TRUE(ring.Start());
    Produce(ring, 0, 100);
    ring.Stop();
    Produce(ring, 100, 110);  // handled at once, on this thread
    EXPECT_EQ(sink.values.size(), 110u);
    EXPECT_EQ(sink.threads.back(), std::this_thread::get_id());
  }
  {
    // Destroyed with the helper still running: it finishes the jobs first.
    JobRing<Job> ring([&](Job& j) { sink(j); });
    ASSERT_TRUE(ring.Start());
    Produce(ring, 110, 300);
  }
  EXPECT_EQ(sink.values, Range(300));
}

TEST(JobRing, WaitingCountsTheJobsTheHelperHasNotFinished) {
  std::atomic<bool> release{false};
  std::vector<int> seen;
  JobRing<Job> ring([&](Job& j) {
    while (!release.load()) std::this_thread::sleep_for(std::chrono::microseconds(100));
    seen.push_back(j.value);
  });
  EXPECT_EQ(ring.Waiting(), 0u);
  ASSERT_TRUE(ring.Start());
  Produce(ring, 0, 5);
  // The helper holds the first job (or has not woken yet): none is done.
  EXPECT_EQ(ring.Waiting(), 5u);
  release.store(true);
  ring.Stop();
  EXPECT_EQ(ring.Waiting(), 0u);
  EXPECT_EQ(seen, Range(5));
}

TEST(JobRing, AProducerFasterThanItsHelperKeepsEveryJobInOrder) {
  // The helper is slow now and then: the producer fills the ring, sleeps
  // until a batch of jobs is free, fills it again.
  for (int slow : {1, 7, 64}) {
    Sink sink;
    sink.slowEvery = slow;
    JobRing<Job> ring([&](Job& j) { sink(j); });
    ASSERT_TRUE(ring.Start());
    for (int i = 0; i < 400; ++i) {
      ring.NextJob().value = i;
      ring.Publish();
      EXPECT_LE(ring.Waiting(), JobRing<Job>::kJobs);
    }
    ring.Stop();
    EXPECT_EQ(sink.values, Range(400)) << slow;
  }
}
