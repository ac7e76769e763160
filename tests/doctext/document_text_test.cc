// Ghostscript's and pdffonts' reports as they write them, read back: the
// values worked out by hand from the lines.
#include "doctext/document_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "doctext/font_encodings.h"

namespace zova::doctext {
namespace {

// What gs -sDEVICE=txtwrite -dTextFormat=4 writes for two pages: texttopdf's
// Courier (11.333 points, stretched to 7.2 points a character), a turned
// span, a character whose Unicode value is not ASCII, and an empty page.
constexpr const char* kReport =
    "<?xml version=\"1.0\"?>\n<page>\n"
    "<span ctm=\"1.058820 0.000000 0.000000 -1.000000 18.000000 46.117188\" ctm_orig=\"1.058820 "
    "0.000000 0.000000 -1.000000 18.000000 46.117188\" trm=\"11.333000 0.000000 0.000000 11.333000 "
    "0.000000 0.000000\" len=\"2\" wmode=\"0\" font_name=\"Courier\">\n"
    "<char x=\"0.000000\" y=\"0.000000\" c=\"<\" ucs=\"60\" adv=\"0.600000\"/>\n"
    "<char x=\"6.799800\" y=\"0.000000\" c=\".\" ucs=\"8364\" adv=\"0.600000\"/>\n"
    "</span>\n"
    "<span ctm=\"0.000000 -1.000000 -1.000000 -0.000000 300.000000 442.000000\" "
    "ctm_orig=\"0.000000 -1.000000 -1.000000 -0.000000 300.000000 442.000000\" trm=\"12.000000 "
    "0.000000 0.000000 12.000000 0.000000 0.000000\" len=\"1\" wmode=\"0\" "
    "font_name=\"ABCDEF+Courier-Bold\">\n"
    "<char x=\"0.000000\" y=\"0.000000\" c=\"T\" ucs=\"84\" adv=\"0.600000\"/>\n"
    "</span>\n</page>\n"
    "<?xml version=\"1.0\"?>\n<page>\n</page>\n";

TEST(DocumentTextTest, CharactersInPagePointsFromTheReport) {
  std::string report = kReport;
  size_t at = 0;
  // Delivered a few bytes at a time, as a pipe may.
  DocumentTextReader reader([&](char* buffer, size_t len) -> ssize_t {
    const size_t n = std::min({len, size_t{7}, report.size() - at});
    memcpy(buffer, report.data() + at, n);
    at += n;
    return static_cast<ssize_t>(n);
  });
  DocumentPage page;
  ASSERT_TRUE(reader.NextPage(page));
  ASSERT_EQ(page.chars.size(), 3u);
  ASSERT_EQ(page.fonts, (std::vector<std::string>{"Courier", "ABCDEF+Courier-Bold"}));
  const DocumentChar& lt = page.chars[0];
  const DocumentChar& euro = page.chars[1];
  EXPECT_EQ(lt.code, U'<');
  EXPECT_EQ(euro.code, U'€');
  // 18 + 6.7998 x 1.05882; the baseline 46.117 down; 0.6 x 11.333 x 1.05882.
  EXPECT_NEAR(lt.x, 18.0, 1e-6);
  EXPECT_NEAR(euro.x, 25.19976, 1e-4);
  EXPECT_NEAR(euro.y, 46.117188, 1e-6);
  EXPECT_NEAR(euro.advance, 7.19975, 1e-4);
  EXPECT_NEAR(euro.size, 11.333, 1e-6);
  EXPECT_TRUE(euro.upright);
  EXPECT_EQ(euro.font, 0u);
  // Turned a quarter: its x runs down the page.
  EXPECT_FALSE(page.chars[2].upright);
  EXPECT_EQ(page.chars[2].font, 1u);

  ASSERT_TRUE(reader.NextPage(page));
  EXPECT_TRUE(page.chars.empty());
  EXPECT_FALSE(reader.NextPage(page));
}

TEST(FontEncodingsTest, AUnicodeMapOrAStandardEncodingIsReliable) {
  // pdffonts' own layout; the type may hold blanks, a name may be longer
  // than its column.
  const FontEncodings fonts = FontEncodings::Parse(
      "name                                 type              encoding         emb sub uni "
      "object ID\n"
      "------------------------------------ ----------------- ---------------- --- --- --- "
      "---------\n"
      "Courier                              Type 1            Standard         no  no  no       "
      "7  0\n"
      "EKZAAD+NimbusMonoPS-Regular          Type 1C           WinAnsi          yes yes no       "
      "9  0\n"
      "QWERTY+DejaVuSansMono                CID TrueType      Identity-H       yes yes yes     "
      "11  0\n"
      "ASDFGH+LiberationMono                CID TrueType      Identity-H       yes yes no      "
      "13  0\n"
      "[none]                               Type 3            Custom           yes no  no      "
      "15  0\n"
      "ZXCVBN+AVeryLongMonospacedFontNameIndeedRegular TrueType WinAnsi        yes yes no      "
      "17  0\n"
      "Courier-Bold                         Type 1            Custom           no  no  no      "
      "19  0\n"
      "POIUYT+Courier-Bold                  Type 1C           WinAnsi          yes yes no      "
      "21  0\n");
  EXPECT_TRUE(fonts.Reliable("Courier"));
  EXPECT_TRUE(fonts.Reliable("NimbusMonoPS-Regular"));
  EXPECT_TRUE(fonts.Reliable("ABCDEF+NimbusMonoPS-Regular"));
  EXPECT_TRUE(fonts.Reliable("DejaVuSansMono"));
  EXPECT_TRUE(fonts.Reliable("QWERTY+DejaVuSansMono-Identity-H"));
  EXPECT_TRUE(fonts.Reliable("AVeryLongMonospacedFontNameIndeedRegular"));
  // Identity-H without a map, a Type 3 font, a name with one unreliable
  // copy, a font the listing lacks.
  EXPECT_FALSE(fonts.Reliable("LiberationMono"));
  EXPECT_FALSE(fonts.Reliable("LiberationMono-Identity-H"));
  EXPECT_FALSE(fonts.Reliable(""));
  EXPECT_FALSE(fonts.Reliable("Courier-Bold"));
  EXPECT_FALSE(fonts.Reliable("Helvetica"));
  EXPECT_EQ(fonts.size(), 7u);
}

}  // namespace
}  // namespace zova::doctext
