#pragma once
// The machine's own environment: the variables the system gives a process started for no user,
// untouched by the variables a user sets for their own account (HKCU\Environment), which an
// elevated Corvane inherits as well.

#include <optional>
#include <string>
#include <vector>

namespace corvane {

struct EnvironmentVariable {
  std::wstring name;
  std::wstring value;
};
using EnvironmentVariables = std::vector<EnvironmentVariable>;

// The block CreateEnvironmentBlock builds without a token, as name and value pairs in its
// order; nothing when the block cannot be made.
std::optional<EnvironmentVariables> read_machine_environment();

// The reader the registry review asks for the machine's environment: read_machine_environment.
// Tests replace it to give a block as Windows may build it, with variables Wine's lacks.
extern std::optional<EnvironmentVariables> (*machine_environment_reader)();

// text with each %NAME% replaced by NAME's value in variables, names compared letter case aside.
// A name that is not there stays as written, and so does a "%" that opens no reference, as
// ExpandEnvironmentStrings leaves them.
std::wstring expand_with_variables(const std::wstring& text, const EnvironmentVariables& variables);

}  // namespace corvane
