// The error types the Xcode 27 SDK throws instead of GenerationError (FM/languagemodelerror,
// FM/systemlanguagemodel/error, FM/languagemodelsession/error, GeneratedContent.ParsingError),
// in the stand-in built with TARNWICK_STANDIN_XCODE27 only. Each case's information is reduced
// to its debug description: the shim matches cases and never reads what they carry.
#if !os(Linux)
#error("FoundationModelsStandIn is the Linux stand-in; on Apple platforms build against FoundationModels")
#endif

#if TARNWICK_STANDIN_XCODE27

// FM/languagemodelerror (not frozen)
@available(macOS 27.0, *)
public enum LanguageModelError: Error {  // LocalizedError in the SDK
  case contextSizeExceeded(ContextSizeExceeded)
  case rateLimited(RateLimited)
  case refusal(Refusal)
  case guardrailViolation(GuardrailViolation)
  case unsupportedGenerationGuide(UnsupportedGenerationGuide)
  case unsupportedLanguageOrLocale(UnsupportedLanguageOrLocale)
  case timeout(Timeout)
  case unsupportedCapability(UnsupportedCapability)
#if TARNWICK_STANDIN_FUTURE
  // A case a later framework adds: only in the stand-in built for the shim's tests.
  case futureFailure(Timeout)
#endif

  public struct ContextSizeExceeded: Sendable { public let debugDescription: String }
  public struct RateLimited: Sendable { public let debugDescription: String }
  public struct Refusal: Sendable { public let debugDescription: String }
  public struct GuardrailViolation: Sendable { public let debugDescription: String }
  public struct UnsupportedGenerationGuide: Sendable { public let debugDescription: String }
  public struct UnsupportedLanguageOrLocale: Sendable { public let debugDescription: String }
  public struct Timeout: Sendable { public let debugDescription: String }
  public struct UnsupportedCapability: Sendable { public let debugDescription: String }
}

extension SystemLanguageModel {
  // FM/systemlanguagemodel/error (not frozen)
  @available(macOS 27.0, *)
  public enum Error: Swift.Error {  // LocalizedError in the SDK
    case assetsUnavailable(AssetsUnavailable)

    public struct AssetsUnavailable: Sendable {
      public let debugDescription: String
      public init(debugDescription: String) { self.debugDescription = debugDescription }
    }
  }
}

extension LanguageModelSession {
  // FM/languagemodelsession/error: misuse of a session (not frozen)
  @available(macOS 27.0, *)
  public enum Error: Swift.Error, Hashable {  // LocalizedError in the SDK
    case concurrentRequests
    case transcriptMutationWhileResponding
  }
}

extension GeneratedContent {
  // What the 27 SDK throws where the 26 SDK threw decodingFailure.
  @available(macOS 27.0, *)
  public struct ParsingError: Error {
    public let debugDescription: String
  }
}

#endif
