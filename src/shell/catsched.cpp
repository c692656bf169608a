#include "shell/catsched.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "catalog/buildlog.h"
#include "platform/pdatadir.h"
#include "platform/pfile.h"
#include "platform/plauncher.h"
#include "platform/pprocess.h"
#include "platform/pregistry.h"

namespace {

const char kKey[] = "Zarns.Application\\CatalogSchedule";
const char* const kKindNames[] = {"off", "daily", "weekly", "monthly", "startup", "shutdown"};
const char* const kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                             "Thursday", "Friday", "Saturday"};
const char* const kShortDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

bool Timed(ScheduleKind k) {
  return k == ScheduleKind::Daily || k == ScheduleKind::Weekly || k == ScheduleKind::Monthly;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string TwoDigits(int n) {
  char b[8];
  std::snprintf(b, sizeof b, "%02d", n);
  return b;
}

bool ParseTime(const std::string& t, int& hour, int& minute) {
  const std::size_t colon = t.find(':');
  if (colon == std::string::npos || colon == 0 || colon > 2 || t.size() != colon + 3) return false;
  for (std::size_t i = 0; i < t.size(); ++i)
    if (i != colon && !std::isdigit(static_cast<unsigned char>(t[i]))) return false;
  hour = std::atoi(t.substr(0, colon).c_str());
  minute = std::atoi(t.substr(colon + 1).c_str());
  return hour <= 23 && minute <= 59;
}

// "fri", "Friday" and "Fridays" all name Friday.
int ParseDay(const std::string& word) {
  std::string w = Lower(word);
  if (w.size() > 3 && w.back() == 's') w.pop_back();
  for (int d = 0; d < 7; ++d)
    if (w == Lower(kDays[d]) || w == Lower(kShortDays[d])) return d;
  return -1;
}

// Characters that need no quoting in a unit file or a shell command.
bool Plain(const std::string& s) {
  if (s.empty()) return false;
  for (unsigned char c : s)
    if (!std::isalnum(c) &&
        std::string("/._+-:@,=").find(static_cast<char>(c)) == std::string::npos)
      return false;
  return true;
}

// One word of a unit file's command line or Environment=: "%" and "$" are
// taken literally, others in double quotes.
std::string UnitWord(const std::string& s) {
  std::string q;
  for (char c : s) {
    if (c == '%')
      q += "%%";
    else if (c == '$')
      q += "$$";
    else if (c == '"' || c == '\\')
      q += std::string("\\") + c;
    else
      q += c;
  }
  return Plain(s) ? q : "\"" + q + "\"";
}

// One word for cron's shell; cron turns an unescaped "%" into a line break.
std::string CronWord(const std::string& s) {
  if (Plain(s)) return s;
  std::string q = "'";
  for (char c : s) {
    if (c == '\'')
      q += "'\\''";
    else if (c == '%')
      q += "\\%";
    else
      q += c;
  }
  return q + "'";
}

bool HasNewline(const ScheduleEnv& env) {
  for (const std::string* s : {&env.cliPath, &env.dataDir, &env.nicePath, &env.ionicePath})
    if (s->find_first_of("\r\n") != std::string::npos) return true;
  return false;
}

bool SystemdWorks() { return plat::RunProcess({"systemctl", "--user", "show-environment"}).Ok(); }

bool Systemctl(const std::vector<std::string>& args, std::string& error) {
  std::vector<std::string> argv{"systemctl", "--user"};
  argv.insert(argv.end(), args.begin(), args.end());
  const plat::ProcessResult r = plat::RunProcess(argv);
  if (r.Ok()) return true;
  std::string what = r.err;
  while (!what.empty() && (what.back() == '\n' || what.back() == ' ')) what.pop_back();
  error = "systemctl --user " + args.front() + " failed" + (what.empty() ? "" : ": " + what);
  return false;
}

// Whose a unit file is: ours start with the marker.
enum class Owner { Missing, Ours, Foreign, Unreadable };

Owner UnitOwner(const std::string& path) {
  std::string text;
  if (!plat::ReadWholeFile(path, text))
    return plat::LastFileError() == plat::FileError::NotFound ? Owner::Missing : Owner::Unreadable;
  return text.rfind(kScheduleMarker, 0) == 0 ? Owner::Ours : Owner::Foreign;
}

std::string Unreadable(const std::string& path) {
  return path + " could not be read (" + plat::FileErrorText(plat::LastFileError()) + ")";
}

// Takes our unit files away (disabling the timer first); a file of that
// name not made by us is left alone.
bool RemoveTimer(const ScheduleEnv& env, std::string& error) {
  const std::string service = env.UnitDir() + kServiceName, timer = env.UnitDir() + kTimerName;
  const Owner serviceOwner = UnitOwner(service);
  if (serviceOwner == Owner::Unreadable) return error = Unreadable(service), false;
  const Owner timerOwner = UnitOwner(timer);
  if (timerOwner == Owner::Unreadable) return error = Unreadable(timer), false;
  const bool serviceOurs = serviceOwner == Owner::Ours, timerOurs = timerOwner == Owner::Ours;
  if (!serviceOurs && !timerOurs) return true;
  const bool systemd = SystemdWorks();
  // Not running any more matters more than the files: a failure here stops.
  if (systemd && timerOurs && !Systemctl({"disable", "--now", kTimerName}, error)) return false;
  plat::FileSystem& fs = plat::Fs();
  if (timerOurs && !fs.Remove(timer)) {
    error = timer + " could not be removed (" + plat::FileErrorText(plat::LastFileError()) + ")";
    return false;
  }
  if (serviceOurs && !fs.Remove(service)) {
    error = service + " could not be removed (" + plat::FileErrorText(plat::LastFileError()) + ")";
    return false;
  }
  if (systemd) Systemctl({"daemon-reload"}, error);  // the files are gone either way
  return true;
}

// The user's crontab; false when it could not be read. No crontab at all
// reads as an empty one.
bool ReadCrontab(std::string& text, std::string& error) {
  const plat::ProcessResult r = plat::RunProcess({"crontab", "-l"});
  if (r.Ok()) {
    text = r.out;
    return true;
  }
  text.clear();
  if (r.started && r.out.empty() && Lower(r.err).find("no crontab") != std::string::npos)
    return true;
  // Anything else might hide lines we would otherwise overwrite.
  error = r.started ? "crontab -l failed" : "crontab could not be run";
  return false;
}

bool WriteCrontab(const std::string& text, std::string& error) {
  const plat::ProcessResult r =
      text.empty() ? plat::RunProcess({"crontab", "-r"}) : plat::RunProcess({"crontab", "-"}, text);
  if (r.Ok()) return true;
  error = text.empty() ? "crontab -r failed" : "crontab - failed";
  return false;
}

// The crontab without our lines; every other line stays byte for byte.
std::string WithoutOurLines(const std::string& text, bool& found) {
  std::string kept;
  found = false;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t nl = text.find('\n', start);
    const std::size_t end = nl == std::string::npos ? text.size() : nl + 1;
    std::string line = text.substr(start, end - start);
    std::string body = line;
    while (!body.empty() && (body.back() == '\n' || body.back() == '\r')) body.pop_back();
    const std::string marker = std::string(" ") + kScheduleMarker;
    if (body.size() >= marker.size() &&
        body.compare(body.size() - marker.size(), marker.size(), marker) == 0)
      found = true;
    else
      kept += line;
    start = end;
  }
  return kept;
}

