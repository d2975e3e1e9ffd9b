// The facade's operations on the earlier versions of a page.
#include "pagefile/page_versions.h"
#include "app/application.h"
#include "app/application_internal.h"
#include "app/messages.h"
#include "pagefile/page_file.h"
#include "resources/strings.h"

namespace tw::app {
namespace {

PageVersion VersionFrom(const VersionInfo& info) {
  return PageVersion{info.id, info.address, info.found_time, info.replaced_time, info.size};
}

UserMessage VersionsUnreadable(Error cause) {
  return FailedMessage(std::string(text::kVersionsUnreadable), cause);
}

// The page's versions, newest first; a folder without a store has none.
Outcome<std::vector<VersionInfo>> VersionsOf(const std::string& folder, const std::string& title) {
  Result<PageVersions> versions = PageVersions::OpenExisting(folder);
  if (!versions.ok()) {
    if (versions.error().IsNothingThere()) return std::vector<VersionInfo>{};
    return VersionsUnreadable(versions.error());
  }
  Result<std::vector<VersionInfo>> list = versions->List(title);
  if (!list.ok()) return VersionsUnreadable(list.error());
  return std::move(*list);
}

}  // namespace

Outcome<std::vector<PageVersion>> Application::ListPageVersions(std::string_view title_in) {
  const std::string title(title_in);
  Result<std::string> folder = core_->PageFolder();
  if (!folder.ok()) return CouldNotLoadPageMessage(folder.error());
  if (!core_->PageExists(*folder, title)) return NoSuchPageMessage();
  Outcome<std::vector<VersionInfo>> list = VersionsOf(*folder, title);
  if (!list.ok()) return list.message();
  std::vector<PageVersion> versions;
  for (const VersionInfo& info : *list) versions.push_back(VersionFrom(info));
  return versions;
}

Outcome<PageChanges> Application::ShowChanges(std::string_view title_in,
                                              std::optional<int64_t> version_id) {
  const std::string title(title_in);
  Result<std::string> folder = core_->PageFolder();
  if (!folder.ok()) return CouldNotLoadPageMessage(folder.error());
  if (!core_->PageExists(*folder, title)) return NoSuchPageMessage();
  Outcome<std::vector<VersionInfo>> list = VersionsOf(*folder, title);
  if (!list.ok()) return list.message();
  const VersionInfo* chosen = nullptr;
  for (const VersionInfo& info : *list) {
    if (!version_id || info.id == *version_id) {
      chosen = &info;
      break;
    }
  }
  if (!chosen) return version_id ? NoSuchPageMessage() : NoEarlierVersionMessage();

  Result<std::unique_ptr<PageRecord>> current =
      RetryWhileInUse([&] { return ReadPage(*folder, title); });
  if (!current.ok()) return CouldNotLoadPageMessage(current.error());
  Result<PageVersions> versions = PageVersions::OpenExisting(*folder);
  if (!versions.ok()) return VersionsUnreadable(versions.error());
  Result<std::unique_ptr<PageRecord>> earlier = versions->Load(title, chosen->id);
  if (!earlier.ok()) return VersionsUnreadable(earlier.error());

  PageChanges changes;
  changes.title = title;
  changes.address = (*current)->address;
  changes.version = VersionFrom(*chosen);
  changes.documents = DiffPages(**earlier, **current);
  return changes;
}

}  // namespace tw::app
