#include "platform/pclock.h"

#include <ctime>
#include <mutex>

namespace plat {

namespace {
std::mutex g_mu;
std::function<LocalTime()>& TestClock() {
  static std::function<LocalTime()> clock;
  return clock;
}
}  // namespace

LocalTime Now() {
  {
    std::lock_guard<std::mutex> g(g_mu);
    if (TestClock()) return TestClock()();
  }
  timespec ts{};
  ::clock_gettime(CLOCK_REALTIME, &ts);
  std::tm tm{};
  time_t secs = ts.tv_sec;
  ::localtime_r(&secs, &tm);
  LocalTime t;
  t.year = tm.tm_year + 1900;
  t.month = tm.tm_mon + 1;
  t.dayOfWeek = tm.tm_wday;
  t.day = tm.tm_mday;
  t.hour = tm.tm_hour;
  t.minute = tm.tm_min;
  t.second = tm.tm_sec > 59 ? 59 : tm.tm_sec;  // a leap second reads as :59
  t.milliseconds = static_cast<int>(ts.tv_nsec / 1000000);
  return t;
}

void SetClockForTest(std::function<LocalTime()> clock) {
  std::lock_guard<std::mutex> g(g_mu);
  TestClock() = std::move(clock);
}

}  // namespace plat
