#include "services/machine_environment.h"

#include "services/system_library.h"

#include <windows.h>
#include <userenv.h>

#include <memory>

namespace corvane {
namespace {

// userenv.dll is loaded when the machine's environment is first asked for: only the registry
// review needs it.
struct UserEnvironment {
  decltype(&CreateEnvironmentBlock) create = nullptr;
  decltype(&DestroyEnvironmentBlock) destroy = nullptr;
};

const UserEnvironment& user_environment() {
  static const UserEnvironment functions = [] {
    UserEnvironment loaded;
    const HMODULE module = load_system_library(L"userenv.dll");
    if (module == nullptr || !find_function(module, "CreateEnvironmentBlock", loaded.create) ||
        !find_function(module, "DestroyEnvironmentBlock", loaded.destroy)) {
      return UserEnvironment{};
    }
    return loaded;
  }();
  return functions;
}

struct EnvironmentBlockDestroyer {
  void operator()(void* block) const {
    if (block != nullptr) user_environment().destroy(block);
  }
};

const EnvironmentVariable* find_variable(const EnvironmentVariables& variables, const std::wstring& name) {
  if (name.empty()) return nullptr;
  for (const EnvironmentVariable& variable : variables) {
    if (CompareStringOrdinal(variable.name.data(), static_cast<int>(variable.name.size()), name.data(),
                             static_cast<int>(name.size()), TRUE) == CSTR_EQUAL) {
      return &variable;
    }
  }
  return nullptr;
}

}  // namespace

std::optional<EnvironmentVariables> read_machine_environment() {
  const UserEnvironment& functions = user_environment();
  if (functions.create == nullptr) return std::nullopt;
  void* raw = nullptr;
  if (!functions.create(&raw, nullptr, FALSE) || raw == nullptr) return std::nullopt;
  const std::unique_ptr<void, EnvironmentBlockDestroyer> block(raw);
  EnvironmentVariables variables;
  // "NAME=value" strings one after another, ended by an empty one. A name may begin with "="
  // (the per-drive folders), so its own "=" is looked for from the second character on.
  for (const wchar_t* entry = static_cast<const wchar_t*>(block.get()); *entry != L'\0';) {
    const std::wstring text(entry);
    entry += text.size() + 1;
    const std::size_t equals = text.find(L'=', 1);
    if (equals == std::wstring::npos) continue;
    variables.push_back({text.substr(0, equals), text.substr(equals + 1)});
  }
  return variables;
}

std::optional<EnvironmentVariables> (*machine_environment_reader)() = read_machine_environment;

std::wstring expand_with_variables(const std::wstring& text, const EnvironmentVariables& variables) {
  std::wstring expanded;
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (text[pos] == L'%') {
      const std::size_t close = text.find(L'%', pos + 1);
      const EnvironmentVariable* variable =
          close == std::wstring::npos ? nullptr : find_variable(variables, text.substr(pos + 1, close - pos - 1));
      if (variable != nullptr) {
        expanded += variable->value;
        pos = close + 1;
        continue;
      }
      // Not a reference: the "%" stays, and the one that would have closed it may open the next.
    }
    expanded.push_back(text[pos]);
    ++pos;
  }
  return expanded;
}

}  // namespace corvane
