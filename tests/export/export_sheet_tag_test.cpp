// A sheet drawn for paper, saved: TIFF and PDF record the sheet's resolution, whatever the
// surface's own, and the sRGB route's profile; the device route and grey sheets carry none.
#include <gtest/gtest.h>
#include <lcms2.h>
#include <tiffio.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/errors.h"
#include "export/colour_profile.h"
#include "export/image_export.h"
#include "export_test_support.h"

namespace lumigrid {
namespace {

using testing::ScratchFolder;

struct SheetTagCase {
  const char* name;
  PixelFormat format;
  bool srgb;
  double dpi;
  bool tagged;  // the profile is expected in the file
};

const SheetTagCase kSheetTags[] = {
    {"colour_device_values_300", PixelFormat::Rgb32, false, 300, false},
    {"colour_srgb_600", PixelFormat::Rgb32, true, 600, true},
    // An RGB profile says nothing of grey samples: a grey sheet stays untagged.
    {"grey_srgb_300", PixelFormat::Gray8, true, 300, false},
};

Surface sheet_surface(PixelFormat format) {
  Surface surface(64, 48, format, kWhite);
  surface.setBrushColour(0x4452'73);
  surface.FillRect(8, 8, 40, 30);
  // The labels' resolution, not the sheet's: the file must not take it.
  surface.setPixelsPerInch(96);
  return surface;
}

std::span<const std::uint8_t> profile_for(bool srgb) {
  return srgb ? std::span<const std::uint8_t>(srgb_icc_profile()) : std::span<const std::uint8_t>();
}

class SheetTag : public ::testing::TestWithParam<SheetTagCase> {};

TEST_P(SheetTag, TiffRecordsTheSheetsResolutionAndItsProfile) {
  const SheetTagCase& c = GetParam();
  ScratchFolder folder;
  const auto path = folder.path() / "sheet.tif";
  save_sheet_image(SurfaceRows(sheet_surface(c.format)), path, c.dpi, profile_for(c.srgb));

  std::unique_ptr<TIFF, void (*)(TIFF*)> tiff(TIFFOpen(path.c_str(), "r"), TIFFClose);
  ASSERT_TRUE(tiff);
  float x_resolution = 0, y_resolution = 0;
  TIFFGetField(tiff.get(), TIFFTAG_XRESOLUTION, &x_resolution);
  TIFFGetField(tiff.get(), TIFFTAG_YRESOLUTION, &y_resolution);
  EXPECT_EQ(x_resolution, float(c.dpi));
  EXPECT_EQ(y_resolution, float(c.dpi));
  std::uint32_t size = 0;
  void* data = nullptr;
  const bool has_profile = TIFFGetField(tiff.get(), TIFFTAG_ICCPROFILE, &size, &data) != 0;
  ASSERT_EQ(has_profile, c.tagged);
  if (!c.tagged) return;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  EXPECT_EQ(std::vector<std::uint8_t>(bytes, bytes + size), srgb_icc_profile());
  // Little CMS reads it back as an RGB display profile.
  const std::unique_ptr<void, int (*)(cmsHPROFILE)> profile(cmsOpenProfileFromMem(data, size),
                                                            cmsCloseProfile);
  ASSERT_TRUE(profile);
  EXPECT_EQ(cmsGetColorSpace(profile.get()), cmsSigRgbData);
  EXPECT_EQ(cmsGetDeviceClass(profile.get()), cmsSigDisplayClass);
}

TEST_P(SheetTag, PdfImageIsIccBasedOnlyOnTheSrgbRoute) {
  const SheetTagCase& c = GetParam();
  ScratchFolder folder;
  const auto path = folder.path() / "sheet.pdf";
  save_sheet_image(SurfaceRows(sheet_surface(c.format)), path, c.dpi, profile_for(c.srgb));
  const std::string pdf = testing::read_file(path);
  EXPECT_EQ(pdf.find("/ICCBased") != std::string::npos, c.tagged);
  // 64 pixels at the sheet's resolution make the page's width in points.
  const std::string width = c.dpi == 300 ? "15.36" : "7.68";
  EXPECT_NE(pdf.find(width), std::string::npos) << "no page width of " << width << " points";
}

INSTANTIATE_TEST_SUITE_P(Sheets, SheetTag, ::testing::ValuesIn(kSheetTags),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(SheetTagRefused, ResolutionOfNothingWritesNothing) {
  ScratchFolder folder;
  const auto path = folder.path() / "sheet.tif";
  const Surface sheet = sheet_surface(PixelFormat::Rgb32);
  EXPECT_THROW(save_sheet_image(SurfaceRows(sheet), path, 0, {}), WriteError);
  EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace lumigrid
