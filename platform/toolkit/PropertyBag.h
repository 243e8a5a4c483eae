// The property bag in which hosted controls keep their design values: read and written key by
// key, each with a default. A value equal to the default given on writing is left out, as the
// toolkit's bag does; the bag remembers the order of writes so that it can be inspected.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/toolkit/Font.h"

namespace tk {

using PropertyValue =
    std::variant<std::monostate, int32_t, int16_t, bool, std::string, FontRef, PictureRef>;

class PropertyBag {
 public:
  // The stored value, or defaultValue when the key is absent.
  PropertyValue ReadProperty(const std::string& key, const PropertyValue& defaultValue = {}) const;
  // Stores value unless it equals defaultValue (then the key is removed).
  void WriteProperty(const std::string& key, const PropertyValue& value,
                     const std::optional<PropertyValue>& defaultValue = std::nullopt);

  bool Has(const std::string& key) const { return values_.count(key) != 0; }
  const std::vector<std::string>& WriteOrder() const { return writeOrder_; }
  void Clear() {
    values_.clear();
    writeOrder_.clear();
  }

 private:
  std::map<std::string, PropertyValue> values_;
  std::vector<std::string> writeOrder_;
};

// Typed readers over a PropertyValue; numbers convert between widths (checked).
int32_t AsLong(const PropertyValue& v);
int16_t AsInt(const PropertyValue& v);
bool AsBool(const PropertyValue& v);
std::string AsString(const PropertyValue& v);
FontRef AsFont(const PropertyValue& v);
PictureRef AsPicture(const PropertyValue& v);

}  // namespace tk
