// The printer's resident character tables, and code points to their bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zova::text {

// One table: the name a job asks for, its number in ESC ( t (d2 d3), and the
// code point of each byte 0x80-0xFF (0 where the table has none). Bytes below
// 0x80 are ASCII in every table (with ESC R 0, the USA set).
struct CharacterTable {
  std::string_view name;
  uint8_t d2;
  uint8_t d3;
  const std::array<char16_t, 128>* upper;
};

// PC437 (the default), PC850, PC858, PC852, PC866, ISO8859-1, ISO8859-15.
const std::vector<CharacterTable>& CharacterTables();
// By name, case-insensitive; "CP850", "IBM850" and "850" name PC850, and
// "LATIN1"/"LATIN9" the ISO tables. nullptr for a table the printer lacks.
const CharacterTable* FindCharacterTable(std::string_view name);
const CharacterTable& DefaultCharacterTable();

// Code points to bytes of one table. What the table cannot print becomes '?',
// and the first few such characters are kept for the job's one warning.
class TextEncoder {
 public:
  explicit TextEncoder(const CharacterTable& table);

  void Encode(std::u32string_view text, std::vector<uint8_t>& out);
  // Whether the table has the character: Encode prints it as itself.
  bool Holds(char32_t c) const { return (c >= 0x20 && c < 0x7F) || bytes_.count(c) != 0; }

  // "3 characters cannot be printed in PC437 and print as ?: €, Ж, ő"; empty
  // when every character printed.
  std::string Warning() const;
  size_t unprintable() const { return unprintable_; }

 private:
  const CharacterTable* table_;
  std::unordered_map<char32_t, uint8_t> bytes_;
  size_t unprintable_ = 0;
  std::vector<char32_t> examples_;
  bool moreKinds_ = false;  // characters beyond the examples
};

// One code point as UTF-8, for messages.
std::string Utf8(char32_t c);

}  // namespace zova::text
