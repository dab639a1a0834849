// A damaged window definition gives a clear Exception and leaves no
// half-built window behind.
#include <gtest/gtest.h>

#include <functional>

#include "AppFixture.h"
#include "toolkit/Application.h"
#include "toolkit/FormStream.h"
#include "toolkit/Resources.h"

namespace {

formstream::Component Embedded() { return formstream::ReadBinary(toolkit::FindEmbeddedResource("TFORM1")); }

formstream::Property* Find(formstream::Component& c, const std::string& name) {
  for (auto& p : c.properties)
    if (p.name == name) return &p;
  return nullptr;
}

formstream::Component& Child(formstream::Component& root, const std::string& name) {
  for (auto& c : root.children)
    if (c.name == name) return c;
  throw std::runtime_error("no child " + name);
}

std::vector<std::uint8_t> Bmp(int width, int height, int bits) {
  TBitmap b(width, height, 0x123456);
  auto file = b.SaveToBmp();
  if (bits != 24) file[28] = static_cast<std::uint8_t>(bits);
  return file;
}

formstream::Binary PictureData(const std::vector<std::uint8_t>& bmp) {
  formstream::Binary data;
  data.bytes = {7, 'T', 'B', 'i', 't', 'm', 'a', 'p'};
  for (int i = 0; i < 4; ++i) data.bytes.push_back(static_cast<std::uint8_t>(bmp.size() >> (8 * i)));
  data.bytes.insert(data.bytes.end(), bmp.begin(), bmp.end());
  return data;
}

struct Damage {
  const char* name;
  std::function<void(formstream::Component&)> change;
  const char* message;  // a part of the Exception's message
};

class BadDefinitionTest : public AppTest, public ::testing::WithParamInterface<Damage> {};

TEST_P(BadDefinitionTest, RaisesAClearException) {
  formstream::Component root = Embedded();
  GetParam().change(root);
  const auto stream = formstream::WriteBinary(root);
  Form1 = new TForm1(Application);
  try {
    Form1->InitializeFromDefinition(stream);
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_NE(e.Message.find(GetParam().message), std::string::npos) << e.Message;
  }
  EXPECT_EQ(Form1->ComponentCount(), 0) << "nothing half-built";
  EXPECT_EQ(Form1->INSTALL, nullptr);
  EXPECT_EQ(Form1->NativeWindow(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BadDefinitionTest,
    ::testing::Values(
        Damage{"UnknownClass", [](auto& r) { Child(r, "EXIT").className = "TButton"; }, "Class TButton not found"},
        Damage{"UnknownProperty",
               [](auto& r) { Child(r, "INSTALL").properties.push_back({"Stretch", {true}}); },
               "INSTALL.Stretch"},
        Damage{"UnknownFormProperty", [](auto& r) { r.properties.push_back({"Position", {formstream::Identifier{"poDesigned"}}}); },
               "Form1.Position"},
        Damage{"UnknownHandler",
               [](auto& r) { Find(Child(r, "INSTALL"), "OnMouseUp")->value.v = formstream::Identifier{"INSTALLClick"}; },
               "Method INSTALLClick does not exist"},
        Damage{"HandlerOfTheWrongKind",
               [](auto& r) { Find(Child(r, "INSTALL"), "OnMouseUp")->value.v = formstream::Identifier{"INSTALLMouseMove"}; },
               "signature"},
        Damage{"WrongValueKind", [](auto& r) { Find(Child(r, "EXIT"), "Left")->value.v = formstream::String{"x"}; },
               "EXIT.Left"},
        Damage{"MissingComponent",
               [](auto& r) { std::erase_if(r.children, [](auto& c) { return c.name == "Pre_SAFETY"; }); },
               "Pre_SAFETY"},
        Damage{"DuplicateComponent", [](auto& r) { r.children.push_back(Child(r, "EXIT")); }, "EXIT"},
        Damage{"ComponentWithoutField",
               [](auto& r) {
                 r.children.push_back(Child(r, "EXIT"));
                 r.children.back().name = "HELP";
               },
               "HELP"},
        Damage{"WrongRootClass", [](auto& r) { r.className = "TForm2"; }, "TForm2"},
        Damage{"EightBitsPerPixel",
               [](auto& r) { Find(Child(r, "EXIT_C"), "Picture.Data")->value.v = PictureData(Bmp(76, 32, 8)); },
               "8 bits per pixel"},
        Damage{"TruncatedBitmap",
               [](auto& r) {
                 auto bmp = Bmp(76, 32, 24);
                 bmp.resize(bmp.size() - 10);
                 Find(Child(r, "EXIT_C"), "Picture.Data")->value.v = PictureData(bmp);
               },
               "truncated"},
        Damage{"NotABitmap",
               [](auto& r) {
                 auto bmp = Bmp(76, 32, 24);
                 bmp[0] = 'P';
                 Find(Child(r, "EXIT_C"), "Picture.Data")->value.v = PictureData(bmp);
               },
               "EXIT_C.Picture.Data"},
        Damage{"UnknownGraphicClass",
               [](auto& r) {
                 auto& bytes = std::get<formstream::Binary>(Find(Child(r, "EXIT_C"), "Picture.Data")->value.v).bytes;
                 bytes[1] = 'X';
               },
               "XBitmap"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AppTest, TruncatedStreamRaisesAndBuildsNothing) {
  const auto stream = toolkit::FindEmbeddedResource("TFORM1");
  // A handful of cut points across the stream: in the header, in the form's
  // properties, in a picture, just before the end.
  for (std::size_t cut : {std::size_t{2}, std::size_t{40}, std::size_t{300}, stream.size() / 2, stream.size() - 1}) {
    SCOPED_TRACE(cut);
    Form1 = new TForm1(Application);
    EXPECT_THROW(Form1->InitializeFromDefinition(stream.first(cut)), Exception);
    EXPECT_EQ(Form1->ComponentCount(), 0);
    delete Form1;
    Form1 = nullptr;
  }
}

TEST_F(AppTest, CreateFormResetsTheReferenceWhenTheDefinitionFails) {
  // A form class whose resource does not exist.
  struct TForm9 : TForm1 {
    using TForm1::TForm1;
    std::string_view ClassName() const override { return "TForm9"; }
  };
  TForm9* form9 = reinterpret_cast<TForm9*>(1);
  try {
    Application->CreateForm(&form9);
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_NE(e.Message.find("TFORM9"), std::string::npos) << e.Message;
  }
  EXPECT_EQ(form9, nullptr);
}

}  // namespace
