// The embedded window definition, read back through the toolkit.
#include <gtest/gtest.h>

#include "AppFixture.h"
#include "toolkit/FormStream.h"
#include "toolkit/Resources.h"

namespace {

struct ImageRow {
  const char* name;
  int left, top, width, height;
  bool hand, visible;
  bool down, move, up;  // which events are wired
};

// Declaration order is z-order: later images lie on top.
constexpr ImageRow kImages[] = {
    {"UI_BackGround", 0, 0, 640, 480, false, true, true, true, false},
    {"MANUAL", 358, 110, 252, 23, true, false, false, true, true},
    {"INSTALL", 358, 140, 244, 24, true, true, false, true, true},
    {"ACROBAT", 358, 200, 148, 21, true, false, false, true, true},
    {"EXIT", 543, 425, 76, 32, true, true, false, true, true},
    {"Pre_EXIT", 328, 433, 76, 32, false, false, false, false, false},
    {"EXIT_C", 408, 432, 76, 32, false, false, false, false, false},
    {"Pre_MANUAL", 8, 119, 252, 23, false, false, false, false, false},
    {"MANUAL_C", 358, 317, 252, 23, false, false, false, false, false},
    {"Pre_INSTALL", 8, 142, 244, 24, false, false, false, false, false},
    {"INSTALL_C", 358, 340, 244, 24, false, false, false, false, false},
    {"Pre_ACROBAT", 9, 183, 148, 21, false, false, false, false, false},
    {"ACROBAT_C", 358, 364, 148, 21, false, false, false, false, false},
    {"SAFETY", 358, 170, 179, 19, true, false, false, true, true},
    {"Pre_SAFETY", 8, 167, 179, 19, false, false, false, false, false},
    {"SAFETY_C", 360, 296, 179, 19, false, false, false, false, false},
};

class DefinitionTest : public AppTest {};

TEST_F(DefinitionTest, FormSettingsAreThoseOfTheDefinition) {
  CreateWindow();
  EXPECT_EQ(Form1->Name, "Form1");
  EXPECT_EQ(Form1->Left, 192);
  EXPECT_EQ(Form1->Top, 107);
  EXPECT_EQ(Form1->BorderStyle, bsNone);
  EXPECT_EQ(Form1->BorderIcons, 1u << biSystemMenu);
  EXPECT_EQ(Form1->Caption, "");
  EXPECT_EQ(Form1->ClientWidth, 640);
  EXPECT_EQ(Form1->ClientHeight, 480);
  EXPECT_EQ(Form1->Color, clWindow);
  EXPECT_EQ(Form1->Font->Charset, 1);
  EXPECT_EQ(Form1->Font->Color, clWindowText);
  EXPECT_EQ(Form1->Font->Height, -11);
  EXPECT_EQ(Form1->Font->Name, "MS Sans Serif");
  EXPECT_TRUE(Form1->Font->Style.empty());
  EXPECT_FALSE(Form1->OldCreateOrder);
  EXPECT_EQ(Form1->PixelsPerInch, 96);
  EXPECT_EQ(Form1->TextHeight, 13);
  EXPECT_TRUE(static_cast<bool>(Form1->OnCreate));

  // What the window was created with.
  const auto& params = Window().params;
  EXPECT_EQ(params.left, 192);
  EXPECT_EQ(params.top, 107);
  EXPECT_EQ(params.clientWidth, 640);
  EXPECT_EQ(params.clientHeight, 480);
  EXPECT_TRUE(params.borderless);
  EXPECT_TRUE(params.systemMenu);
  EXPECT_EQ(params.title, "");
}

TEST_F(DefinitionTest, SixteenImagesInDeclarationOrderWithTheirValues) {
  CreateWindow();
  ASSERT_EQ(Form1->ComponentCount(), 16);
  for (int i = 0; i < 16; ++i) {
    const ImageRow& row = kImages[i];
    SCOPED_TRACE(row.name);
    auto* image = dynamic_cast<TImage*>(Form1->Components(i));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->ClassName(), "TImage");
    EXPECT_EQ(image->Name, row.name);
    EXPECT_EQ(image->Left, row.left);
    EXPECT_EQ(image->Top, row.top);
    EXPECT_EQ(image->Width, row.width);
    EXPECT_EQ(image->Height, row.height);
    EXPECT_EQ(image->Cursor, row.hand ? crHandPoint : crDefault);
    EXPECT_EQ(image->Visible, row.visible);
    EXPECT_EQ(image->Center, i == 0);
    EXPECT_EQ(static_cast<bool>(image->OnMouseDown), row.down);
    EXPECT_EQ(static_cast<bool>(image->OnMouseMove), row.move);
    EXPECT_EQ(static_cast<bool>(image->OnMouseUp), row.up);
    // Every picture is a bitmap of exactly the control's size.
    EXPECT_EQ(image->Picture->Width(), row.width);
    EXPECT_EQ(image->Picture->Height(), row.height);
  }
  // The published fields point at the components of those names.
  for (const auto& field : TForm1::PublishedFields())
    EXPECT_EQ(Form1->*field.field, Form1->FindComponent(field.name)) << field.name;
}

