// An assembled generation schema: a root and its named dependencies, checked to resolve, with a
// canonical one-line JSON description.
#pragma once

#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "TarnwickApple/FoundationModels/DynamicGenerationSchema.hpp"

namespace TarnwickApple::FoundationModels {

class GenerationSchema {
 public:
  class SchemaError : public std::exception {
   public:
    enum class Case {
      undefinedReference,    // a reference names no named form
      duplicateType,         // two named forms share a name
      duplicateProperty,     // an object lists one property name twice
      emptyTypeChoices,      // a string choice without strings, or a union without alternatives
      invalidArrayBounds,    // a negative element count, or minimum above maximum
      unrecognized,          // refused by the platform for a reason this layer does not name
    };
    explicit SchemaError(Case kind) : kind_(kind) {}
    Case kind() const { return kind_; }
    const char* what() const noexcept override;

   private:
    Case kind_;
  };

  // `GenerationSchema(root:dependencies:)`: throws SchemaError when the schema does not resolve.
  GenerationSchema(DynamicGenerationSchema root, std::vector<DynamicGenerationSchema> dependencies);

  const DynamicGenerationSchema& root() const { return root_; }
  const std::vector<DynamicGenerationSchema>& dependencies() const { return dependencies_; }

  // The named form (choices, anyOf or object) of that name anywhere in the schema, or nullptr.
  const DynamicGenerationSchema* named(std::string_view name) const;

  // {"root":NODE,"dependencies":[NODE,...]} on one line, without a line feed.
  std::string description() const;
  // The same text appended to `out`, for writers that embed it in a longer line.
  void appendDescription(std::string& out) const;

 private:
  class Assembly;  // builds `named_` from the trees, refusing what does not resolve
  // A named form under its NFC name: most names are already NFC, and only the others keep a copy.
  struct Named {
    DynamicGenerationSchema node;
    std::string normalized;  // the NFC form when it differs from the name, else empty
    std::string_view key() const { return normalized.empty() ? std::string_view(node.name()) : normalized; }
  };

  DynamicGenerationSchema root_;
  std::vector<DynamicGenerationSchema> dependencies_;
  std::vector<Named> named_;  // ascending by key, no key twice
};

// The result of a structured generation.
class GeneratedContent {
 public:
  explicit GeneratedContent(std::string json) : json_(std::move(json)) {}
  // Compact JSON text of the generated value.
  const std::string& jsonString() const { return json_; }

 private:
  std::string json_;
};

}  // namespace TarnwickApple::FoundationModels
