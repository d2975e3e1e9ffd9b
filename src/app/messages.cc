#include "app/messages.h"

#include <cstdio>
#include <optional>

#include "platform/error_text.h"
#include "resources/strings.h"

namespace tw::app {
namespace {

UserMessage Numbered(Problem problem, uint32_t id, Icon icon, Field field = Field::kNone) {
  UserMessage m;
  m.problem = problem;
  m.text = std::string(LoadString(id));
  m.icon = icon;
  m.string_id = id;
  m.field = field;
  return m;
}

UserMessage Unnumbered(Problem problem, std::string_view text, Icon icon,
                       Field field = Field::kNone) {
  UserMessage m;
  m.problem = problem;
  m.text = std::string(text);
  m.icon = icon;
  m.field = field;
  return m;
}

UserMessage WithCause(UserMessage m, Error cause) {
  m.cause = cause;
  if (cause) {
    if (std::optional<std::string_view> why = ErrorText(cause.code())) m.detail = *why;
  }
  return m;
}

}  // namespace

std::string_view ProblemName(Problem problem) {
  switch (problem) {
    case Problem::kAddressRequired:
      return "address-required";
    case Problem::kInvalidAddress:
      return "invalid-address";
    case Problem::kNotHttp:
      return "not-http";
    case Problem::kInvalidTitle:
      return "invalid-title";
    case Problem::kTitleTaken:
      return "title-taken";
    case Problem::kOutOfRange:
      return "out-of-range";
    case Problem::kTooLong:
      return "too-long";
    case Problem::kAddFailed:
      return "add-failed";
    case Problem::kPropertiesFailed:
      return "write-failed";
    case Problem::kDeleteFailed:
      return "delete-failed";
    case Problem::kBrowserFailed:
      return "browser-failed";
    case Problem::kCouldNotLoadPage:
      return "could-not-load-page";
    case Problem::kNoSuchPage:
      return "no-such-page";
    case Problem::kInternal:
      return "internal";
    case Problem::kInvalidValue:
      return "invalid-value";
    case Problem::kNoEarlierVersion:
      return "no-earlier-version";
    case Problem::kEnterValue:
      return "enter-value";
    case Problem::kMailAddress:
      return "mail-address";
    case Problem::kAddressBook:
      return "address-book";
    case Problem::kFailed:
      return "failed";
    case Problem::kStartupFailed:
      return "startup-failed";
    case Problem::kStartupProgramMissing:
      return "startup-missing-program";
    case Problem::kStartupAccessDenied:
      return "startup-access-denied";
    case Problem::kSchedulerFailed:
      return "scheduler-failed";
    case Problem::kNotEnoughMemory:
      return "not-enough-memory";
    case Problem::kQuestion:
      return "question";
  }
  return "failed";
}

UserMessage StringMessage(uint32_t id) { return Numbered(Problem::kFailed, id, Icon::kError); }

std::string_view FieldName(Field field) {
  switch (field) {
    case Field::kNone:
      return "";
    case Field::kTitle:
      return "title";
    case Field::kNewTitle:
      return "newTitle";
    case Field::kAddress:
      return "address";
    case Field::kCheckCount:
      return "checkCount";
    case Field::kWaitMinutes:
      return "waitMinutes";
    case Field::kOption:
      return "option";
    case Field::kToName:
      return "toName";
    case Field::kToAddress:
      return "toAddress";
    case Field::kFromName:
      return "fromName";
    case Field::kFromAddress:
      return "fromAddress";
    case Field::kEveryHours:
      return "everyHours";
    case Field::kAt:
      return "at";
    case Field::kDays:
      return "days";
    case Field::kRepeat:
      return "repeat";
  }
  return "";
}

UserMessage EnterValueMessage(Field field) {
  return Numbered(Problem::kEnterValue, str::kEnterValue, Icon::kError, field);
}

UserMessage MailAddressMessage(Field field) {
  return Numbered(Problem::kMailAddress, str::kMailAddressFormat, Icon::kError, field);
}

UserMessage AddressBookMessage(Error cause) {
  return WithCause(Numbered(Problem::kAddressBook, str::kAddressBookError, Icon::kError), cause);
}

UserMessage InvalidTitleMessage(Field field) {
  return Numbered(Problem::kInvalidTitle, str::kInvalidTitle, Icon::kWarning, field);
}

UserMessage TitleTakenMessage(Field field) {
  return Unnumbered(Problem::kTitleTaken, text::kTitleTaken, Icon::kWarning, field);
}

UserMessage AddressRequiredMessage() {
  return Unnumbered(Problem::kAddressRequired, text::kAddressRequired, Icon::kNone,
                    Field::kAddress);
}

UserMessage InvalidAddressMessage() {
  return Unnumbered(Problem::kInvalidAddress, text::kInvalidUrl, Icon::kWarning, Field::kAddress);
}

UserMessage NotHttpMessage() {
  return Unnumbered(Problem::kNotHttp, text::kOnlyHttp, Icon::kWarning, Field::kAddress);
}

UserMessage OutOfRangeMessage(Field field, int64_t min, int64_t max) {
  // The text's two "%d" take the bounds, and nothing else of it is a format.
  std::string filled;
  const std::string_view pattern = text::kValueOutOfRange;
  int next = 0;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern.substr(i, 2) == "%d" && next < 2) {
      filled += std::to_string(next++ == 0 ? min : max);
      ++i;
    } else {
      filled.push_back(pattern[i]);
    }
  }
  UserMessage m = Unnumbered(Problem::kOutOfRange, filled, Icon::kInformation, field);
  m.range = std::make_pair(min, max);
  return m;
}

