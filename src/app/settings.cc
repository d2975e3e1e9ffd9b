// The facade's user settings, run on startup, the offline schedule and the folder picker.
#include <algorithm>

#include "app/application.h"
#include "app/application_internal.h"
#include "app/messages.h"
#include "foundation/ascii.h"
#include "platform/autostart.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/user_dirs.h"
#include "resources/strings.h"
#include "settings/checking_options.h"

namespace tw::app {
namespace {

constexpr std::string_view kAutostartFile = "tidewell.desktop";
constexpr std::string_view kScheduledRefresh = "/r";
constexpr std::string_view kServeCommand = "serve";
constexpr std::string_view kAtLogOn = "At log on";

UserMessage ProblemMessage(const SettingProblem& problem) {
  UserMessage m;
  switch (problem.kind) {
    case SettingProblem::Kind::kOutOfRange:
      m = OutOfRangeMessage(Field::kOption, problem.min, problem.max);
      break;
    case SettingProblem::Kind::kTooLong:
      m = TooLongMessage(Field::kOption);
      break;
    case SettingProblem::Kind::kUnknownName:
      m = InvalidValueMessage(Field::kOption, "There is no setting named " + problem.name + ".");
      break;
    case SettingProblem::Kind::kWrongType:
      m = InvalidValueMessage(Field::kOption, problem.name + " takes a value of another type.");
      break;
    case SettingProblem::Kind::kInvalidValue:
      m = InvalidValueMessage(Field::kOption, problem.sentence);
      break;
  }
  m.option = problem.name;
  return m;
}

bool EntryExists(AutostartScope scope) {
  Result<std::string> path = AutostartPath(scope, kAutostartFile);
  return path.ok() && PathExists(*path);
}

std::optional<UserMessage> CheckSchedule(const OfflineSchedule& schedule) {
  if (schedule.hour < 0 || schedule.hour > 23 || schedule.minute < 0 || schedule.minute > 59) {
    return InvalidValueMessage(Field::kAt, "Please enter a time of day from 00:00 to 23:59.");
  }
  if (schedule.repeat == OfflineSchedule::Repeat::kHourly &&
      (schedule.every_hours < 1 || schedule.every_hours > kMaxEveryHours)) {
    return OutOfRangeMessage(Field::kEveryHours, 1, kMaxEveryHours);
  }
  if (schedule.repeat == OfflineSchedule::Repeat::kWeekly &&
      (schedule.days == 0 || (schedule.days & ~kAllWeekDays) != 0)) {
    return InvalidValueMessage(Field::kDays, "Please choose at least one day of the week.");
  }
  return std::nullopt;
}

}  // namespace

Result<std::vector<SettingsValue>> Application::Core::SettingsInForce() {
  if (!store.ok()) return store.error();
  Result<std::vector<SettingsValue>> values = LoadUserSettings(*store);
  if (!values.ok()) return values.error();
  const bool has_folder = std::any_of(values->begin(), values->end(), [](const SettingsValue& v) {
    return v.name == option::kPdb;
  });
  if (!has_folder) {
    Result<std::string> folder = PageFolder();
    if (folder.ok()) values->push_back(SettingsValue::String(std::string(option::kPdb), *folder));
  }
  return values;
}

Result<std::string> Application::Core::Program() {
  if (config.program) return *config.program;
  return OwnProgramPath();
}

std::span<const SettingDefinition> Application::SettingsSchema() {
  return UserSettingDefinitions();
}

Outcome<std::vector<SettingsValue>> Application::GetSettings() {
  Result<std::vector<SettingsValue>> values = core_->SettingsInForce();
  if (!values.ok()) return InternalErrorMessage(values.error());
  return std::move(*values);
}

Outcome<Done> Application::SetSettings(WindowSetting setting, std::vector<SettingsValue> values) {
  if (!core_->store.ok()) return InternalErrorMessage(core_->store.error());
  PreparedSettings prepared = PrepareUserSettings(*core_->store, setting, std::move(values));
  if (prepared.problem) return ProblemMessage(*prepared.problem);
  if (Error e = SaveUserSettings(*core_->store, prepared.values)) return InternalErrorMessage(e);
  return Done{};
}

bool Application::IsFirstRun() { return !core_->store.ok() || tw::IsFirstRun(*core_->store); }

// --- Run on startup ----------------------------------------------------------------------------

bool Application::IsRunOnStartup() {
  return EntryExists(AutostartScope::kUser) || EntryExists(AutostartScope::kAllUsers);
}

Outcome<StartupChange> Application::SetRunOnStartup(bool enabled,
                                                    std::optional<bool> remove_for_all_users) {
  Result<std::string> user = AutostartPath(AutostartScope::kUser, kAutostartFile);
  Result<std::string> all = AutostartPath(AutostartScope::kAllUsers, kAutostartFile);
  if (!user.ok()) return StartupFailedMessage(user.error());
  if (!all.ok()) return StartupFailedMessage(all.error());
  if (enabled) {
    if (PathExists(*all) || PathExists(*user)) return StartupChange{};
    Result<std::string> program = core_->Program();
    if (!program.ok() || !PathExists(*program)) return StartupProgramMissingMessage();
    const AutostartEntry entry{std::string(LoadString(str::kCaption)),
                               "Checks your watched web pages and tells you when one has changed",
                               {*program, std::string(kServeCommand)}};
    if (Error e = WriteAutostartEntry(*user, entry)) return StartupFailedMessage(e);
    return StartupChange{};
  }
  if (PathExists(*all)) {
    if (!remove_for_all_users) return StartupChange{RemoveStartupForAllUsersQuestion()};
    if (!*remove_for_all_users) return StartupChange{};
    if (Error e = DeleteFile(*all)) {
      if (e.code() == err::kAccessDenied) return StartupAccessDeniedMessage(e);
      return StartupFailedMessage(e);
    }
    return StartupChange{};
  }
  Error e = DeleteFile(*user);
  if (e && !e.IsNothingThere() && e.code() != err::kPathNotFound) return StartupFailedMessage(e);
  return StartupChange{};
}

// --- Offline schedule --------------------------------------------------------------------------

Outcome<ScheduleState> Application::GetOfflineSchedule() {
  ScheduleState state;
  state.kind = OfflineScheduler::Detect();
  Result<std::string> program = core_->Program();
  if (state.kind == SchedulerKind::kNone || !program.ok()) {
    state.status = std::string(text::kSchedulerError);
    return state;
  }
  const OfflineScheduler scheduler(state.kind, {*program, std::string(kScheduledRefresh)});
  Result<std::optional<OfflineSchedule>> schedule = scheduler.Read();
  if (!schedule.ok()) {
    state.status = std::string(text::kSchedulerError);
    return state;
  }
  state.schedule = *schedule;
  if (!state.schedule) {
    state.status = std::string(text::kNoSchedule);
    return state;
  }
  if (state.schedule->repeat == OfflineSchedule::Repeat::kLogOn) {
    state.status = std::string(text::kNextRunTime) + "\n" + std::string(kAtLogOn);
    return state;
  }
  Result<std::optional<FileTime>> next = scheduler.NextRun();
  if (!next.ok() || !*next) {
    state.status = std::string(text::kSchedulerError);
    return state;
  }
  state.next_run = **next;
  state.status = std::string(text::kNextRunTime) + "\n" + FormatForDisplay(**next);
  return state;
}

Outcome<Done> Application::SetOfflineSchedule(const std::optional<OfflineSchedule>& schedule) {
  if (schedule) {
    if (std::optional<UserMessage> m = CheckSchedule(*schedule)) return *m;
  }
  const SchedulerKind kind = OfflineScheduler::Detect();
  if (kind == SchedulerKind::kNone) return SchedulerFailedMessage();
  Result<std::string> program = core_->Program();
  if (!program.ok()) return SchedulerFailedMessage(program.error());
  const OfflineScheduler scheduler(kind, {*program, std::string(kScheduledRefresh)});
  if (Error e = scheduler.Write(schedule)) return SchedulerFailedMessage(e);
  return Done{};
}

// --- Folders -----------------------------------------------------------------------------------

namespace {

bool EndsInOneOf(std::string_view name, const std::vector<std::string>& suffixes) {
  return std::any_of(suffixes.begin(), suffixes.end(), [name](const std::string& suffix) {
    return name.size() >= suffix.size() &&
           EqualsIgnoreCase(name.substr(name.size() - suffix.size()), suffix);
  });
}

}  // namespace

Outcome<FolderListing> Application::ListFolders(const FolderQuery& query) {
  std::string path = query.path;
  if (path.empty()) {
    Result<std::string> folder = core_->PageFolder();
    if (!query.file_suffixes && folder.ok() && PathExists(*folder)) {
      path = *folder;
    } else {
      Result<std::string> home = HomeDir();
      if (!home.ok()) return InternalErrorMessage(home.error());
      path = *home;
    }
  }
  Result<std::string> real = RealPath(path);
  if (!real.ok()) return InternalErrorMessage(real.error());
  Result<VisibleEntries> entries = ListVisibleEntries(*real);
  if (!entries.ok()) return InternalErrorMessage(entries.error());
  FolderListing listing;
  listing.path = *real;
  if (*real != "/") listing.parent = FolderOf(*real);
  listing.folders = std::move(entries->folders);
  if (query.file_suffixes) {
    listing.files.emplace();
    for (std::string& name : entries->files) {
      if (EndsInOneOf(name, *query.file_suffixes)) listing.files->push_back(std::move(name));
    }
  }
  return listing;
}

}  // namespace tw::app
