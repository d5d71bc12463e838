// The boundary's names for the error types an Xcode 27 SDK throws instead of GenerationError,
// case by case, so that a rebuild with it keeps every failure's kind. Compiled only where the
// SDK declares them (TARNWICK_FRAMEWORK_ERRORS_27, set by the build's probe of the SDK); on a
// macOS 26 system such a build still receives GenerationError, which Generation maps.
#if TARNWICK_FRAMEWORK_ERRORS_27

#if canImport(FoundationModels)
import FoundationModels
#else
import FoundationModelsStandIn
#endif
internal import TarnwickFrameworkBoundary

extension Generation {
  // Nothing for an error of none of the new types.
  @available(macOS 27.0, *)
  static func newFailureName(_ error: any Error) -> BoundaryFailure? {
    if let failure = error as? LanguageModelError {
      switch failure {
      case .contextSizeExceeded: return .exceededContextWindowSize
      case .guardrailViolation: return .guardrailViolation
      case .unsupportedGenerationGuide: return .unsupportedGuide
      case .unsupportedLanguageOrLocale: return .unsupportedLanguageOrLocale
      case .rateLimited: return .rateLimited
      case .refusal: return .refusal
      // New failures with no GenerationError counterpart.
      case .timeout, .unsupportedCapability: return .other
      @unknown default: return .other
      }
    }
    if let failure = error as? SystemLanguageModel.Error {
      switch failure {
      case .assetsUnavailable: return .assetsUnavailable
      @unknown default: return .other
      }
    }
    if let failure = error as? LanguageModelSession.Error {
      switch failure {
      case .concurrentRequests: return .concurrentRequests
      case .transcriptMutationWhileResponding: return .other  // the shim never edits a transcript
      @unknown default: return .other
      }
    }
    if error is GeneratedContent.ParsingError { return .decodingFailure }
    return nil
  }
}

#endif
