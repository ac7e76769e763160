#include "support/test_ppd.h"

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace zova::testing {

std::string WriteTestPpd(const std::string& dir, const std::string& name,
                         const PpdIdentityFields& fields) {
  const std::string path = dir + "/" + name;
  std::ofstream ppd(path);
  ppd << "*PPD-Adobe: \"4.3\"\n"
         "*FormatVersion: \"4.3\"\n"
         "*FileVersion: \"1.0\"\n"
         "*LanguageVersion: English\n"
         "*LanguageEncoding: ISOLatin1\n"
         "*PCFileName: \"ZOVATEST.PPD\"\n";
  if (fields.manufacturer != nullptr) ppd << "*Manufacturer: \"" << fields.manufacturer << "\"\n";
  if (fields.product != nullptr) ppd << "*Product: \"" << fields.product << "\"\n";
  ppd << "*ModelName: \"ZOVA QRT\"\n"
         "*ShortNickName: \"ZOVA QRT\"\n";
  if (fields.nickname != nullptr) ppd << "*NickName: \"" << fields.nickname << "\"\n";
  ppd << "*PSVersion: \"(3010.000) 0\"\n"
         "*cupsFilter: \"application/vnd.cups-raster 0 rastertozova\"\n";
  if (fields.printAsDefault != nullptr) {
    ppd << "*OpenUI *ZovaPrintAs/Print As: PickOne\n"
           "*DefaultZovaPrintAs: "
        << fields.printAsDefault << "\n";
    for (const char* choice : {"Auto", "Text", "Picture", "Mixed"}) {
      ppd << "*ZovaPrintAs " << choice << ": \"\"\n";
    }
    ppd << "*CloseUI: *ZovaPrintAs\n";
  }
  return path;
}

}  // namespace zova::testing
