// The take-ownership command mode through a fake system: no real box, no second process.

#include "ui/selftest/take_ownership_mode.h"

#include <gtest/gtest.h>

#include <shellapi.h>

#include <stdexcept>
#include <vector>

namespace corvane {
namespace {

struct Box {
  std::wstring text;
  std::wstring caption;
  UINT style;
};

struct Fake {
  static inline std::vector<Box> boxes;
  static inline int answer = IDYES;
  static inline bool elevated = true;
  static inline bool throws = false;
  static inline Outcome outcome;
  static inline std::vector<std::wstring> taken;
  static inline std::vector<std::wstring> relaunched;
  static inline bool relaunch_starts = true;

  static TakeOwnershipSystem system() {
    boxes.clear();
    taken.clear();
    relaunched.clear();
    return TakeOwnershipSystem{
        [](const std::wstring& text, const std::wstring& caption, UINT style) {
          boxes.push_back(Box{text, caption, style});
          return answer;
        },
        [] {
          if (throws) throw std::runtime_error("probe failed \xff");
          return elevated;
        },
        [](const std::wstring& path) {
          taken.push_back(path);
          return outcome;
        },
        [](const std::wstring& parameters) {
          relaunched.push_back(parameters);
          return relaunch_starts;
        }};
  }
};

std::vector<std::wstring> arguments_of(const std::wstring& parameters) {
  int count = 0;
  wchar_t** argv = CommandLineToArgvW((L"Corvane.exe " + parameters).c_str(), &count);
  std::vector<std::wstring> result(argv + 1, argv + count);
  LocalFree(argv);
  return result;
}

TEST(TakeOwnershipMode, RelaunchCommandLineCarriesThePathExactly) {
  for (const std::wstring path : {L"C:\\Program Files\\My App\\file name.txt", L"C:\\", L"D:\\dữ liệu\\thư mục\\",
                                  L"\\\\server\\share\\a b\\\\"}) {
    EXPECT_EQ(arguments_of(take_ownership_parameters(path)), (std::vector<std::wstring>{L"--take-ownership", path}));
  }
}

TEST(TakeOwnershipMode, AnswersAndOutcomes) {
  Fake::answer = IDNO;
  EXPECT_EQ(take_ownership_command(L"C:\\x", Fake::system()), 0);
  ASSERT_EQ(Fake::boxes.size(), 1u);
  EXPECT_EQ(Fake::boxes[0].caption, L"Corvane - Take Ownership");
  EXPECT_EQ(Fake::boxes[0].style, static_cast<UINT>(MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2));
  EXPECT_TRUE(Fake::taken.empty());
  EXPECT_TRUE(Fake::relaunched.empty());

  Fake::answer = IDYES;
  Fake::elevated = true;
  Fake::outcome = Outcome{false, L"Refused here", L"", 0, 0, 0};
  EXPECT_EQ(take_ownership_command(L"C:\\x", Fake::system()), 1);
  ASSERT_EQ(Fake::boxes.size(), 2u);
  EXPECT_EQ(Fake::boxes[1].text, L"Refused here");
  EXPECT_EQ(Fake::boxes[1].style, static_cast<UINT>(MB_OK | MB_ICONERROR));

  Fake::outcome = Outcome{true, L"Owner: Administrators.", L"", 0, 1, 0};
  EXPECT_EQ(take_ownership_command(L"C:\\x", Fake::system()), 0);
  EXPECT_EQ(Fake::boxes[1].style, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
  EXPECT_EQ(Fake::taken, std::vector<std::wstring>{L"C:\\x"});

  Fake::elevated = false;
  Fake::relaunch_starts = false;
  EXPECT_EQ(take_ownership_command(L"C:\\", Fake::system()), 1);
  EXPECT_EQ(Fake::relaunched, std::vector<std::wstring>{L"--take-ownership \"C:\\\\\""});
  EXPECT_TRUE(Fake::taken.empty());
  Fake::relaunch_starts = true;
  EXPECT_EQ(take_ownership_command(L"C:\\", Fake::system()), 0);

  Fake::throws = true;
  EXPECT_EQ(take_ownership_command(L"C:\\x", Fake::system()), 1);
  ASSERT_EQ(Fake::boxes.size(), 2u);
  EXPECT_EQ(Fake::boxes[1].text, L"probe failed \xfffd");
  Fake::throws = false;
}

}  // namespace
}  // namespace corvane
