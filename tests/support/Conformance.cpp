// The conformance check of structured answers. The value is read with the project's JSON
// reader for its meaning; the text is compared piece by piece with the compact writing of that
// value in schema order, which is how property order and compactness are seen.
#include "Conformance.hpp"

#include <variant>

#include "TarnwickApple/JSON/JSONText.hpp"
#include "TarnwickApple/JSON/JSONValue.hpp"
#include "TarnwickApple/Text/Unicode.hpp"

namespace Conformance {
namespace {

using TarnwickApple::JSONValue;
using TarnwickApple::FoundationModels::DynamicGenerationSchema;
using TarnwickApple::FoundationModels::GenerationGuide;
using TarnwickApple::FoundationModels::GenerationSchema;
using Form = DynamicGenerationSchema::Form;
using ScalarType = DynamicGenerationSchema::ScalarType;

// `text` between double quotes, for a failure's message (built by appending: g++ 12 warns falsely,
// -Wrestrict, on a literal + std::string here).
std::string quotedText(std::string_view text) {
  std::string quoted(1, '"');
  quoted += text;
  quoted += '"';
  return quoted;
}

// References followed without reading any deeper into the value; past this the schema is
// taken to loop on itself.
constexpr int maximumHops = 256;

double asDouble(const GenerationGuide::Bound& bound) {
  if (const auto* value = std::get_if<std::int64_t>(&bound)) return static_cast<double>(*value);
  return std::get<double>(bound);
}

bool atLeast(std::int64_t value, const GenerationGuide::Bound& bound) {
  if (const auto* b = std::get_if<std::int64_t>(&bound)) return value >= *b;
  return static_cast<double>(value) >= std::get<double>(bound);
}
bool atMost(std::int64_t value, const GenerationGuide::Bound& bound) {
  if (const auto* b = std::get_if<std::int64_t>(&bound)) return value <= *b;
  return static_cast<double>(value) <= std::get<double>(bound);
}

class Checker {
 public:
  Checker(std::string_view text, const GenerationSchema& schema) : text_(text), schema_(schema) {}

  std::string run() {
    JSONValue value;
    try {
      value = JSONValue::decode(text_);
    } catch (const JSONValue::DecodeError&) {
      return "not one readable JSON value: " + std::string(text_.substr(0, 200));
    }
    if (!check(value, schema_.root(), "$", 0)) return problem_;
    if (position_ != text_.size()) return "text after the value at byte " + std::to_string(position_);
    return {};
  }

 private:
  bool fail(const std::string& path, const std::string& what) {
    problem_ = path + ": " + what;
    return false;
  }

  bool expect(std::string_view piece, const std::string& path) {
    if (text_.compare(position_, piece.size(), piece) != 0) {
      return fail(path, "expected `" + std::string(piece) + "` at byte " + std::to_string(position_) +
                            ", found `" + std::string(text_.substr(position_, 40)) + "`");
    }
    position_ += piece.size();
    return true;
  }

  static std::string quoted(std::string_view text) {
    std::string out;
    TarnwickApple::JSONText::appendString(out, text);
    return out;
  }

  bool check(const JSONValue& value, const DynamicGenerationSchema& node, const std::string& path, int hops) {
    switch (node.form()) {
      case Form::reference: {
        const DynamicGenerationSchema* target = schema_.named(node.name());
        if (!target) return fail(path, "reference to no named form: " + node.name());
        if (hops > maximumHops) return fail(path, "references loop without reading the value");
        return check(value, *target, path, hops + 1);
      }
      case Form::choices: {
        const auto text = value.stringValue();
        if (!text) return fail(path, "a string choice needs a string");
        bool listed = false;
        for (const std::string& choice : node.choices()) listed = listed || choice == *text;
        if (!listed) return fail(path, "\"" + std::string(*text) + "\" is none of the choices of " + node.name());
        return expect(quoted(*text), path);
      }
      case Form::anyOf: {
        const std::size_t start = position_;
        std::string problems;
        for (const DynamicGenerationSchema& alternative : node.alternatives()) {
          position_ = start;
          if (check(value, alternative, path, hops + 1)) return true;
          problems += " [" + problem_ + "]";
        }
        return fail(path, "no alternative of " + node.name() + " fits:" + problems);
      }
      case Form::object: {
        const TarnwickApple::JSONObject* members = value.objectValue();
        if (!members) return fail(path, "an object schema needs an object");
        if (!expect("{", path)) return false;
        std::size_t seen = 0;
        for (const DynamicGenerationSchema::Property& property : node.properties()) {
          const JSONValue* member = members->find(property.name);
          if (!member) {
            if (!property.isOptional) return fail(path, "required property \"" + property.name + "\" is missing");
            continue;
          }
          if (seen++ > 0 && !expect(",", path)) return false;
          if (!expect(quoted(property.name) + ":", path)) return false;
          if (!check(*member, property.schema, path + "." + property.name, 0)) return false;
        }
        if (seen != members->size()) return fail(path, "the object has properties the schema does not list");
        return expect("}", path);
      }
      case Form::array: {
        const auto elements = value.arrayValue();
        if (!elements) return fail(path, "an array schema needs an array");
        const auto count = static_cast<std::int64_t>(elements->size());
        if (node.minimumElements() && count < *node.minimumElements()) return fail(path, "too few elements");
        if (node.maximumElements() && count > *node.maximumElements()) return fail(path, "too many elements");
        if (!expect("[", path)) return false;
        for (std::size_t i = 0; i < elements->size(); ++i) {
          if (i > 0 && !expect(",", path)) return false;
          if (!check((*elements)[i], node.element(), path + "[" + std::to_string(i) + "]", 0)) return false;
        }
        return expect("]", path);
      }
      case Form::scalar:
        return scalar(value, node, path);
    }
    return fail(path, "unknown form");
  }

