// An assembled generation schema: a root and its named dependencies, checked to resolve, with a
// canonical one-line JSON description.
#pragma once

#include <exception>
#include <forward_list>
#include <memory>
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
  // A copy is assembled again, so that its table points into its own trees; a move keeps them.
  GenerationSchema(const GenerationSchema& other) : GenerationSchema(other.root(), other.dependencies()) {}
  GenerationSchema(GenerationSchema&&) noexcept = default;
  GenerationSchema& operator=(const GenerationSchema& other) { return *this = GenerationSchema(other); }
  GenerationSchema& operator=(GenerationSchema&&) noexcept = default;

  const DynamicGenerationSchema& root() const { return *root_; }
  const std::vector<DynamicGenerationSchema>& dependencies() const { return dependencies_; }

  // The named form (choices, anyOf or object) of that name anywhere in the schema, or nullptr.
  const DynamicGenerationSchema* named(std::string_view name) const;

  // {"root":NODE,"dependencies":[NODE,...]} on one line, without a line feed.
  std::string description() const;
  // The same text appended to `out`, for writers that embed it in a longer line.
  void appendDescription(std::string& out) const;

 private:
  class Assembly;  // builds `named_` from the trees, refusing what does not resolve
  // A named form of the trees under its NFC name: the node's own name, or a form kept in
  // `normalized_` for the few names that are not NFC.
  struct Named {
    std::string_view key;
    const DynamicGenerationSchema* node;
  };

  // The root on the heap, like every other node, so that `named_` still points at it once the
  // schema is moved.
  std::unique_ptr<const DynamicGenerationSchema> root_;
  std::vector<DynamicGenerationSchema> dependencies_;
  std::vector<Named> named_;                     // ascending by key, no key twice
  std::forward_list<std::string> normalized_;    // allocates nothing while empty
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
