// The Linux stand-in of FoundationModels' model and availability types: the declarations the
// shim uses, spelled as the macOS 26 SDK spells them. Availability comes from the backend.
#if !os(Linux)
#error("FoundationModelsStandIn is the Linux stand-in; on Apple platforms build against FoundationModels")
#endif

// FM/systemlanguagemodel
public final class SystemLanguageModel: Sendable {
  // FM/systemlanguagemodel/default
  public static let `default` = SystemLanguageModel(useCase: .general, guardrails: .default)

  let useCase: UseCase
  let guardrails: Guardrails

  // FM/systemlanguagemodel/init(usecase:guardrails:)
  public convenience init(useCase: UseCase = .general, guardrails: Guardrails = Guardrails.default) {
    self.init(storing: useCase, guardrails)
  }

  private init(storing useCase: UseCase, _ guardrails: Guardrails) {
    self.useCase = useCase
    self.guardrails = guardrails
  }

  // FM/systemlanguagemodel/availability-swift.property
  public var availability: Availability { Backend.availability() }

  public var isAvailable: Bool { availability == .available }

  // FM/systemlanguagemodel/availability-swift.enum
  @frozen public enum Availability: Equatable, Sendable {
    case available
    case unavailable(UnavailableReason)

    // FM/systemlanguagemodel/availability-swift.enum/unavailablereason (not frozen)
    public enum UnavailableReason: Equatable, Sendable, Hashable {
      case deviceNotEligible
      case appleIntelligenceNotEnabled
      case modelNotReady
#if TARNWICK_STANDIN_FUTURE
      // A reason a later framework adds: only in the stand-in built for the shim's tests.
      case futureReason
#endif
    }
  }

  // FM/systemlanguagemodel/usecase
  public struct UseCase: Sendable, Equatable {
    let wireName: String
    public static let general = UseCase(wireName: "general")
    public static let contentTagging = UseCase(wireName: "content_tagging")
  }

  // FM/systemlanguagemodel/guardrails
  public struct Guardrails: Sendable {
    let wireName: String
    public static let `default` = Guardrails(wireName: "default")
    public static let permissiveContentTransformations =
      Guardrails(wireName: "permissive_content_transformations")
  }
}
