#pragma once
// The registry editor's import text (.reg) written beside every registry backup.

#include "services/registry_value.h"

#include <string>
#include <vector>

namespace corvane {

// "\"name\"" with backslashes and quotes escaped; a line break throws "Invalid registry string".
std::wstring quote_reg_string(const std::wstring& text);

// The whole .reg text, CR LF line ends, one section per entry.
std::wstring reg_file_text(const std::vector<RegistryValue>& values);

// UTF-16LE with a byte-order mark, written the way documents are (pinned folder, temporary
// file, one replace); the folder is not created. Throws "Cannot write .reg backup".
void write_reg_file(const std::wstring& path, const std::vector<RegistryValue>& values);

}  // namespace corvane
