#include "platform/toolkit/PropertyBag.h"

#include "platform/toolkit/Error.h"
#include "platform/toolkit/Numeric.h"

namespace tk {

PropertyValue PropertyBag::ReadProperty(const std::string& key,
                                        const PropertyValue& defaultValue) const {
  auto it = values_.find(key);
  return it == values_.end() ? defaultValue : it->second;
}

void PropertyBag::WriteProperty(const std::string& key, const PropertyValue& value,
                                const std::optional<PropertyValue>& defaultValue) {
  writeOrder_.push_back(key);
  if (defaultValue && *defaultValue == value) {
    values_.erase(key);
    return;
  }
  values_[key] = value;
}

int32_t AsLong(const PropertyValue& v) {
  if (auto p = std::get_if<int32_t>(&v)) return *p;
  if (auto p = std::get_if<int16_t>(&v)) return *p;
  if (auto p = std::get_if<bool>(&v)) return *p ? -1 : 0;
  Raise(13, "PropertyBag", "Type mismatch");
}

int16_t AsInt(const PropertyValue& v) { return ToInt16(AsLong(v)); }

bool AsBool(const PropertyValue& v) {
  if (auto p = std::get_if<bool>(&v)) return *p;
  return AsLong(v) != 0;
}

std::string AsString(const PropertyValue& v) {
  if (auto p = std::get_if<std::string>(&v)) return *p;
  if (std::holds_alternative<std::monostate>(v)) return {};
  return std::to_string(AsLong(v));
}

FontRef AsFont(const PropertyValue& v) {
  if (auto p = std::get_if<FontRef>(&v)) return *p;
  return nullptr;
}

PictureRef AsPicture(const PropertyValue& v) {
  if (auto p = std::get_if<PictureRef>(&v)) return *p;
  return nullptr;
}

}  // namespace tk
