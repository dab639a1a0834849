// The stand-ins that hand their work to the window toolkit's hooks, and
// what they do without one.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "winapi/posix_hooks.h"

namespace {

struct BoxCall {
  int count = 0;
  std::string text, caption;
  UINT type = 0;
};
BoxCall boxCall;
int boxResult = IDOK;

int RecordBox(HWND, LPCSTR text, LPCSTR caption, UINT type) {
  ++boxCall.count;
  boxCall.text = text;
  boxCall.caption = caption;
  boxCall.type = type;
  return boxResult;
}

int captures = 0;
BOOL RecordRelease() {
  ++captures;
  return FALSE;
}

struct Message {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
Message lastMessage{};
LRESULT RecordMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  lastMessage = {window, message, wParam, lParam};
  return 1234;
}

class WindowCallsTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    winapi_posix::hooks() = winapi_posix::Hooks{};
    boxCall = {};
    boxResult = IDOK;
    captures = 0;
    lastMessage = {};
  }
};

}  // namespace

TEST_F(WindowCallsTest, MessageBoxWithoutHookWritesToStandardError) {
  ::testing::internal::CaptureStderr();
  const int result = MessageBoxA(nullptr, "Can not connect PDA.", "Error", MB_OK | MB_ICONERROR);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Error: Can not connect PDA.\n");
  EXPECT_EQ(result, IDOK);
}

TEST_F(WindowCallsTest, MessageBoxGoesToTheHook) {
  winapi_posix::hooks().messageBox = RecordBox;
  boxResult = 2;
  ::testing::internal::CaptureStderr();
  const int result =
      MessageBoxA(nullptr, "Rapi Initialization failed.", "Error", MB_OK | MB_ICONERROR);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(result, 2);
  EXPECT_EQ(boxCall.count, 1);
  EXPECT_EQ(boxCall.text, "Rapi Initialization failed.");
  EXPECT_EQ(boxCall.caption, "Error");
  EXPECT_EQ(boxCall.type, MB_OK | MB_ICONERROR);
}

TEST_F(WindowCallsTest, MessageBoxFallsBackWhenTheHookCannotShowIt) {
  winapi_posix::hooks().messageBox = RecordBox;
  boxResult = 0;
  ::testing::internal::CaptureStderr();
  const int result = MessageBoxA(nullptr, "Can not connect PDA.", "Error", MB_ICONERROR);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Error: Can not connect PDA.\n");
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(boxCall.count, 1);
}

TEST_F(WindowCallsTest, CaptureAndMessagesGoToTheHooks) {
  EXPECT_EQ(ReleaseCapture(), TRUE) << "without a hook nothing holds a capture";
  EXPECT_EQ(SendMessageA(nullptr, WM_NCLBUTTONDOWN, HTCAPTION, 0), 0) << "without a hook";

  winapi_posix::hooks().releaseCapture = RecordRelease;
  winapi_posix::hooks().sendMessage = RecordMessage;
  EXPECT_EQ(ReleaseCapture(), FALSE);
  EXPECT_EQ(captures, 1);
  const HWND window = reinterpret_cast<HWND>(std::intptr_t{0x42});
  EXPECT_EQ(SendMessageA(window, WM_NCLBUTTONDOWN, HTCAPTION, 99), 1234);
  EXPECT_EQ(lastMessage.window, window);
  EXPECT_EQ(lastMessage.message, WM_NCLBUTTONDOWN);
  EXPECT_EQ(lastMessage.wParam, HTCAPTION);
  EXPECT_EQ(lastMessage.lParam, 99);
}

TEST(LastError, BelongsToEachThread) {
  SetLastError(ERROR_INVALID_HANDLE);
  DWORD seenByOther = 0xFFFF;
  std::thread other([&seenByOther] {
    seenByOther = GetLastError();
    SetLastError(ERROR_INVALID_PARAMETER);
  });
  other.join();
  EXPECT_EQ(seenByOther, ERROR_SUCCESS);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}
