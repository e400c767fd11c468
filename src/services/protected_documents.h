#pragma once
// Documents an elevated Corvane can trust. The data folder belongs to the user, so a document
// there may have been planted or edited by any unelevated program, unless it is owned by
// Administrators or SYSTEM and no other account may change it.

#include "services/handles.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace corvane {

// One allow entry of a document's access list that applies to the document itself.
struct DocumentGrant {
  std::wstring account;  // SID text; empty for an entry of a form not understood
  std::uint32_t rights = 0;
};

// Who owns a document and who is allowed what on it.
struct DocumentRights {
  std::wstring owner;           // SID text; empty when the descriptor names no owner
  bool has_access_list = true;  // false: no access list at all, so everyone may do anything
  std::vector<DocumentGrant> grants;
};

// The owner and the allow entries of a security descriptor. Throws the Windows text.
DocumentRights document_rights(PSECURITY_DESCRIPTOR descriptor);

// The same for an open file (opened with READ_CONTROL). Throws the Windows text.
DocumentRights read_document_rights(HANDLE file);

// Owner Administrators or SYSTEM, and no other account allowed to write, append, delete,
// change the permissions or take ownership.
bool is_protected_document(const DocumentRights& rights);

using SecurityDescriptor = std::unique_ptr<void, LocalFreer>;

// What an elevated process creates a document with: owner Administrators, full control for
// Administrators and SYSTEM only, read for the given user; nothing inherited from the folder.
SecurityDescriptor protected_document_descriptor(const std::wstring& user_sid);

// The same for the user the process runs as. Throws the Windows text.
SecurityDescriptor protected_document_descriptor();

// The SID text of the user the process runs as. Throws the Windows text.
std::wstring process_user_sid();

}  // namespace corvane
