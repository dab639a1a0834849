// Creates the launcher's window from its embedded definition on the headless
// backend, and records what the program asks of the Win32 stand-ins.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Install1.h"
#include "toolkit/headless/HeadlessBackend.h"

struct Launch;
std::vector<Launch>& AppTest_Launches();

struct Launch {
  std::string file;
  std::string operation;  // "" for the default action
  bool hasOwner, hasParameters, hasDirectory;
  int show;
};

class AppTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Creates Form1 from the definition given, or the embedded one, and shows it.
  void CreateWindow(const std::vector<std::uint8_t>* definition = nullptr);

  toolkit::headless::HeadlessBackend& Window() const;
  void Move(int x, int y);
  void Down(int x, int y, TMouseButton button = mbLeft);
  void Up(int x, int y, TMouseButton button = mbLeft);
  // The frame's pixel at a client position, after pending painting.
  std::uint32_t PixelAt(int x, int y);
  // True when the frame shows the picture at the image's place.
  bool Shows(const TImage* image, const TImage* holder);

  std::vector<std::string> MessageTexts() const;
  static std::vector<Launch>& Launches();
};

// Positions inside the visible items and the background.
inline constexpr int kInstallX = 400, kInstallY = 150;
inline constexpr int kExitX = 580, kExitY = 440;
inline constexpr int kBackgroundX = 100, kBackgroundY = 400;
