// The stand-in's generation options and sampling modes (FM/generationoptions): opaque to the
// shim, read back by the stand-in when it writes the request for its backend.
#if !os(Linux)
#error("FoundationModelsStandIn is the Linux stand-in; on Apple platforms build against FoundationModels")
#endif

public struct GenerationOptions: Sendable, Equatable {
  // FM/generationoptions/samplingmode
  public struct SamplingMode: Sendable, Equatable {
    enum Mode: Sendable, Equatable {
      case greedy
      case top(Int, seed: UInt64?)
      case probabilityThreshold(Double, seed: UInt64?)
    }
    let mode: Mode

    public static var greedy: SamplingMode { SamplingMode(mode: .greedy) }

    public static func random(top k: Int, seed: UInt64? = nil) -> SamplingMode {
      SamplingMode(mode: .top(k, seed: seed))
    }

    public static func random(probabilityThreshold: Double, seed: UInt64? = nil) -> SamplingMode {
      SamplingMode(mode: .probabilityThreshold(probabilityThreshold, seed: seed))
    }
  }

  public var sampling: SamplingMode?
  public var temperature: Double?
  public var maximumResponseTokens: Int?

  // FM/generationoptions/init(sampling:temperature:maximumresponsetokens:), as the macOS 26
  // SDK declares it: every argument defaults to nil (a later page shows `sampling` without one).
  public init(sampling: SamplingMode? = nil, temperature: Double? = nil, maximumResponseTokens: Int? = nil) {
    self.sampling = sampling
    self.temperature = temperature
    self.maximumResponseTokens = maximumResponseTokens
  }
}
