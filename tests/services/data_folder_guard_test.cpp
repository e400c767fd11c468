// ctest-resource-lock: startup data_folder reports_folder tasks
#include "services/data_folder_guard.h"

#include "engines/backup_restore.h"
#include "engines/startup_change.h"
#include "services/documents.h"
#include "services/handles.h"
#include "services/registry.h"
#include "services/registry_transaction.h"
#include "services/shell.h"
#include "services/system_info.h"
#include "services/text.h"
#include "services/user_profile.h"
#include "support/acting_unelevated.h"
#include "support/scratch.h"
#include "support/outside_folder.h"
#include "support/reported_reparse_tag.h"
#include "support/startup_scratch.h"
#include "support/unix_link.h"
#include "support/wine.h"

#include <windows.h>
#include <knownfolders.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <stdexcept>

namespace corvane {
namespace {

namespace fs = std::filesystem;
using testing::read_file_bytes;
using testing::write_file_bytes;

using testing::OutsideFolder;
using testing::redirect_local_app_data;

void expect_refused(const std::function<void()>& act, const wchar_t* refusal = kDataFolderOutsideProfileMessage) {
  try {
    act();
    ADD_FAILURE() << "not refused";
  } catch (const std::exception& error) {
    EXPECT_EQ(utf8_to_wide_lenient(error.what()), refusal);
  }
}

const char kRegistryDocument[] =
    "{\"schema\": 1, \"kind\": \"registry\", \"label\": \"x\", \"state\": \"applied\", \"before\": [], \"after\": [], "
    "\"created_keys\": []}";

// Under Wine every process is elevated: the refusals below are the real decision; the seams that
// act unelevated show that an unelevated Corvane uses the folder as ever.
TEST(DataFolderOutsideProfile, AnElevatedCorvaneNeitherWritesNorListsNorReadsThere) {
  ASSERT_TRUE(process_elevated());
  const OutsideFolder outside;
  testing::StartupScratch scratch;
  redirect_local_app_data(scratch, outside.path());
  const std::wstring data = app_data_folder();
  ASSERT_EQ(data, outside.path() + L"\\Corvane");
  const std::wstring backups = backups_folder();

  // Writes: not even the folders are made.
  expect_refused([&] { write_json_atomic(backups + L"\\a-registry.json", nlohmann::json{{"k", 1}}); });
  const testing::ScratchKey key;
  const RegistryValue change{kHiveCurrentUser, key.path(), L"v", make_string_value(L"after")};
  const Outcome applied = apply_registry_changes({change}, L"test", backups);
  EXPECT_FALSE(applied.ok);
  EXPECT_EQ(applied.message, kDataFolderOutsideProfileMessage);
  EXPECT_FALSE(read_registry_value(change).exists);
  // A Startup-folder file disabled into DisabledStartup there.
  {
    StartupEntry entry;
    entry.name = scratch.name(L"app.lnk");
    entry.key_path = (fs::path(known_folder_path(FOLDERID_Startup)) / entry.name).wstring();
    entry.target = entry.key_path;
    entry.kind = STARTUP_KIND_FOLDER;
    scratch.put_file(entry.key_path);
    const Outcome disabled = change_startup_entry(entry, false, false);
    EXPECT_EQ(disabled.message, kDataFolderOutsideProfileMessage);
    EXPECT_TRUE(fs::exists(entry.key_path));
  }
  expect_refused([&] { create_document_folder(backups + L"\\New"); });
  EXPECT_TRUE(fs::is_empty(outside.path()));

  // Files put there by someone else are neither listed nor read, nor restored.
  const std::wstring parked = disabled_startup_folder() + L"\\" + scratch.name(L"parked.lnk");
  fs::create_directories(disabled_startup_folder());
  write_file_bytes(parked, "shortcut");
  for (const StartupEntry& entry : list_startup_entries(nullptr)) EXPECT_NE(entry.key_path, parked);
  const std::wstring document = backups + L"\\20260101-000000-000-1-1-registry.json";
  fs::create_directories(backups);
  write_file_bytes(document, kRegistryDocument);
  expect_refused([] { list_backups(); });
  expect_refused([&] { read_json_file(document); });
  RestoreHandlers handlers;
  handlers.elevated = true;
  EXPECT_EQ(restore_backup(document, nullptr, {}, handlers).message, kDataFolderOutsideProfileMessage);
  EXPECT_EQ(read_file_bytes(document), kRegistryDocument);
  PinnedFolders pins;
  ASSERT_EQ(pin_folder_chain(backups, pins), static_cast<DWORD>(ERROR_SUCCESS));
  expect_refused([&] { check_pinned_data_folder(backups, pins, true); });

  // Unelevated, the same folder is used as ever.
  EXPECT_EQ(list_backups(false), std::vector<std::wstring>{document});
  EXPECT_EQ(read_document_text(document, nullptr, false), kRegistryDocument);
  check_data_folder_path(backups + L"\\New", false);
  check_pinned_data_folder(backups, pins, false);
  // A folder that is not the data folder's is none of this check's business.
  check_data_folder_path(outside.path(), true);
}

// The profile's path with "-x" appended begins with the profile's text but lies beside it.
TEST(DataFolderOutsideProfile, AFolderBesideTheProfileUnderANameThatBeginsWithItsNameIsOutside) {
  const testing::ProfileSiblingFolder sibling;
  ASSERT_TRUE(sibling.made()) << wide_to_utf8(sibling.path()) << " existed or could not be made";
  testing::StartupScratch scratch;
  redirect_local_app_data(scratch, sibling.path());
  ASSERT_EQ(app_data_folder(), sibling.path() + L"\\Corvane");
  expect_refused([] { write_json_atomic(backups_folder() + L"\\a-registry.json", nlohmann::json{{"k", 1}}); });
  expect_refused([] { create_document_folder(backups_folder()); });
  EXPECT_TRUE(fs::is_empty(sibling.path()));
}

// The pinned Backups folder emptied and made a link to an outside folder after the check: the
// listing through its handle shows nothing of the outside, a file reached through the link is
// not taken for one of the folder's, and a fresh read is refused.
TEST(DataFolderHold, AFolderMadeALinkAfterTheCheckYieldsNothingFromOutside) {
  const testing::ScratchFolder inside;
  ASSERT_TRUE(path_strictly_inside(user_profile_folder(), inside.path())) << "the temporary folder is the profile's";
  const OutsideFolder outside;
  write_file_bytes(outside.path() + L"\\other-registry.json", kRegistryDocument);
  testing::StartupScratch scratch;
  redirect_local_app_data(scratch, inside.path());
  const std::wstring backups = backups_folder();
  const testing::UnixLinkRemoval removal(backups);
  write_json_atomic(backups + L"\\own-registry.json", nlohmann::json::object());

  DataFolderHold hold;
  ASSERT_TRUE(hold_data_folder(backups, hold, true));
  ASSERT_TRUE(hold.held);
  EXPECT_EQ(held_folder_file_names(hold, "listing"), std::vector<std::wstring>{L"own-registry.json"});
  EXPECT_EQ(list_backups(), std::vector<std::wstring>{backups + L"\\own-registry.json"});

  if (!testing::running_under_wine()) {
    GTEST_SKIP() << "symbolic links are made on the Unix side of Wine's prefix; not available here";
  }
  ASSERT_TRUE(
      testing::replace_folder_with_unix_symlink(backups, outside.path(), testing::FolderEntries::moved_to_target))
      << "the folder was not replaced by a link";
  EXPECT_TRUE(held_folder_file_names(hold, "listing").empty());
  const UniqueHandle through = adopt_handle(CreateFileW((backups + L"\\other-registry.json").c_str(), GENERIC_READ,
                                                        FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(through);
  EXPECT_FALSE(file_in_held_folder(hold, through.get()));
  expect_refused([&] { read_json_file(backups + L"\\other-registry.json"); }, kDataFolderThroughLinkMessage);
  expect_refused([] { list_backups(); }, kDataFolderThroughLinkMessage);
}

TEST(InDataFolder, LetterCaseAsideAndOnlyBelowAWholeName) {
  const testing::ScratchFolder scratch;
  const std::wstring data = scratch.file(L"Corvane");
  note_data_folder(data);
  EXPECT_TRUE(in_data_folder(data));
  std::wstring upper = data;
  CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
  EXPECT_TRUE(in_data_folder(upper + L"\\BACKUPS"));
  EXPECT_TRUE(in_data_folder(lower_case(data) + L"\\backups\\x.json"));
  EXPECT_FALSE(in_data_folder(data + L"2\\Backups"));
  EXPECT_FALSE(in_data_folder(data + L"2"));
  EXPECT_FALSE(in_data_folder(scratch.path()));
}

// A link on the way to the data folder: an elevated Corvane says so and uses nothing behind it;
// unelevated, it is the user's own link and is followed.
TEST(DataFolderThroughALink, RefusedElevatedWithItsOwnTextFollowedUnelevated) {
  const OutsideFolder outside;
  const testing::ScratchFolder inside;
  testing::StartupScratch scratch;
  ASSERT_TRUE(scratch.put_link(outside.path(), inside.file(L"Local"))) << "links are made on Wine's Unix side";
  redirect_local_app_data(scratch, inside.file(L"Local"));
  const std::wstring backups = backups_folder();
  ASSERT_TRUE(path_strictly_inside(user_profile_folder(), backups));

  expect_refused([&] { write_json_atomic(backups + L"\\a-registry.json", nlohmann::json{{"k", 1}}); },
                 kDataFolderThroughLinkMessage);
  expect_refused([&] { create_document_folder(backups); }, kDataFolderThroughLinkMessage);
  EXPECT_TRUE(fs::is_empty(outside.path()));

  const testing::ActingUnelevated unelevated;
  write_json_atomic(backups + L"\\a-registry.json", nlohmann::json{{"k", 1}});
  EXPECT_EQ(read_file_bytes(outside.path() + L"\\Corvane\\Backups\\a-registry.json"), "{\n  \"k\": 1\n}");
}

// A data folder that cloud sync keeps (its folders and documents carry a cloud-files tag) is used
// elevated as ever.
TEST(DataFolderKeptByCloudSync, AnElevatedCorvaneWritesListsAndReadsItsDocuments) {
  const testing::ScratchFolder inside;
  testing::StartupScratch scratch;
  fs::create_directories(inside.file(L"Cloud"));
  redirect_local_app_data(scratch, inside.file(L"Cloud"));
  const std::wstring document = backups_folder() + L"\\own-registry.json";
  testing::ReportedReparseTag tags;
  tags.report(inside.file(L"Cloud"), testing::kCloudFilesTag);
  write_json_atomic(document, nlohmann::json{{"k", 1}});
  EXPECT_EQ(read_document_text(document, nullptr, true), "{\n  \"k\": 1\n}");
  EXPECT_EQ(list_backups(true), std::vector<std::wstring>{document});
}

// The data folder setting spelt with doubled separators or forward slashes names the folder
// itself: an elevated Corvane writes, lists and reads its documents there as ever.
TEST(DataFolderSpelling, DoubledSeparatorsAndForwardSlashesAreTheFolderItself) {
  const testing::ScratchFolder inside;
  fs::create_directories(inside.file(L"Local"));
  std::wstring slashed = inside.path();
  for (wchar_t& c : slashed) c = c == L'\\' ? L'/' : c;
  for (const std::wstring& spelt : {inside.path() + L"\\\\Local", slashed + L"/Local/", slashed + L"//Local",
                                    inside.path().substr(0, 3) + inside.path().substr(2) + L"\\Local"}) {
    SCOPED_TRACE(wide_to_utf8(spelt));
    testing::StartupScratch scratch;
    redirect_local_app_data(scratch, spelt);
    const std::wstring document = backups_folder() + L"\\own-registry.json";
    ASSERT_NE(document.find(spelt.substr(3)), std::wstring::npos) << "the setting was read in another spelling";
    write_json_atomic(document, nlohmann::json{{"k", 1}});
    EXPECT_EQ(read_file_bytes(inside.file(L"Local\\Corvane\\Backups\\own-registry.json")), "{\n  \"k\": 1\n}");
    EXPECT_EQ(list_backups(true), std::vector<std::wstring>{document});
    EXPECT_EQ(read_document_text(document, nullptr, true), "{\n  \"k\": 1\n}");
    create_document_folder(app_data_folder() + L"\\DisabledStartup");
    EXPECT_TRUE(fs::is_directory(inside.file(L"Local\\Corvane\\DisabledStartup")));
    fs::remove_all(inside.file(L"Local\\Corvane"));
  }
}

// The outside-the-profile refusal comes before anything is looked up, for a data folder that does
// not exist yet as for one that does.
TEST(DataFolderHold, AMissingDataFolderOutsideTheProfileIsRefusedAsOutside) {
  const OutsideFolder outside;
  testing::StartupScratch scratch;
  redirect_local_app_data(scratch, outside.path());
  const std::wstring backups = backups_folder();
  ASSERT_FALSE(fs::exists(app_data_folder()));
  DataFolderHold hold;
  expect_refused([&] { hold_data_folder(backups, hold, true); });
  expect_refused([&] { hold_data_folder(app_data_folder(), hold, true); });
  EXPECT_FALSE(hold.held);
  expect_refused([] { list_backups(true); });
  EXPECT_TRUE(list_backups(false).empty());
  EXPECT_TRUE(fs::is_empty(outside.path()));
}

// A listing of a held folder reads each entry's tag through the same kind of reader as a handle's:
// Corvane's own documents are listed where cloud sync keeps them, never where they are links; the
// files Corvane moves for the user are listed only where they are no reparse point at all.
TEST(DataFolderHold, AListingLeavesOutWhatItsEntriesTagsSay) {
  const testing::ScratchFolder inside;
  testing::StartupScratch scratch;
  redirect_local_app_data(scratch, inside.path());
  const std::wstring backups = backups_folder();
  for (const wchar_t* name : {L"plain-registry.json", L"cloud-registry.json", L"link-registry.json",
                              L"junction-registry.json"}) {
    write_json_atomic(backups + L"\\" + name, nlohmann::json::object());
  }
  testing::ReportedReparseTag tags;
  tags.report(backups + L"\\cloud-registry.json", testing::kCloudFilesTag);
  tags.report(backups + L"\\link-registry.json", IO_REPARSE_TAG_SYMLINK);
  tags.report(backups + L"\\junction-registry.json", IO_REPARSE_TAG_MOUNT_POINT);
  DataFolderHold hold;
  ASSERT_TRUE(hold_data_folder(backups, hold, true));
  auto sorted = [](std::vector<std::wstring> names) {
    std::sort(names.begin(), names.end());
    return names;
  };
  EXPECT_EQ(sorted(held_folder_file_names(hold, "listing", ListedReparsePoints::not_links)),
            (std::vector<std::wstring>{L"cloud-registry.json", L"plain-registry.json"}));
  EXPECT_EQ(held_folder_file_names(hold, "listing", ListedReparsePoints::none),
            std::vector<std::wstring>{L"plain-registry.json"});
  EXPECT_EQ(list_backups(true),
            (std::vector<std::wstring>{backups + L"\\plain-registry.json", backups + L"\\cloud-registry.json"}));
}

// An elevated read opens the document by its name inside the folder it checked: once that folder
// has been made a link, the read finds nothing, rather than the document the link leads to.
TEST(DataFolderHold, AnElevatedReadOpensTheDocumentThroughTheCheckedFolder) {
  const testing::ScratchFolder inside;
  const OutsideFolder outside;
  testing::StartupScratch scratch;
  redirect_local_app_data(scratch, inside.path());
  const std::wstring document = backups_folder() + L"\\own-registry.json";
  write_json_atomic(document, nlohmann::json::object());
  static std::wstring swap_folder;
  static std::wstring swap_target;
  static bool swapped = false;
  swap_folder = backups_folder();
  swap_target = outside.path();
  swapped = false;
  const testing::UnixLinkRemoval removal(swap_folder);
  document_read_probe = [](const std::wstring&) {
    swapped = testing::replace_folder_with_unix_symlink(swap_folder, swap_target, testing::FolderEntries::moved_to_target);
  };
  std::string error;
  try {
    read_document_text(document, nullptr, true);
  } catch (const std::exception& refused) {
    error = refused.what();
  }
  document_read_probe = nullptr;
  ASSERT_TRUE(swapped) << "the folder was not replaced by a link";
  EXPECT_EQ(error, "Cannot read backup");
  EXPECT_EQ(read_file_bytes(outside.path() + L"\\own-registry.json"), "{}") << "the document went along";
}

}  // namespace
}  // namespace corvane
