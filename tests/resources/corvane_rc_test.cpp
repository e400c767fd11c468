// The resources built into Corvane.exe: licence notices, icons and the manifest.
#include "support/dib_canvas.h"

#include <windows.h>
#include <shellapi.h>

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

TEST_F(CorvaneResources, LicenceNoticesComeFromThePackages) {
  const std::string interface_notice = data(RT_RCDATA, 201);
  EXPECT_NE(interface_notice.find("Dear ImGui"), std::string::npos);
  EXPECT_NE(interface_notice.find("Omar Cornut"), std::string::npos);
  EXPECT_NE(interface_notice.find("Permission is hereby granted"), std::string::npos);

  const std::string data_notice = data(RT_RCDATA, 202);
  EXPECT_NE(data_notice.find("Niels Lohmann"), std::string::npos);
  EXPECT_NE(data_notice.find("Permission is hereby granted"), std::string::npos);
  // The whole copyright file, not only its first paragraphs.
  EXPECT_NE(data_notice.find("LLVM Release License"), std::string::npos);

  const std::string additional = data(RT_RCDATA, 203);
  EXPECT_NE(additional.find("ProggyClean"), std::string::npos);
  EXPECT_NE(additional.find("Tristan Grimmer"), std::string::npos);
  EXPECT_NE(additional.find("mingw-w64"), std::string::npos);
  EXPECT_NE(additional.find("winpthreads"), std::string::npos);
  EXPECT_NE(additional.find("GCC RUNTIME LIBRARY EXCEPTION"), std::string::npos);
  EXPECT_NE(additional.find("requirements of the license of GCC."), std::string::npos);
}

TEST_F(CorvaneResources, ManifestAsksForWhatTheProgramNeeds) {
  const std::string manifest = data(RT_MANIFEST, 1);
  EXPECT_NE(manifest.find("PerMonitorV2"), std::string::npos);
  EXPECT_NE(manifest.find("<longPathAware"), std::string::npos);
  EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
  EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
}

TEST_F(CorvaneResources, ApplicationIconIsOpaqueAndTheBlankIconIsEmpty) {
  for (const int size : {20, 36, 48}) {
    const auto icon = static_cast<HICON>(LoadImageW(module_, MAKEINTRESOURCEW(101), IMAGE_ICON, size, size, 0));
    ASSERT_NE(icon, nullptr) << size;
    testing::DibCanvas canvas(size, size, 0x954717);
    ASSERT_TRUE(DrawIconEx(canvas.dc(), 0, 0, icon, size, size, 0, nullptr, DI_NORMAL));
    // The tile covers the middle; its corners are rounded off.
    EXPECT_NE(canvas.pixel(size / 2, size / 8), 0x954717u) << size;
    EXPECT_EQ(canvas.pixel(0, 0), 0x954717u) << size;
    DestroyIcon(icon);
  }
  HICON small = nullptr;
  ASSERT_EQ(ExtractIconExW(built_corvane_exe().c_str(), -102, nullptr, &small, 1), 1u);
  ASSERT_NE(small, nullptr);
  testing::DibCanvas canvas(32, 32, 0x954717);
  EXPECT_TRUE(DrawIconEx(canvas.dc(), 0, 0, small, 32, 32, 0, nullptr, DI_NORMAL));
  EXPECT_EQ(canvas.count(0x954717), 32 * 32);
  DestroyIcon(small);
}

}  // namespace
}  // namespace corvane
