// The framework calls behind the boundary: availability as a pinned code, one generation from a
// request document, and every failure as the boundary's failure name.
#if canImport(FoundationModels)
import FoundationModels
#else
import FoundationModelsStandIn
#endif
internal import TarnwickFrameworkBoundary

// A failure name of the answer document, as FrameworkBoundary.h lists them.
typealias BoundaryFailure = tarnwick_fm_failure

enum Generation {
  static func availabilityCode() -> Int32 {
    switch SystemLanguageModel.default.availability {
    case .available:
      return TARNWICK_FM_AVAILABLE
    case .unavailable(let reason):
      switch reason {
      case .deviceNotEligible: return TARNWICK_FM_DEVICE_NOT_ELIGIBLE
      case .appleIntelligenceNotEnabled: return TARNWICK_FM_APPLE_INTELLIGENCE_NOT_ENABLED
      case .modelNotReady: return TARNWICK_FM_MODEL_NOT_READY
      @unknown default: return TARNWICK_FM_UNAVAILABLE_OTHER
      }
    }
  }

  // What one request produced: the text, or its failure.
  enum Outcome: Sendable {
    case text(String)
    case failure(BoundaryFailure)
  }

  static func run(_ request: BoundaryRequest) async -> Outcome {
    do {
      let session = Conversation.session(request)
      let options = generationOptions(request)
      if let description = request.schema {
        let schema = try SchemaBuilder.schema(description)
        let response = try await session.respond(
          to: request.prompt, schema: schema,
          includeSchemaInPrompt: request.includeSchemaInPrompt ?? true, options: options)
        return .text(response.content.jsonString)
      }
      return .text(try await session.respond(to: request.prompt, options: options).content)
    } catch {
      return .failure(failureName(error))
    }
  }

  // The boundary's name for a failure; the framework's messages and contexts stay here.
  static func failureName(_ error: any Error) -> BoundaryFailure {
#if TARNWICK_FRAMEWORK_ERRORS_27
    if #available(macOS 27.0, *), let name = newFailureName(error) { return name }
#endif
    if let failure = error as? LanguageModelSession.GenerationError {
      switch failure {
      case .exceededContextWindowSize: return .exceededContextWindowSize
      case .assetsUnavailable: return .assetsUnavailable
      case .guardrailViolation: return .guardrailViolation
      case .unsupportedGuide: return .unsupportedGuide
      case .unsupportedLanguageOrLocale: return .unsupportedLanguageOrLocale
      case .decodingFailure: return .decodingFailure
      case .rateLimited: return .rateLimited
      case .concurrentRequests: return .concurrentRequests
      case .refusal: return .refusal
      @unknown default: return .other
      }
    }
    if error is GenerationSchema.SchemaError { return .schema }
    return .unknown
  }

  static func model(_ request: BoundaryRequest) -> SystemLanguageModel {
    SystemLanguageModel(useCase: useCase(request.useCase), guardrails: guardrails(request.guardrails))
  }

  static func generationOptions(_ request: BoundaryRequest) -> GenerationOptions {
    GenerationOptions(
      sampling: request.options.sampling.flatMap(samplingMode), temperature: request.options.temperature,
      maximumResponseTokens: request.options.maximumResponseTokens)
  }

  private static func useCase(_ name: String) -> SystemLanguageModel.UseCase {
    name == "content_tagging" ? .contentTagging : .general
  }

  private static func guardrails(_ name: String) -> SystemLanguageModel.Guardrails {
    name == "permissive_content_transformations" ? .permissiveContentTransformations : .default
  }

  private static func samplingMode(_ sampling: BoundaryRequest.Sampling) -> GenerationOptions.SamplingMode? {
    switch sampling.mode {
    case "greedy": return .greedy
    case "random_top": return sampling.top.map { .random(top: $0, seed: sampling.seed) }
    case "random_probability_threshold":
      return sampling.probabilityThreshold.map { .random(probabilityThreshold: $0, seed: sampling.seed) }
    default: return nil
    }
  }
}
