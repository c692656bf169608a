// Local time with milliseconds, replaceable in tests.
#pragma once
#include <functional>

namespace plat {

struct LocalTime {
  int year = 0;          // e.g. 2026
  int month = 0;         // 1..12
  int dayOfWeek = 0;     // 0 = Sunday
  int day = 0;           // 1..31
  int hour = 0;          // 0..23
  int minute = 0;        // 0..59
  int second = 0;        // 0..59
  int milliseconds = 0;  // 0..999
};

// The current local time (or the test clock's).
LocalTime Now();
// Replaces the clock; an empty function restores the real one.
void SetClockForTest(std::function<LocalTime()> clock);

}  // namespace plat