// `ours`: a line of ours is known to be there, so a crontab that cannot be
// read is a failure rather than one without our line.
bool RemoveCron(bool ours, std::string& error) {
  if (plat::FindOnPath("crontab").empty()) {
    if (ours) error = "crontab could not be run";
    return !ours;
  }
  std::string text;
  std::string readError;
  if (!ReadCrontab(text, readError)) {
    if (ours) error = readError;
    return !ours;
  }
  bool found = false;
  const std::string kept = WithoutOurLines(text, found);
  return !found || WriteCrontab(kept, error);
}

bool InstallTimer(const CatalogSchedule& s, const ScheduleEnv& env, std::string& error) {
  const std::string dir = env.UnitDir();
  const std::string service = dir + kServiceName, timer = dir + kTimerName;
  for (const std::string& p : {service, timer}) {
    const Owner owner = UnitOwner(p);
    if (owner == Owner::Unreadable) return error = Unreadable(p), false;
    if (owner == Owner::Foreign) {
      error = p + " exists and was not made by Zarns; it is left as it is";
      return false;
    }
  }
  plat::MakeDirs(dir);
  auto fail = [&](const std::string& path) {
    error = path + " could not be written (" + plat::FileErrorText(plat::LastFileError()) + ")";
    return false;
  };
  if (!plat::WriteFileAtomic(service, ServiceUnitText(env))) return fail(service);
  if (!plat::WriteFileAtomic(timer, TimerUnitText(s))) {
    const plat::FileError e = plat::LastFileError();
    plat::Fs().Remove(service);
    plat::SetLastFileError(e);
    return fail(timer);
  }
  if (!Systemctl({"daemon-reload"}, error) || !Systemctl({"enable", "--now", kTimerName}, error)) {
    plat::Fs().Remove(timer);
    plat::Fs().Remove(service);
    std::string ignored;
    Systemctl({"daemon-reload"}, ignored);
    return false;
  }
  return true;
}

