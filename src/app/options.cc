// The facade's operations on the options.
#include "app/application.h"
#include "app/application_internal.h"
#include "app/messages.h"
#include "settings/checking_options.h"

namespace tw::app {

std::string Application::settings_path() {
  return core_->store.ok() ? core_->store->path() : std::string();
}

Outcome<std::vector<OptionState>> Application::DescribeOptions() {
  if (!core_->store.ok()) {
    return FailedMessage("the settings store cannot be found", core_->store.error());
  }
  Result<std::vector<OptionState>> states = tw::DescribeOptions(*core_->store);
  if (!states.ok()) return FailedMessage(core_->store->path(), states.error());
  return std::move(*states);
}

Outcome<Done> Application::SetOptionFromText(const OptionDefinition& option,
                                             std::string_view text) {
  if (!core_->store.ok()) {
    return FailedMessage("the settings store cannot be found", core_->store.error());
  }
  const ParsedOption parsed = ParseOptionValue(option, text);
  if (!parsed.value) {
    UserMessage m = FailedMessage(parsed.problem);
    m.problem = Problem::kInvalidValue;
    m.icon = Icon::kInformation;
    m.field = Field::kOption;
    m.option = std::string(option.name);
    return m;
  }
  const SettingsStore& store = *core_->store;
  const SettingsValue& value = *parsed.value;
  const Error e = value.type == SettingsType::kDword
                      ? store.WriteDword(OptionsKey(), option.name, value.dword)
                      : store.WriteString(OptionsKey(), option.name, value.text);
  if (e) return FailedMessage(store.path(), e);
  return Done{};
}

Outcome<Done> Application::UnsetOption(const OptionDefinition& option) {
  if (!core_->store.ok()) {
    return FailedMessage("the settings store cannot be found", core_->store.error());
  }
  if (Error e = core_->store->DeleteValue(OptionsKey(), option.name)) {
    return FailedMessage(core_->store->path(), e);
  }
  return Done{};
}

}  // namespace tw::app