UserMessage TooLongMessage(Field field) {
  return Unnumbered(Problem::kTooLong, text::kTextTooLong, Icon::kInformation, field);
}

UserMessage AddFailedMessage(Error cause) {
  return WithCause(Numbered(Problem::kAddFailed, str::kErrorAddingPage, Icon::kError), cause);
}

UserMessage PropertiesFailedMessage(Error cause) {
  return WithCause(
      Unnumbered(Problem::kPropertiesFailed, text::kErrorSettingProperties, Icon::kError), cause);
}

UserMessage DeleteFailedMessage(Error cause) {
  return WithCause(Unnumbered(Problem::kDeleteFailed, text::kErrorDeletingPage, Icon::kError),
                   cause);
}

UserMessage BrowserFailedMessage(Error cause) {
  return WithCause(Numbered(Problem::kBrowserFailed, str::kErrorTalkingToBrowser, Icon::kError),
                   cause);
}

UserMessage NotEnoughMemoryMessage() {
  return Numbered(Problem::kNotEnoughMemory, str::kNotEnoughMemory, Icon::kError);
}

UserMessage CouldNotLoadPageMessage(Error cause) {
  return WithCause(Numbered(Problem::kCouldNotLoadPage, str::kCouldNotLoadPage, Icon::kError),
                   cause);
}

UserMessage NoSuchPageMessage() {
  return Numbered(Problem::kNoSuchPage, str::kInternalError, Icon::kError);
}

UserMessage InternalErrorMessage(Error cause) {
  return WithCause(Numbered(Problem::kInternal, str::kInternalError, Icon::kError), cause);
}

UserMessage NoEarlierVersionMessage() {
  return Unnumbered(Problem::kNoEarlierVersion, text::kNoEarlierVersion, Icon::kInformation);
}

UserMessage FailedMessage(std::string text, Error cause) {
  return WithCause(Unnumbered(Problem::kFailed, text, Icon::kError), cause);
}

UserMessage StartupFailedMessage(Error cause) {
  return WithCause(Numbered(Problem::kStartupFailed, str::kStartupItemError, Icon::kError), cause);
}

UserMessage StartupProgramMissingMessage() {
  return Numbered(Problem::kStartupProgramMissing, str::kStartupFilesMissing, Icon::kError);
}

UserMessage StartupAccessDeniedMessage(Error cause) {
  return WithCause(Numbered(Problem::kStartupAccessDenied, str::kStartupAccessDenied, Icon::kError),
                   cause);
}

UserMessage RemoveStartupForAllUsersQuestion() {
  return Numbered(Problem::kQuestion, str::kStartupRemoveForAllUsers, Icon::kQuestion);
}

UserMessage SchedulerFailedMessage(Error cause) {
  return WithCause(Unnumbered(Problem::kSchedulerFailed, text::kSchedulerError, Icon::kError),
                   cause);
}

UserMessage InvalidValueMessage(Field field, std::string text) {
  return Unnumbered(Problem::kInvalidValue, text, Icon::kInformation, field);
}

std::string ErrorSentence(Error e) {
  const std::optional<std::string_view> text = ErrorText(e.code());
  return std::string(text ? *text : LoadString(str::kUnknownError));
}

}  // namespace tw::app
