// The user-facing messages of the facade, made in one place from the texts of the string table
// (resources/strings.h), each with its icon. Pure functions; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/values.h"
#include "platform/error.h"

namespace tw::app {

UserMessage InvalidTitleMessage(Field field);
UserMessage TitleTakenMessage(Field field);
UserMessage AddressRequiredMessage();
UserMessage InvalidAddressMessage();
UserMessage NotHttpMessage();
// "Please enter a value between MIN and MAX." (information).
UserMessage OutOfRangeMessage(Field field, int64_t min, int64_t max);
// "Please enter a length less than &d." as it stands (information).
UserMessage TooLongMessage(Field field);
UserMessage AddFailedMessage(Error cause);
UserMessage PropertiesFailedMessage(Error cause);
UserMessage DeleteFailedMessage(Error cause);
UserMessage BrowserFailedMessage(Error cause = Error());
UserMessage CouldNotLoadPageMessage(Error cause = Error());
// "Not enough memory." (error, 130).
UserMessage NotEnoughMemoryMessage();
UserMessage NoSuchPageMessage();
UserMessage InternalErrorMessage(Error cause = Error());
// "This page has no earlier version to compare with yet." (information).
UserMessage NoEarlierVersionMessage();
// Tell a Friend's checks: "Please enter a value." and the e-mail address format (errors).
UserMessage EnterValueMessage(Field field);
UserMessage MailAddressMessage(Field field);
// "An error occurred while accessing the Address Book." (error).
UserMessage AddressBookMessage(Error cause = Error());
// A failure whose text is the caller's own ("the page folder cannot be found"), with the error's
// sentence as its detail.
UserMessage FailedMessage(std::string text, Error cause = Error());

// Run on startup: strings 231, 232, 233 (errors) and the question 234.
UserMessage StartupFailedMessage(Error cause);
UserMessage StartupProgramMissingMessage();
UserMessage StartupAccessDeniedMessage(Error cause);
UserMessage RemoveStartupForAllUsersQuestion();
// The offline schedule could not be read or changed.
UserMessage SchedulerFailedMessage(Error cause = Error());
// A value that is not one of the field's values; `text` says what is wrong (information).
UserMessage InvalidValueMessage(Field field, std::string text);

// A failure whose text is the string table's `id` (error).
UserMessage StringMessage(uint32_t id);

// The sentence for an error number ("Unknown error." when there is none).
std::string ErrorSentence(Error e);

}  // namespace tw::app
