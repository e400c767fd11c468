// Refusals of an elevated Corvane in the language of the window.
#include "ui/app.h"

#include "engines/backup_restore.h"
#include "engines/cleanup_areas.h"
#include "engines/startup_change.h"
#include "engines/tools_folder.h"
#include "services/data_folder_guard.h"

namespace corvane {

std::wstring shown_refusal(const std::wstring& message, bool vietnamese) {
  if (!vietnamese) return message;
  if (message == kUnprotectedBackupMessage) return kUnprotectedBackupMessageVi;
  if (message == kStartupOutsideProfileMessage) return kStartupOutsideProfileMessageVi;
  if (message == kStartupMoveRedirectedMessage) return kStartupMoveRedirectedMessageVi;
  if (message == kDataFolderOutsideProfileMessage) return kDataFolderOutsideProfileMessageVi;
  if (message == kDataFolderThroughLinkMessage) return kDataFolderThroughLinkMessageVi;
  if (message == kDesktopOutsideProfileMessage) return kDesktopOutsideProfileMessageVi;
  if (message == kLocalDataOutsideProfileMessage) return kLocalDataOutsideProfileMessageVi;
  return message;
}

}  // namespace corvane
