// Spool file names, the PPM header, the PBM header parse and the safe
// creation of spool files.
#include "pipeline/spool_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "cups/stderr_messages.h"
#include "pipeline/page_spool.h"
#include "support/temp_dir.h"
#include "support/test_ppd.h"

namespace zova {
namespace {

using testing::TempDir;

// The filter's own message lines, on the standard error the tests capture.
StderrMessages messages;

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void Put(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

TEST(SpoolFilesTest, NamesFollowJobAndPage) {
  const SpoolPaths p = BuildSpoolPaths("/tmp", "42", 3);
  EXPECT_EQ(p.ppm, "/tmp/nfet42_3.ppm");
  EXPECT_EQ(p.pbm, "/tmp/nfet42_3.pbm");
  EXPECT_EQ(p.base, "/tmp/nfet42_3");
  // No fixed buffer: a long job ID is kept whole.
  const std::string long_id(300, '7');
  EXPECT_EQ(BuildSpoolPaths("/tmp", long_id, 12).ppm, "/tmp/nfet" + long_id + "_12.ppm");
}

TEST(SpoolFilesTest, PpmSpoolHoldsOnlyThisPage) {
  TempDir dir;
  const std::string path = dir.File("page.ppm");
  // An older, longer file of the same name leaves no tail behind.
  Put(path, std::string(100, 'x'));
  SpoolWriter writer(messages);
  EXPECT_EQ(CreatePpmSpool(path, 2480, 3508, &writer), 17);
  const uint8_t row[6] = {1, 2, 3, 4, 5, 6};
  ASSERT_TRUE(writer.Write(row, sizeof row));
  ASSERT_TRUE(writer.Close());
  EXPECT_EQ(Slurp(path), std::string("P6\n2480 3508\n255\n") + "\x01\x02\x03\x04\x05\x06");
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(SpoolFilesTest, SpoolCreationNeverFollowsALink) {
  TempDir dir;
  const std::string target = dir.File("target");
  Put(target, "keep");
  const std::string path = dir.File("page.ppm");
  ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0);
  SpoolWriter writer(messages);
  ASSERT_TRUE(writer.Create(path));
  const uint8_t data[3] = {'n', 'e', 'w'};
  ASSERT_TRUE(writer.Write(data, 3));
  ASSERT_TRUE(writer.Close());
  EXPECT_EQ(Slurp(target), "keep");
  EXPECT_EQ(Slurp(path), "new");
  struct stat st {};
  ASSERT_EQ(lstat(path.c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
}

TEST(SpoolFilesTest, LargeWritesAndReadsKeepEveryByte) {
  TempDir dir;
  const std::string path = dir.File("big");
  std::vector<uint8_t> data(3 * 1024 * 1024 + 17);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + i / 251);
  SpoolWriter writer(messages);
  ASSERT_TRUE(writer.Create(path));
  // Mixed sizes: small rows through the buffer, large blocks past it.
  size_t pos = 0;
  for (size_t step : {5u, 4461u, 1u << 20, 8925u, 3u}) {
    ASSERT_TRUE(writer.Write(data.data() + pos, step));
    pos += step;
  }
  ASSERT_TRUE(writer.Write(data.data() + pos, data.size() - pos));
  ASSERT_TRUE(writer.Close());

  SpoolReader reader;
  ASSERT_TRUE(reader.Open(path));
  std::vector<uint8_t> back(data.size() + 10);
  size_t got = 0;
  for (size_t step : {13u, 700000u, 4461u}) {
    ASSERT_EQ(reader.Read(back.data() + got, step), static_cast<ssize_t>(step));
    got += step;
  }
  const ssize_t rest = reader.Read(back.data() + got, back.size() - got);
  EXPECT_EQ(got + static_cast<size_t>(rest), data.size()) << "a short read only at the end";
  back.resize(data.size());
  EXPECT_EQ(back, data);
  EXPECT_EQ(reader.Read(back.data(), 1), 0);
}

TEST(SpoolFilesTest, PbmHeaderParse) {
  TempDir dir;
  const std::string path = dir.File("page.pbm");
  const struct {
    std::string header;
    PbmHeader::Status status;
    unsigned width, height;
    int head_len;
  } cases[] = {
      {"P4\n2480 3508\n", PbmHeader::kRead, 2480, 3508, 13},
      {"P4\n1 1\n", PbmHeader::kRead, 1, 1, 7},
      {"P4\n12  34 \n", PbmHeader::kRead, 12, 34, 11},  // blanks around the numbers
      {"P4\n12345678 12345678\n", PbmHeader::kRead, 12345678, 12345678, 21},  // 21 bytes exactly
      {"P4\n123456789 12345678\n", PbmHeader::kMalformed, 0, 0, 0},  // line feed beyond byte 21
      {"P4\n2480\n3508\n", PbmHeader::kMalformed, 0, 0, 0},          // height on a line of its own
      {"P4\n# comment\n8 8\n", PbmHeader::kMalformed, 0, 0, 0},
      {"P4\n0 10\n", PbmHeader::kMalformed, 0, 0, 0},
      {"P4\n10 0\n", PbmHeader::kMalformed, 0, 0, 0},
      {"P4\n-5 10\n", PbmHeader::kMalformed, 0, 0, 0},
      {"P4\n10 10x\n", PbmHeader::kMalformed, 0, 0, 0},
      {"P4\n99999999999 1\n", PbmHeader::kMalformed, 0, 0, 0},
      {"P1\n8 8\n", PbmHeader::kMalformed, 0, 0, 0},
      {"P4\n", PbmHeader::kMalformed, 0, 0, 0},
      {"", PbmHeader::kMalformed, 0, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.header);
    Put(path, c.header + std::string(8, '\0'));
    ::testing::internal::CaptureStderr();
    const PbmHeader header = getSize(path, messages);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(header.status, c.status);
    if (c.status == PbmHeader::kRead) {
      EXPECT_EQ(header.Width, c.width);
      EXPECT_EQ(header.Height, c.height);
      EXPECT_EQ(header.HeadLen, c.head_len);
      EXPECT_EQ(err, "");
    } else {
      EXPECT_EQ(err, "ERROR: " + path +
                         " is not a usable halftone image: expected \"P4\", then width and "
                         "height on one line, within 21 bytes\n");
    }
  }
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(getSize(dir.File("absent.pbm"), messages).status, PbmHeader::kMissing);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "") << "the caller reports a missing image";
}

TEST(SpoolFilesTest, MixedPageAt360SpoolsItsAverageOverTwoByTwoPixels) {
  // Each printed pixel is the mean of its four raster pixels, rounded to the
  // nearest value, halves up; an odd last column or row is averaged with
  // itself, so it counts twice.
  TempDir dir;
  PageRequest request;
  request.resolution = {360, 360};
  request.width = request.height = 3;
  request.bytesPerLine = 9;
  request.printAs = PrintAs::kMixed;
  const uint8_t rows[3][9] = {{0, 10, 20, 255, 11, 21, 7, 12, 22},
                              {1, 13, 23, 2, 14, 24, 9, 15, 25},
                              {100, 16, 26, 50, 17, 27, 3, 18, 28}};
  {
    PageSpool spool(dir.path(), "7", 1, messages);
    ASSERT_TRUE(spool.Begin(request, SpoolNeedsFor(request)));
    for (const auto& row : rows) {
      std::copy(row, row + 9, spool.Row().begin());
      ASSERT_TRUE(spool.AppendRow());
    }
    ASSERT_TRUE(spool.Finish());
    const std::string averaged = Slurp(spool.halvedPaths().ppm);
    const uint8_t expected[] = {65, 12, 22, 8, 14, 24, 75, 17, 27, 3, 18, 28};
    EXPECT_EQ(averaged, "P6\n2 2\n255\n" + std::string(expected, expected + sizeof expected));
  }
  EXPECT_FALSE(std::ifstream(dir.File("nfet7_1h.ppm"))) << "the averaged copy goes with the page";
}

}  // namespace
}  // namespace zova
