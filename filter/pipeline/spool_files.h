// Per-page spool images: the PPM the filter writes, the PBM the halftoning
// tool leaves beside it. The filter keeps them in /tmp, the printer
// application in its own spool directory.
//
// The names are predictable, so nothing here follows a symlink or reuses an
// old file: a spool file is removed and created afresh, exclusively, 0600.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "messages/messages.h"
#include "pipeline/file_descriptor.h"

namespace zova {

struct SpoolPaths {
  std::string ppm;   // <directory>/nfet<job>_<page>.ppm
  std::string pbm;   // <directory>/nfet<job>_<page>.pbm
  std::string base;  // handed to the halftoning tool, which adds extensions
};

SpoolPaths BuildSpoolPaths(const std::string& directory, const std::string& jobId, int page);

// Beside them, the page averaged 2x2 and its halftone, for the pictures of
// a 360x360 page that is printed at 180x180.
SpoolPaths HalvedSpoolPaths(const SpoolPaths& paths);

// Writes a spool file through a large buffer.
class SpoolWriter {
 public:
  explicit SpoolWriter(Messages& messages) : messages_(&messages) {}
  // Removes any file of that name and creates it exclusively. Reports the
  // error and returns false on failure.
  bool Create(const std::string& path);
  // Both report the error and return false on failure (a full disk).
  bool Write(const uint8_t* data, size_t len);
  bool Close();

 private:
  bool Drain();
  bool WriteAll(const uint8_t* data, size_t len);

  Messages* messages_;
  std::string path_;
  FileDescriptor fd_;
  std::vector<uint8_t> buffer_;
  size_t used_ = 0;
};

// Reads a spool file through a large buffer.
class SpoolReader {
 public:
  // Opens without following a symlink; errno tells why it failed.
  bool Open(const std::string& path);
  // Reads up to len bytes, fewer only at the end of the file. Returns the
  // count, 0 at the end, -1 on a read error.
  ssize_t Read(uint8_t* dst, size_t len);
  // The next len bytes, in place in the reader's buffer: no copy for rows
  // that are converted where they lie. *data has room for len bytes, of
  // which the returned count (fewer only at the end of the file) were read;
  // they stay valid until the next call.
  ssize_t Next(size_t len, uint8_t** data);

 private:
  FileDescriptor fd_;
  std::vector<uint8_t> buffer_;
  size_t pos_ = 0;
  size_t end_ = 0;
};

// Creates the page's PPM and writes its header "P6\n<width> <height>\n255\n".
// Returns the header's length, or -1 after an error.
int CreatePpmSpool(const std::string& path, unsigned width, unsigned height, SpoolWriter* writer);

// The header of a raw PBM image: "P4\n", then width and height on one line.
struct PbmHeader {
  enum Status {
    kRead,       // the fields below are set
    kMissing,    // the file cannot be opened
    kMalformed,  // an error has said what is wrong
  };
  Status status = kMissing;
  unsigned Width = 0;
  unsigned Height = 0;
  int HeadLen = 0;  // bytes up to the first row
};

PbmHeader getSize(const std::string& cFileName, Messages& messages);

// Deletes the page's spool files at the end of a page, logging failures.
void RemoveSpoolFiles(const SpoolPaths& paths, bool iPicFlag, Messages& messages);

}  // namespace zova
