// What fuzzing the readers found, kept as ordinary cases. Each input the
// fuzzers tripped over also lies in fuzz/regressions/<target>/, which the
// replay tests run through the fuzz targets themselves.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "../app/AppFixture.h"
#include "toolkit/FormStream.h"
#include "toolkit/Resources.h"

namespace {

// The launcher's own definition with one property of one component changed.
std::vector<std::uint8_t> DefinitionWith(const std::string& component, const std::string& property,
                                         std::int64_t value) {
  const auto embedded = toolkit::FindEmbeddedResource("TFORM1");
  formstream::Component root = formstream::ReadBinary(embedded);
  for (formstream::Component& child : root.children) {
    if (child.name != component) continue;
    for (formstream::Property& p : child.properties) {
      if (p.name == property) {
        p.value.v = formstream::Integer{value};
        return formstream::WriteBinary(root);
      }
    }
    child.properties.push_back({property, {formstream::Integer{value}}});
    return formstream::WriteBinary(root);
  }
  throw std::runtime_error("no component " + component);
}

struct Geometry {
  const char* component;
  const char* property;
  std::int64_t value;
};

void PrintTo(const Geometry& g, std::ostream* out) { *out << g.component << "." << g.property << " = " << g.value; }

// An image's place plus its size must stay a number: a left or top edge
// and a width or height so large that their sum overflows were accepted, and
// every repaint and hit test then computed with the wrapped-around edge.
class ImageGeometryOverflow : public AppTest, public ::testing::WithParamInterface<Geometry> {};

TEST_P(ImageGeometryOverflow, IsRefusedWhileReadingTheDefinition) {
  const Geometry& g = GetParam();
  const std::vector<std::uint8_t> definition = DefinitionWith(g.component, g.property, g.value);
  try {
    CreateWindow(&definition);
    FAIL() << "the definition was accepted";
  } catch (const Exception& e) {
    EXPECT_NE(e.Message.find(std::string(g.component) + "." + g.property), std::string::npos) << e.Message;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ImageGeometryOverflow,
                         ::testing::Values(Geometry{"INSTALL", "Width", INT32_MAX},
                                           Geometry{"INSTALL", "Height", INT32_MAX},
                                           Geometry{"Pre_EXIT", "Left", INT32_MAX},
                                           Geometry{"EXIT_C", "Top", INT32_MAX},
                                           Geometry{"SAFETY", "Height", INT32_MAX}),
                         [](const auto& info) {
                           return std::string(info.param.component) + "_" + info.param.property;
                         });

TEST_F(AppTest, LargeButRepresentableGeometryStillLoads) {
  // The edges of what a definition may say: the window loads and reacts.
  const std::vector<std::uint8_t> definition = DefinitionWith("Pre_EXIT", "Left", 30000);
  CreateWindow(&definition);
  EXPECT_EQ(Form1->Pre_EXIT->Left, 30000);
  Move(kInstallX, kInstallY);
  EXPECT_TRUE(HighlightFlags[hiINSTALL]);
}

}  // namespace
