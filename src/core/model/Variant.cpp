#include "core/model/Variant.h"

#include "core/support/NumberText.h"

namespace orvane {

std::string VariantToText(const Variant& v) {
  struct Visitor {
    std::string operator()(EmptyValue) const { return {}; }
    std::string operator()(NullValue) const { return {}; }
    std::string operator()(int16_t x) const { return std::to_string(x); }
    std::string operator()(int32_t x) const { return std::to_string(x); }
    std::string operator()(float x) const { return FormatNumber(x); }
    std::string operator()(double x) const { return FormatNumber(x); }
    std::string operator()(Currency c) const { return FormatNumber(c.Scaled / 10000.0); }
    std::string operator()(Date d) const { return FormatNumber(d.Days); }
    std::string operator()(const std::string& s) const { return s; }
    std::string operator()(bool b) const { return b ? "True" : "False"; }
    std::string operator()(uint8_t x) const { return std::to_string(x); }
  };
  return std::visit(Visitor{}, v);
}

}  // namespace orvane
