// The program when it cannot show its window: a damaged window definition,
// and no display at all. Either way it says why and returns 0.
#include "LauncherTest.h"

namespace e2e {
namespace {

using Clock = std::chrono::steady_clock;
using StartFailureTest = LauncherTest;

TEST_F(StartFailureTest, ADamagedWindowDefinitionIsShownInABoxAndTheProgramReturnsZero) {
  RunOptions options;
  options.program = DamagedProgram();
  Launch(options);
  // The application's exception display: a box titled with the program's name.
  const std::optional<Window> box = WaitForBox("Install_damaged", 10s);
  ASSERT_TRUE(box) << "no message box titled Install_damaged; output:\n" << Program().Output();
  EXPECT_NE(Program().Output().find(
                "Install_damaged: Error reading INSTALL.OnMouseUp: Method INSTALLMouseClick does not exist in TForm1"),
            std::string::npos)
      << Program().Output();
  // The box is all there is: the window never came up.
  for (Window w : X().Clients())
    EXPECT_FALSE(w != *box && X().RootGeometry(w).width == kClientWidth &&
                 X().RootGeometry(w).height == kClientHeight)
        << "a window of the launcher's size is open";
  Screenshot("damaged-definition", true);
  ASSERT_TRUE(Acknowledge(*box));
  EXPECT_EQ(WaitForExit(5s), std::optional<int>(0));
}

TEST_F(StartFailureTest, WithoutADisplayItSaysWhyAndReturnsZero) {
  const Clock::time_point started = Clock::now();
  RunOptions options;
  options.display = false;
  Launch(options);
  EXPECT_EQ(WaitForExit(5s), std::optional<int>(0));
  EXPECT_LT(Clock::now() - started, 5s);
  const std::string output = Program().Output();
  EXPECT_NE(output.find("Install: Cannot open a window"), std::string::npos) << output;
  EXPECT_NE(output.find("display"), std::string::npos) << output;
}

}  // namespace
}  // namespace e2e