TEST_F(DefinitionTest, PicturesAreStoredAsComplete24BitBitmaps) {
  const auto stream = toolkit::FindEmbeddedResource("TFORM1");
  ASSERT_FALSE(stream.empty());
  ASSERT_GE(stream.size(), 4u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(stream.data()), 4), "TPF0");
  const formstream::Component root = formstream::ReadBinary(stream);
  int pictures = 0;
  for (const auto& child : root.children) {
    for (const auto& p : child.properties) {
      if (p.name != "Picture.Data") continue;
      SCOPED_TRACE(child.name);
      ++pictures;
      const auto& bytes = std::get<formstream::Binary>(p.value.v).bytes;
      ASSERT_GT(bytes.size(), 8u + 54u);
      ASSERT_EQ(bytes[0], 7);
      EXPECT_EQ(std::string(bytes.begin() + 1, bytes.begin() + 8), "TBitmap");
      const std::uint32_t count = bytes[8] | bytes[9] << 8 | bytes[10] << 16 | static_cast<std::uint32_t>(bytes[11]) << 24;
      EXPECT_EQ(count, bytes.size() - 12);
      const std::uint8_t* bmp = bytes.data() + 12;
      EXPECT_EQ(bmp[0], 'B');
      EXPECT_EQ(bmp[1], 'M');
      const auto u32 = [&](int at) {
        return static_cast<std::uint32_t>(bmp[at] | bmp[at + 1] << 8 | bmp[at + 2] << 16 | bmp[at + 3] << 24);
      };
      EXPECT_EQ(u32(2), count) << "the file size field";
      EXPECT_EQ(bmp[28] | bmp[29] << 8, 24) << "bits per pixel";
      EXPECT_EQ(u32(30), 0u) << "uncompressed";
      EXPECT_GT(static_cast<std::int32_t>(u32(22)), 0) << "bottom-up rows";
      EXPECT_EQ(u32(46), 0u) << "no palette";
    }
  }
  EXPECT_EQ(pictures, 16);
}

TEST_F(DefinitionTest, EachVisibleItemStartsWithItsNormalPicture) {
  CreateWindow();
  const std::pair<TImage*, TImage*> items[] = {
      {Form1->MANUAL, Form1->Pre_MANUAL}, {Form1->INSTALL, Form1->Pre_INSTALL},
      {Form1->SAFETY, Form1->Pre_SAFETY}, {Form1->ACROBAT, Form1->Pre_ACROBAT},
      {Form1->EXIT, Form1->Pre_EXIT}};
  for (auto [item, normal] : items) {
    SCOPED_TRACE(item->Name);
    EXPECT_EQ(*item->Picture->Bitmap(), *normal->Picture->Bitmap());
  }
  // Lit pictures differ from normal ones, or highlighting would show nothing.
  EXPECT_NE(*Form1->INSTALL_C->Picture->Bitmap(), *Form1->Pre_INSTALL->Picture->Bitmap());
  EXPECT_NE(*Form1->EXIT_C->Picture->Bitmap(), *Form1->Pre_EXIT->Picture->Bitmap());
}

TEST_F(DefinitionTest, FormCreateReappliesTheGeometryAfterTheWholeDefinitionIsRead) {
  // A definition whose items were moved and whose sizes were changed: the
  // create handler puts the places back, and only the places.
  const auto stream = toolkit::FindEmbeddedResource("TFORM1");
  formstream::Component root = formstream::ReadBinary(stream);
  for (auto& p : root.properties)
    if (p.name == "ClientWidth") p.value.v = formstream::Integer{320};
  for (auto& child : root.children)
    for (auto& p : child.properties) {
      if (p.name == "Left" || p.name == "Top") p.value.v = formstream::Integer{1};
      if (child.name == "INSTALL" && p.name == "Width") p.value.v = formstream::Integer{200};
      if (child.name == "UI_BackGround" && p.name == "Height") p.value.v = formstream::Integer{100};
    }
  const auto moved = formstream::WriteBinary(root);
  CreateWindow(&moved);
  EXPECT_EQ(Form1->ClientWidth, 640);
  EXPECT_EQ(Form1->UI_BackGround->Height, 480);
  const std::tuple<TImage*, int, int> places[] = {{Form1->MANUAL, 358, 110}, {Form1->INSTALL, 358, 140},
                                                  {Form1->SAFETY, 358, 170}, {Form1->ACROBAT, 358, 200},
                                                  {Form1->EXIT, 543, 425}};
  for (auto [image, left, top] : places) {
    EXPECT_EQ(image->Left, left) << image->Name;
    EXPECT_EQ(image->Top, top) << image->Name;
  }
  EXPECT_EQ(Form1->INSTALL->Width, 200) << "sizes are not re-applied";
  EXPECT_EQ(Form1->Pre_INSTALL->Left, 1) << "holders are left where they are";
}

TEST_F(DefinitionTest, StartFrameShowsBackgroundAndVisibleItemsOnly) {
  CreateWindow();
  EXPECT_TRUE(Shows(Form1->INSTALL, Form1->Pre_INSTALL));
  EXPECT_TRUE(Shows(Form1->EXIT, Form1->Pre_EXIT));
  // Where the hidden items and every holder lie, the background shows.
  for (TImage* hidden : {Form1->MANUAL, Form1->SAFETY, Form1->ACROBAT, Form1->Pre_MANUAL, Form1->MANUAL_C,
                         Form1->INSTALL_C, Form1->SAFETY_C, Form1->ACROBAT_C}) {
    SCOPED_TRACE(hidden->Name);
    const TRect r = hidden->BoundsRect();
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Right; ++x) {
        if (Form1->INSTALL->BoundsRect().Contains(x, y) || Form1->EXIT->BoundsRect().Contains(x, y)) continue;
        ASSERT_EQ(PixelAt(x, y), Form1->UI_BackGround->Picture->Bitmap()->Pixel(x, y)) << x << "," << y;
      }
  }
}

}  // namespace
