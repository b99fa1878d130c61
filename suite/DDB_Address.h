#pragma once
// Design-database addresses: one-line texts of "$"-separated pairs "key>value" that name an
// object of the suite's design databases, parsed into one field per part and formatted back.
// Formatting always writes all nine pairs in the order D, RP, RN, OP, ON, ID, ATTR, E, STF.

#include "rtl/ShortString.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace suite {

// A file-system location. Neither text ever holds an apostrophe: the setters turn each "'" into
// a backquote.
class TRealAddress {
 public:
  const std::string& Path() const { return path_; }
  const std::string& Name() const { return name_; }
  void SetPath(std::string_view value);
  void SetName(std::string_view value);

 private:
  std::string path_;
  std::string name_;
};

class TDDBAddress {
 public:
  // Parses Text with SetAddressText over the defaults (Id -1, Attr 0, all texts empty). A
  // conversion error ends the construction and reaches the caller.
  explicit TDDBAddress(std::string_view Text);
  virtual ~TDDBAddress() = default;

  // Reads the pairs of Text, in any order and with keys in any case, from its first 255
  // characters. Values lose surrounding blanks and are cut to 255 characters; "D" is upper-cased
  // (a to z only). Missing texts become empty; a missing or empty "ID" or "ATTR" keeps the
  // current Id or Attr. A value of "ID" or "ATTR" that is not an optionally signed decimal 32-bit
  // integer raises rtl::EConvertError; fields read before it keep their new values.
  void SetAddressText(std::string_view Text);
  // All nine pairs in their fixed order; not limited in length.
  std::string GetAddressText() const;

  std::unique_ptr<TRealAddress> RPart;  // keys "RP", "RN"
  std::unique_ptr<TRealAddress> OPart;  // keys "OP", "ON"
  std::string Database;
  std::int32_t Id = -1;
  std::int32_t Attr = 0;
  std::string EText;
  rtl::ShortString Stf;
};

}  // namespace suite
