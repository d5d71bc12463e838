// Where the stand-in's answers come from: C callbacks that the C++ side registers at start-up
// (the reference engine in this build), answering boundary request documents.
#if !os(Linux)
#error("FoundationModelsStandIn is the Linux stand-in; on Apple platforms build against FoundationModels")
#endif

internal import FoundationEssentials
internal import Glibc
internal import TarnwickFrameworkBoundary

public typealias StandInAvailability = @convention(c) () -> Int32
public typealias StandInRespond = @convention(c) (UnsafePointer<CChar>?, Int, UnsafeMutablePointer<Int>?) -> UnsafeMutablePointer<CChar>?
public typealias StandInFree = @convention(c) (UnsafeMutablePointer<CChar>?) -> Void

// Registered once, before the first call into the stand-in; read-only afterwards.
nonisolated(unsafe) private var registered: (StandInAvailability, StandInRespond, StandInFree)?

// Registers the backend. Called from C++ before main runs; a second call replaces the first.
@_cdecl("tarnwick_standin_register")
public func tarnwick_standin_register(
  _ availability: StandInAvailability?, _ respond: StandInRespond?, _ release: StandInFree?
) {
  guard let availability, let respond, let release else {
    registered = nil
    return
  }
  registered = (availability, respond, release)
}

// Failures that are not the framework's own: the shim reports them as "unknown".
enum StandInFailure: Error {
  case noBackend
  case unreadableAnswer
  case unknown
#if !TARNWICK_STANDIN_FUTURE
  case other  // no GenerationError case is left to stand for it
#endif
}

enum Backend {
  static func availability() -> SystemLanguageModel.Availability {
    guard let (availability, _, _) = registered else { return .unavailable(.modelNotReady) }
    switch availability() {
    case TARNWICK_FM_AVAILABLE: return .available
    case TARNWICK_FM_DEVICE_NOT_ELIGIBLE: return .unavailable(.deviceNotEligible)
    case TARNWICK_FM_APPLE_INTELLIGENCE_NOT_ENABLED: return .unavailable(.appleIntelligenceNotEnabled)
    case TARNWICK_FM_MODEL_NOT_READY: return .unavailable(.modelNotReady)
    default:
#if TARNWICK_STANDIN_FUTURE
      return .unavailable(.futureReason)
#else
      return .unavailable(.modelNotReady)  // the declared reasons have nothing closer
#endif
    }
  }

  private struct Answer: Decodable {
    let version: Int
    let text: String?
    let failure: String?
  }

  // The backend's text for one request document, or the failure it names, thrown.
  static func respond(_ request: String) throws -> String {
    guard let (_, respond, _) = registered else { throw StandInFailure.noBackend }
    var bytes = Array(request.utf8)
    var length = 0
    let answer = bytes.withUnsafeMutableBufferPointer { buffer in
      buffer.baseAddress!.withMemoryRebound(to: CChar.self, capacity: buffer.count) {
        respond($0, buffer.count, &length)
      }
    }
    return try read(answer, length: length)
  }

  // An answer document's text or failure; the answer is released.
  static func read(_ answer: UnsafeMutablePointer<CChar>?, length: Int) throws -> String {
    guard let (_, _, release) = registered else { throw StandInFailure.noBackend }
    guard let answer else { throw StandInFailure.unreadableAnswer }
    defer { release(answer) }
    let data = Data(bytes: answer, count: length)
    guard let read = try? JSONDecoder().decode(Answer.self, from: data), read.version == 1 else {
      throw StandInFailure.unreadableAnswer
    }
    if let text = read.text, read.failure == nil { return text }
    guard let name = read.failure, read.text == nil else { throw StandInFailure.unreadableAnswer }
    throw failure(named: name)
  }

  static func release(_ answer: UnsafeMutablePointer<CChar>) {
    registered?.2(answer)
  }

  private static func failure(named name: String) -> any Error {
    var failure: tarnwick_fm_failure = .other
    var bytes = Array(name.utf8)
    let known = bytes.withUnsafeMutableBufferPointer { buffer in
      buffer.baseAddress.map {
        $0.withMemoryRebound(to: CChar.self, capacity: buffer.count) {
          tarnwick_fm_failure_named($0, buffer.count, &failure) != 0
        }
      } ?? false
    }
    guard known else { return StandInFailure.unknown }
    let description = "the stand-in's backend answered \(name)"
    if failure == .schema {
      return GenerationSchema.SchemaError.undefinedReferences(
        schema: nil, references: [], context: .init(debugDescription: "refused by the backend"))
    }
    return generationFailure(failure, description)
  }

  // A generation failure as the SDK the stand-in was built as throws it: GenerationError from
  // the 26 SDK, the new types from the 27 SDK.
  static func generationFailure(_ failure: tarnwick_fm_failure, _ description: String) -> any Error {
#if TARNWICK_STANDIN_XCODE27
    if #available(macOS 27.0, *) {
      switch failure {
      case .exceededContextWindowSize: return LanguageModelError.contextSizeExceeded(.init(debugDescription: description))
      case .assetsUnavailable: return SystemLanguageModel.Error.assetsUnavailable(.init(debugDescription: description))
      case .guardrailViolation: return LanguageModelError.guardrailViolation(.init(debugDescription: description))
      case .unsupportedGuide: return LanguageModelError.unsupportedGenerationGuide(.init(debugDescription: description))
      case .unsupportedLanguageOrLocale:
        return LanguageModelError.unsupportedLanguageOrLocale(.init(debugDescription: description))
      case .decodingFailure: return GeneratedContent.ParsingError(debugDescription: description)
      case .rateLimited: return LanguageModelError.rateLimited(.init(debugDescription: description))
      case .concurrentRequests: return LanguageModelSession.Error.concurrentRequests
      case .refusal: return LanguageModelError.refusal(.init(debugDescription: description))
      case .other:
#if TARNWICK_STANDIN_FUTURE
        return LanguageModelError.futureFailure(.init(debugDescription: description))
#else
        return LanguageModelError.timeout(.init(debugDescription: description))
#endif
      case .schema, .unknown: return StandInFailure.unknown
      }
    }
#endif
    typealias Failure = LanguageModelSession.GenerationError
    let context = Failure.Context(debugDescription: description)
    switch failure {
    case .exceededContextWindowSize: return Failure.exceededContextWindowSize(context)
    case .assetsUnavailable: return Failure.assetsUnavailable(context)
    case .guardrailViolation: return Failure.guardrailViolation(context)
    case .unsupportedGuide: return Failure.unsupportedGuide(context)
    case .unsupportedLanguageOrLocale: return Failure.unsupportedLanguageOrLocale(context)
    case .decodingFailure: return Failure.decodingFailure(context)
    case .rateLimited: return Failure.rateLimited(context)
    case .concurrentRequests: return Failure.concurrentRequests(context)
    case .refusal: return Failure.refusal(Failure.Refusal(), context)
    case .other:
#if TARNWICK_STANDIN_FUTURE
      return Failure.futureFailure(context)
#else
      return StandInFailure.other
#endif
    case .schema, .unknown: return StandInFailure.unknown
    }
  }
}
