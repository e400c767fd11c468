// The manifest built into Corvane.exe.


#include <windows.h>

#include "support/built_program.h"

#include <gtest/gtest.h>

#include <string>

namespace corvane {
namespace {

using testing::built_corvane_exe;

class CorvaneResources : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryExW(built_corvane_exe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module_, nullptr) << "Corvane.exe not found beside the tests";
  }
  void TearDown() override {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  std::string data(const wchar_t* type, int id) const {
    const HRSRC found = FindResourceW(module_, MAKEINTRESOURCEW(id), type);
    if (found == nullptr) return {};
    const HGLOBAL loaded = LoadResource(module_, found);
    const auto* bytes = static_cast<const char*>(LockResource(loaded));
    return bytes == nullptr ? std::string() : std::string(bytes, SizeofResource(module_, found));
  }
  HMODULE module_ = nullptr;
};

TEST_F(CorvaneResources, ManifestAsksForWhatTheProgramNeeds) {
  const std::string manifest = data(RT_MANIFEST, 1);
  EXPECT_NE(manifest.find("PerMonitorV2"), std::string::npos);
  EXPECT_NE(manifest.find("<longPathAware"), std::string::npos);
  EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
  EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
}

}  // namespace
}  // namespace corvane