  bool scalar(const JSONValue& value, const DynamicGenerationSchema& node, const std::string& path) {
    std::string written;
    switch (node.scalarType()) {
      case ScalarType::boolean: {
        const auto flag = value.boolValue();
        if (!flag) return fail(path, "a boolean schema needs true or false");
        written = *flag ? "true" : "false";
        break;
      }
      case ScalarType::string: {
        const auto text = value.stringValue();
        if (!text) return fail(path, "a string schema needs a string");
        for (const GenerationGuide& guide : node.guides()) {
          if (guide.kind() == GenerationGuide::Case::constant && *text != guide.constantValue()) {
            return fail(path, quotedText(*text) + " is not the constant \"" + guide.constantValue() + "\"");
          }
          // A match that ran out of time proves nothing: only a definite "no" breaks conformance.
          if (guide.kind() == GenerationGuide::Case::pattern && guide.expression().match(*text) == TarnwickApple::Unicode::Match::no) {
            return fail(path, quotedText(*text) + " does not match the pattern " + guide.expression().pattern());
          }
        }
        written = quoted(*text);
        break;
      }
      case ScalarType::integer: {
        if (value.kind() != JSONValue::Case::integer) return fail(path, "an integer schema needs a JSON integer");
        const std::int64_t number = *value.integerValue();
        for (const GenerationGuide& guide : node.guides()) {
          const bool low = guide.kind() == GenerationGuide::Case::minimum || guide.kind() == GenerationGuide::Case::range;
          const bool high = guide.kind() == GenerationGuide::Case::maximum || guide.kind() == GenerationGuide::Case::range;
          if ((low && !atLeast(number, guide.lower())) || (high && !atMost(number, guide.upper()))) {
            return fail(path, std::to_string(number) + " is outside its bounds");
          }
        }
        TarnwickApple::JSONText::appendInteger(written, number);
        return expect(written, path) && numberEnds(path);
      }
      case ScalarType::number: {
        // The reader takes a whole number such as 3.0 for an integer; a number schema takes both.
        if (value.kind() != JSONValue::Case::number && value.kind() != JSONValue::Case::integer) {
          return fail(path, "a number schema needs a JSON number");
        }
        const double number = *value.doubleValue();
        for (const GenerationGuide& guide : node.guides()) {
          const bool low = guide.kind() == GenerationGuide::Case::minimum || guide.kind() == GenerationGuide::Case::range;
          const bool high = guide.kind() == GenerationGuide::Case::maximum || guide.kind() == GenerationGuide::Case::range;
          if ((low && number < asDouble(guide.lower())) || (high && number > asDouble(guide.upper()))) {
            return fail(path, std::to_string(number) + " is outside its bounds");
          }
        }
        TarnwickApple::JSONText::appendDouble(written, number);
        return expect(written, path) && numberEnds(path);
      }
    }
    return expect(written, path);
  }

  // A number matched as a prefix must end there: 159 is not the start of 159.0 for a union that
  // tries its integer alternative first.
  bool numberEnds(const std::string& path) {
    if (position_ < text_.size() && std::string_view("0123456789.eE").find(text_[position_]) != std::string_view::npos) {
      return fail(path, "the number goes on at byte " + std::to_string(position_));
    }
    return true;
  }

  std::string_view text_;
  const GenerationSchema& schema_;
  std::size_t position_ = 0;
  std::string problem_;
};

}  // namespace

std::string problem(std::string_view json, const GenerationSchema& schema) { return Checker(json, schema).run(); }

}  // namespace Conformance