bool InstallCron(const CatalogSchedule& s, const ScheduleEnv& env, std::string& error) {
  std::string text;
  if (!ReadCrontab(text, error)) return false;
  bool found = false;
  text = WithoutOurLines(text, found);
  // Cron ignores a last line without its line break.
  if (!text.empty() && text.back() != '\n') text += '\n';
  return WriteCrontab(text + CrontabLine(s, env), error);
}

bool RemoveTimed(const ScheduleEnv& env, std::string& error) {
  const CatalogSchedule s = LoadCatalogSchedule();
  const bool cron = Timed(s.kind) && LoadScheduleMethod() == ScheduleMethod::Cron;
  return RemoveTimer(env, error) && RemoveCron(cron, error);
}

bool InstallTimed(const CatalogSchedule& s, const ScheduleEnv& env, ScheduleMethod& method,
                  std::string& error) {
  if (env.cliPath.empty() || env.cliPath[0] != '/') {
    error = "zarns-cli was not found";
    return false;
  }
  if (HasNewline(env)) {
    error = "a path holds a line break and cannot be scheduled";
    return false;
  }
  if (SystemdWorks()) {
    method = ScheduleMethod::Systemd;
    return InstallTimer(s, env, error);
  }
  if (!plat::FindOnPath("crontab").empty()) {
    method = ScheduleMethod::Cron;
    return InstallCron(s, env, error);
  }
  error = "neither a systemd user session nor crontab is available";
  return false;
}

std::string OnCalendar(const CatalogSchedule& s) {
  const std::string time = TwoDigits(s.hour) + ":" + TwoDigits(s.minute) + ":00";
  switch (s.kind) {
    case ScheduleKind::Weekly: return std::string(kShortDays[s.weekDay]) + " *-*-* " + time;
    case ScheduleKind::Monthly: return "*-*-" + TwoDigits(s.monthDay) + " " + time;
    default: return "*-*-* " + time;
  }
}

bool Valid(const CatalogSchedule& s) {
  return s.hour >= 0 && s.hour <= 23 && s.minute >= 0 && s.minute <= 59 && s.weekDay >= 0 &&
         s.weekDay <= 6 && s.monthDay >= 1 && s.monthDay <= kLastMonthDay;
}

bool Store(const CatalogSchedule& s, ScheduleMethod method) {
  plat::Registry& reg = plat::ClassesRoot();
  const char* methods[] = {"", "systemd", "cron"};
  return reg.SetString(kKey, "Kind", kKindNames[static_cast<int>(s.kind)]) &&
         reg.SetDword(kKey, "Hour", static_cast<std::uint32_t>(s.hour)) &&
         reg.SetDword(kKey, "Minute", static_cast<std::uint32_t>(s.minute)) &&
         reg.SetDword(kKey, "WeekDay", static_cast<std::uint32_t>(s.weekDay)) &&
         reg.SetDword(kKey, "MonthDay", static_cast<std::uint32_t>(s.monthDay)) &&
         reg.SetString(kKey, "Method", methods[static_cast<int>(method)]);
}

}  // namespace

const char* WeekDayName(int day) { return day >= 0 && day < 7 ? kDays[day] : ""; }

std::string ScheduleText(const CatalogSchedule& s) {
  const std::string at = " at " + TwoDigits(s.hour) + ":" + TwoDigits(s.minute);
  switch (s.kind) {
    case ScheduleKind::Off: return "off";
    case ScheduleKind::Daily: return "daily" + at;
    case ScheduleKind::Weekly: return std::string("weekly on ") + WeekDayName(s.weekDay) + at;
    case ScheduleKind::Monthly: return "monthly on day " + std::to_string(s.monthDay) + at;
    case ScheduleKind::Startup: return "at start-up";
    case ScheduleKind::Shutdown: return "at shut-down";
  }
  return "off";
}

