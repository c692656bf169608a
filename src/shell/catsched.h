// When the word catalog is rebuilt on its own: never, by a timer (daily,
// weekly, monthly at a time of day) or when the editor starts or ends.
// Timed builds are handed to the system: a systemd user timer where
// `systemctl --user` answers, else a line in the user's crontab; both run
// `zarns-cli catalog build` at the lowest CPU and I/O priority, so no
// program of ours stays running. Start-up and shut-down builds are started
// by the editor itself, detached.
//
// The choice lives in the registry ("Zarns.Application\CatalogSchedule").
// Only files and lines this module made are ever removed: the unit files
// start with kScheduleMarker, the crontab line ends with it.
#pragma once
#include <string>
#include <vector>

enum class ScheduleKind { Off, Daily, Weekly, Monthly, Startup, Shutdown };

struct CatalogSchedule {
  ScheduleKind kind = ScheduleKind::Off;
  int hour = 22;  // 0..23
  int minute = 30;
  int weekDay = 5;   // 0 = Sunday .. 6 = Saturday (weekly)
  int monthDay = 1;  // 1..28 (monthly)
  bool operator==(const CatalogSchedule&) const = default;
};

// Days of the month a monthly build may fall on: every month has them, so
// a monthly build never skips a month.
inline constexpr int kLastMonthDay = 28;

// How a timed schedule is carried out.
enum class ScheduleMethod { None, Systemd, Cron };

inline constexpr char kScheduleMarker[] = "# zarns catalog schedule";
inline constexpr char kServiceName[] = "zarns-catalog.service";
inline constexpr char kTimerName[] = "zarns-catalog.timer";

// English day names, Sunday first ("Sunday" .. "Saturday").
const char* WeekDayName(int day);
// "off", "daily at 22:30", "weekly on Friday at 22:30", "monthly on day 1
// at 22:30", "at start-up", "at shut-down".
std::string ScheduleText(const CatalogSchedule& s);
// The command line's words after "schedule": "off", "daily HH:MM",
// "weekly DAY HH:MM", "monthly N HH:MM", "startup", "shutdown". False with
// `error` set when they are not one of those.
bool ParseScheduleArgs(const std::vector<std::string>& args, CatalogSchedule& s,
                       std::string& error);

// The stored schedule (Off when none or damaged) and how it is carried out.
CatalogSchedule LoadCatalogSchedule();
ScheduleMethod LoadScheduleMethod();

// Where the pieces go and what they run.
struct ScheduleEnv {
  std::string configHome;  // $XDG_CONFIG_HOME or ~/.config, ending with "/"
  std::string cliPath;     // absolute path of zarns-cli
  std::string dataDir;     // the data directory the builds must use
  std::string nicePath;    // nice and ionice, absolute when found on PATH
  std::string ionicePath;
  std::string UnitDir() const { return configHome + "systemd/user/"; }
};
// The environment of this process; `cliPath` as ZarnsCliPath() gives it.
ScheduleEnv CurrentScheduleEnv();
// zarns-cli beside the running program, else the first one on PATH; ""
// when there is none.
std::string ZarnsCliPath();

// The unit files' and the crontab line's exact text (each ending with "\n").
std::string ServiceUnitText(const ScheduleEnv& env);
std::string TimerUnitText(const CatalogSchedule& s);
std::string CrontabLine(const CatalogSchedule& s, const ScheduleEnv& env);
// The argument vector of a low-priority build.
std::vector<std::string> BuildCommand(const ScheduleEnv& env);

// Makes `s` the schedule: removes the timer or crontab line an earlier
// schedule made, installs the new one when it is timed, and stores the
// choice. False with `error` set when it could not; the previous timed
// schedule is then put back where possible and the stored choice is
// unchanged.
bool ApplyCatalogSchedule(const CatalogSchedule& s, const ScheduleEnv& env, std::string& error);

// Starts a low-priority catalog build detached from this process (the
// catalog's build lock turns away a second one); false when it could not
// be started.
bool StartCatalogBuild(const ScheduleEnv& env);

// `zarns-cli catalog schedule status`: the schedule and the last build
// ("Last build: none" before the first).
std::string ScheduleStatusText();
