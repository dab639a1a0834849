// Reading the RAPIEMU_* variables and the registry path rules.

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

#include "emulator/Registry.h"
#include "emulator/Settings.h"

namespace rapiemu {
namespace {

struct CodeCase {
  const char* text;
  std::optional<std::int32_t> expected;
};

class ResultCodeParsing : public testing::TestWithParam<CodeCase> {};

TEST_P(ResultCodeParsing, GivesThe32BitCode) {
  EXPECT_EQ(ParseResultCode(GetParam().text), GetParam().expected) << GetParam().text;
}

constexpr std::int32_t kFail = static_cast<std::int32_t>(0x80004005u);

INSTANTIATE_TEST_SUITE_P(
    Table, ResultCodeParsing,
    testing::Values(CodeCase{"0", 0}, CodeCase{"1", 1}, CodeCase{"0x80004005", kFail},
                    CodeCase{"0X8000400a", static_cast<std::int32_t>(0x8000400Au)},
                    CodeCase{"-2147467259", kFail}, CodeCase{"2147500037", kFail},
                    CodeCase{"-2147483648", INT32_MIN}, CodeCase{"4294967295", -1},
                    CodeCase{"0xFFFFFFFF", -1}, CodeCase{"-2147483649", std::nullopt},
                    CodeCase{"4294967296", std::nullopt}, CodeCase{"0x100000000", std::nullopt},
                    CodeCase{"0x", std::nullopt}, CodeCase{"-", std::nullopt},
                    CodeCase{"E_FAIL", std::nullopt}, CodeCase{" 1", std::nullopt},
                    CodeCase{"1 ", std::nullopt}, CodeCase{"0x8000400g", std::nullopt},
                    CodeCase{"12a", std::nullopt}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(DelayParsing, AcceptsOnlyNonNegativeMilliseconds) {
  EXPECT_EQ(ParseDelay("0"), std::chrono::milliseconds(0));
  EXPECT_EQ(ParseDelay("1500"), std::chrono::milliseconds(1500));
  EXPECT_EQ(ParseDelay("2147483647"), std::chrono::milliseconds(2147483647));
  for (const char* bad : {"", "-1", "2147483648", "1.5", "10ms", "0x10"}) {
    EXPECT_EQ(ParseDelay(bad), std::nullopt) << bad;
  }
}

TEST(FlagParsing, KnowsOnlyOneAndZero) {
  EXPECT_EQ(ParseFlag("1"), true);
  EXPECT_EQ(ParseFlag("0"), false);
  for (const char* bad : {"yes", "true", "2", " 1", ""}) EXPECT_EQ(ParseFlag(bad), std::nullopt);
}

class SettingsFromEnvironment : public testing::Test {
 protected:
  Settings read() {
    return ReadSettings([this](const char* name) -> std::optional<std::string> {
      const auto found = env.find(name);
      if (found == env.end()) return std::nullopt;
      return found->second;
    });
  }
  std::map<std::string, std::string> env;
};

TEST_F(SettingsFromEnvironment, DefaultsWhenNothingIsSet) {
  const Settings settings = read();
  EXPECT_FALSE(settings.registryFile);
  EXPECT_EQ(settings.connectDelay.count(), 0);
  EXPECT_FALSE(settings.neverConnect);
  EXPECT_EQ(settings.connectResult, 0);
  EXPECT_FALSE(settings.refuseStart);
}

TEST_F(SettingsFromEnvironment, ReadsEveryVariable) {
  env = {{"RAPIEMU_REGISTRY", "/tmp/x.reg"},
         {"RAPIEMU_CONNECT_DELAY_MS", "250"},
         {"RAPIEMU_NEVER_CONNECT", "1"},
         {"RAPIEMU_CONNECT_RESULT", "0x80004005"},
         {"RAPIEMU_REFUSE_START", "1"}};
  const Settings settings = read();
  EXPECT_EQ(settings.registryFile, "/tmp/x.reg");
  EXPECT_EQ(settings.connectDelay.count(), 250);
  EXPECT_TRUE(settings.neverConnect);
  EXPECT_EQ(settings.connectResult, kFail);
  EXPECT_TRUE(settings.refuseStart);
}

TEST_F(SettingsFromEnvironment, EmptyCountsAsUnset) {
  env = {{"RAPIEMU_REGISTRY", ""}, {"RAPIEMU_CONNECT_DELAY_MS", ""}, {"RAPIEMU_NEVER_CONNECT", ""}};
  const Settings settings = read();
  EXPECT_FALSE(settings.registryFile);
  EXPECT_EQ(settings.connectDelay.count(), 0);
  EXPECT_FALSE(settings.neverConnect);
}

TEST_F(SettingsFromEnvironment, BadValueNamesTheVariable) {
  for (const auto& [name, value] :
       std::map<std::string, std::string>{{"RAPIEMU_CONNECT_DELAY_MS", "soon"},
                                          {"RAPIEMU_NEVER_CONNECT", "yes"},
                                          {"RAPIEMU_CONNECT_RESULT", "E_FAIL"},
                                          {"RAPIEMU_REFUSE_START", "true"}}) {
    env = {{name, value}};
    try {
      read();
      ADD_FAILURE() << name << "=" << value << " accepted";
    } catch (const std::invalid_argument& error) {
      EXPECT_NE(std::string(error.what()).find(name + "=\"" + value + "\""), std::string::npos)
          << error.what();
    }
  }
}

struct PathCase {
  const char* label;
  const char16_t* path;
  bool found;
};

class RegistryPaths : public testing::TestWithParam<PathCase> {};

TEST_P(RegistryPaths, FindTheVersionKey) {
  const Registry registry = Registry::BuiltIn();
  const RegKey* key = Registry::find(*registry.root(kRootLocalMachine), GetParam().path);
  const bool holdsVersion = key && key->findValue(u"Software");
  EXPECT_EQ(holdsVersion, GetParam().found);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RegistryPaths,
    testing::Values(PathCase{"Plain", u"Software\\Widcomm\\Version", true},
                    PathCase{"LeadingBackslash", u"\\Software\\Widcomm\\Version", true},
                    PathCase{"TwoLeadingBackslashes", u"\\\\Software\\Widcomm\\Version", true},
                    PathCase{"OtherCase", u"software\\WIDCOMM\\version", true},
                    PathCase{"TrailingBackslash", u"Software\\Widcomm\\Version\\", true},
                    PathCase{"Parent", u"Software\\Widcomm", false},
                    PathCase{"Prefix", u"Software\\Widcomm\\Versio", false},
                    PathCase{"Child", u"Software\\Widcomm\\Version\\X", false},
                    PathCase{"LastPartOnly", u"Version", false}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace rapiemu