bool ParseScheduleArgs(const std::vector<std::string>& args, CatalogSchedule& s,
                       std::string& error) {
  const std::string usage =
      "expected: off | daily HH:MM | weekly DAY HH:MM | monthly N HH:MM | startup | shutdown";
  if (args.empty()) {
    error = usage;
    return false;
  }
  CatalogSchedule r = LoadCatalogSchedule();
  const std::string kind = Lower(args[0]);
  std::size_t want = 1;
  if (kind == "off")
    r.kind = ScheduleKind::Off;
  else if (kind == "startup")
    r.kind = ScheduleKind::Startup;
  else if (kind == "shutdown")
    r.kind = ScheduleKind::Shutdown;
  else if (kind == "daily")
    r.kind = ScheduleKind::Daily, want = 2;
  else if (kind == "weekly")
    r.kind = ScheduleKind::Weekly, want = 3;
  else if (kind == "monthly")
    r.kind = ScheduleKind::Monthly, want = 3;
  else {
    error = "unknown schedule \"" + args[0] + "\"; " + usage;
    return false;
  }
  if (args.size() != want) {
    error = usage;
    return false;
  }
  if (kind == "weekly") {
    r.weekDay = ParseDay(args[1]);
    if (r.weekDay < 0) {
      error = "not a day of the week: " + args[1];
      return false;
    }
  } else if (kind == "monthly") {
    const std::string& n = args[1];
    const bool digits =
        !n.empty() && n.size() <= 2 && n.find_first_not_of("0123456789") == std::string::npos;
    r.monthDay = digits ? std::atoi(n.c_str()) : 0;
    if (r.monthDay < 1 || r.monthDay > kLastMonthDay) {
      error = "the day of the month must be 1 to " + std::to_string(kLastMonthDay) + ": " + n;
      return false;
    }
  }
  if (want > 1 && !ParseTime(args.back(), r.hour, r.minute)) {
    error = "not a time of day (HH:MM): " + args.back();
    return false;
  }
  s = r;
  return true;
}

CatalogSchedule LoadCatalogSchedule() {
  plat::Registry& reg = plat::ClassesRoot();
  CatalogSchedule s;
  const auto kind = reg.GetString(kKey, "Kind");
  for (int i = 0; kind && i < 6; ++i)
    if (*kind == kKindNames[i]) s.kind = static_cast<ScheduleKind>(i);
  auto get = [&](const char* name, int& field) {
    if (auto v = reg.GetDword(kKey, name)) field = *v < 100 ? static_cast<int>(*v) : -1;
  };
  get("Hour", s.hour);
  get("Minute", s.minute);
  get("WeekDay", s.weekDay);
  get("MonthDay", s.monthDay);
  // Hand-edited nonsense is no schedule, not a timer at 99:99.
  return Valid(s) ? s : CatalogSchedule{};
}

ScheduleMethod LoadScheduleMethod() {
  const auto m = plat::ClassesRoot().GetString(kKey, "Method");
  if (m && *m == "systemd") return ScheduleMethod::Systemd;
  if (m && *m == "cron") return ScheduleMethod::Cron;
  return ScheduleMethod::None;
}

std::string ZarnsCliPath() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    const std::string beside = (exe.parent_path() / "zarns-cli").string();
    if (!plat::FindOnPath(beside).empty()) return beside;
  }
  return plat::FindOnPath("zarns-cli");
}

ScheduleEnv CurrentScheduleEnv() {
  ScheduleEnv env;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  // Relative values are invalid by the XDG rules and are ignored.
  if (xdg && xdg[0] == '/') {
    env.configHome = xdg;
    if (env.configHome.back() != '/') env.configHome += '/';
  } else {
    env.configHome = plat::HomeDir() + ".config/";
  }
  env.cliPath = ZarnsCliPath();
  env.dataDir = plat::DataDir();
  // A timer's or cron's PATH is short: the tools are named by where they are.
  env.nicePath = plat::FindOnPath("nice");
  if (env.nicePath.empty()) env.nicePath = "nice";
  env.ionicePath = plat::FindOnPath("ionice");
  if (env.ionicePath.empty()) env.ionicePath = "ionice";
  return env;
}

