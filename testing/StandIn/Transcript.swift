// The stand-in's transcript (FM/transcript): the entries a session is built from. Only the text
// segments the shim uses are modelled; the backend sees instructions and turns as the request
// document's "instructions" and "history".
#if !os(Linux)
#error("FoundationModelsStandIn is the Linux stand-in; on Apple platforms build against FoundationModels")
#endif

public struct Transcript: Sendable {
  public var entries: [Entry]

  // FM/transcript/init(entries:)
  public init(entries: some Sequence<Entry> = []) { self.entries = Array(entries) }

  public enum Entry: Sendable {
    case instructions(Instructions)
    case prompt(Prompt)
    case response(Response)
  }

  public enum Segment: Sendable {
    case text(TextSegment)
  }

  public struct TextSegment: Sendable {
    public var id: String
    public var content: String
    public init(id: String = "", content: String) {
      self.id = id
      self.content = content
    }
  }

  // The SDK's tool definitions; the shim passes none.
  public struct ToolDefinition: Sendable {}

  public struct Instructions: Sendable {
    public var segments: [Segment]
    public var toolDefinitions: [ToolDefinition]
    public init(id: String = "", segments: [Segment], toolDefinitions: [ToolDefinition]) {
      self.segments = segments
      self.toolDefinitions = toolDefinitions
    }
  }

  public struct Prompt: Sendable {
    public var segments: [Segment]
    public init(id: String = "", segments: [Segment], options: GenerationOptions = GenerationOptions(sampling: nil)) {
      self.segments = segments
    }
  }

  public struct Response: Sendable {
    public var assetIDs: [String]
    public var segments: [Segment]
    public init(id: String = "", assetIDs: [String], segments: [Segment]) {
      self.assetIDs = assetIDs
      self.segments = segments
    }
  }
}

extension Transcript {
  // What the backend is told: the instructions, then each turn as (role, text), oldest first.
  var backendParts: (instructions: String?, turns: [(role: String, text: String)]) {
    var instructions: String?
    var turns: [(role: String, text: String)] = []
    for entry in entries {
      switch entry {
      case .instructions(let value): instructions = (instructions ?? "") + Transcript.text(value.segments)
      case .prompt(let value): turns.append(("user", Transcript.text(value.segments)))
      case .response(let value): turns.append(("assistant", Transcript.text(value.segments)))
      }
    }
    return (instructions, turns)
  }

  private static func text(_ segments: [Segment]) -> String {
    segments.map { segment in
      switch segment {
      case .text(let text): return text.content
      }
    }.joined()
  }
}
