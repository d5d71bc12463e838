// Generation guides: building them and comparing them.
#include "TarnwickApple/FoundationModels/GenerationGuide.hpp"

#include <utility>

namespace TarnwickApple::FoundationModels {

GenerationGuide GenerationGuide::constant(std::string value) {
  GenerationGuide guide(Case::constant);
  guide.text_ = std::move(value);
  return guide;
}

GenerationGuide GenerationGuide::pattern(Unicode::Regex expression) {
  GenerationGuide guide(Case::pattern);
  guide.text_ = expression.pattern();
  guide.regex_ = std::move(expression);
  return guide;
}

GenerationGuide GenerationGuide::minimum(Bound value) {
  GenerationGuide guide(Case::minimum);
  guide.lower_ = value;
  return guide;
}

GenerationGuide GenerationGuide::maximum(Bound value) {
  GenerationGuide guide(Case::maximum);
  guide.upper_ = value;
  return guide;
}

GenerationGuide GenerationGuide::range(Bound lower, Bound upper) {
  GenerationGuide guide(Case::range);
  guide.lower_ = lower;
  guide.upper_ = upper;
  return guide;
}

bool operator==(const GenerationGuide& a, const GenerationGuide& b) {
  if (a.kind_ != b.kind_) return false;
  switch (a.kind_) {
    case GenerationGuide::Case::constant:
    case GenerationGuide::Case::pattern:
      return a.text_ == b.text_;  // a pattern keeps its pattern text here too
    case GenerationGuide::Case::minimum:
      return a.lower_ == b.lower_;
    case GenerationGuide::Case::maximum:
      return a.upper_ == b.upper_;
    case GenerationGuide::Case::range:
      return a.lower_ == b.lower_ && a.upper_ == b.upper_;
  }
  return false;
}

}  // namespace TarnwickApple::FoundationModels