std::vector<std::string> BuildCommand(const ScheduleEnv& env) {
  return {env.nicePath, "-n", "19", env.ionicePath, "-c3", env.cliPath, "catalog", "build"};
}

std::string ServiceUnitText(const ScheduleEnv& env) {
  std::string exec;
  for (const std::string& w : BuildCommand(env)) {
    if (!exec.empty()) exec += ' ';
    exec += UnitWord(w);
  }
  return std::string(kScheduleMarker) +
         ": made by \"zarns-cli catalog schedule\" and the Preferences dialog\n"
         "[Unit]\n"
         "Description=Zarns word catalog build\n"
         "\n"
         "[Service]\n"
         "Type=oneshot\n"
         "Environment=" +
         UnitWord("ZARNS_DATA_DIR=" + env.dataDir) + "\nExecStart=" + exec + "\n";
}

std::string TimerUnitText(const CatalogSchedule& s) {
  // Persistent: a build missed while the computer was off runs when it is
  // next on, so the catalog is never more than one period old.
  return std::string(kScheduleMarker) +
         ": made by \"zarns-cli catalog schedule\" and the Preferences dialog\n"
         "[Unit]\n"
         "Description=Zarns word catalog build, " +
         ScheduleText(s) +
         "\n"
         "\n"
         "[Timer]\n"
         "OnCalendar=" +
         OnCalendar(s) +
         "\n"
         "Persistent=true\n"
         "\n"
         "[Install]\n"
         "WantedBy=timers.target\n";
}

std::string CrontabLine(const CatalogSchedule& s, const ScheduleEnv& env) {
  std::string when = std::to_string(s.minute) + " " + std::to_string(s.hour) + " ";
  switch (s.kind) {
    case ScheduleKind::Weekly: when += "* * " + std::to_string(s.weekDay); break;
    case ScheduleKind::Monthly: when += std::to_string(s.monthDay) + " * *"; break;
    default: when += "* * *"; break;
  }
  std::string cmd = "ZARNS_DATA_DIR=" + CronWord(env.dataDir);
  for (const std::string& w : BuildCommand(env)) {
    cmd += ' ';
    cmd += CronWord(w);
  }
  // The result goes to the build log; cron would mail the output.
  return when + " " + cmd + " >/dev/null 2>&1 " + kScheduleMarker + "\n";
}

bool ApplyCatalogSchedule(const CatalogSchedule& s, const ScheduleEnv& env, std::string& error) {
  error.clear();
  if (!Valid(s)) {
    error = "the schedule's day or time is out of range";
    return false;
  }
  const CatalogSchedule old = LoadCatalogSchedule();
  const ScheduleMethod oldMethod = LoadScheduleMethod();
  if (!RemoveTimed(env, error)) return false;
  ScheduleMethod method = ScheduleMethod::None;
  auto putBack = [&] {
    ScheduleMethod m;
    std::string ignored;
    if (Timed(old.kind)) InstallTimed(old, env, m, ignored);
  };
  if (Timed(s.kind) && !InstallTimed(s, env, method, error)) {
    putBack();
    return false;
  }
  if (!Store(s, method)) {
    error = "the schedule could not be stored (" +
            std::string(plat::FileErrorText(plat::LastFileError())) + ")";
    // Each value is written on its own: the ones that were are taken back.
    Store(old, oldMethod);
    std::string ignored;
    RemoveTimed(env, ignored);
    putBack();
    return false;
  }
  return true;
}

bool StartCatalogBuild(const ScheduleEnv& env) {
  if (env.cliPath.empty()) return false;
  return plat::StartDetached(BuildCommand(env));
}

std::string ScheduleStatusText() {
  const CatalogSchedule s = LoadCatalogSchedule();
  std::string text = "Schedule: " + ScheduleText(s);
  if (Timed(s.kind)) {
    const ScheduleMethod m = LoadScheduleMethod();
    if (m == ScheduleMethod::Systemd) text += " (systemd user timer)";
    if (m == ScheduleMethod::Cron) text += " (crontab)";
  }
  text += "\n";
  const std::vector<BuildLogEntry> log = ReadBuildLog();
  text += "Last build: " + (log.empty() ? std::string("none") : DescribeBuild(log.back())) + "\n";
  return text;
}
