// The session for a request: with earlier turns, built from a transcript holding the
// instructions and then each turn, a prompt for the user's and a response for the model's;
// without them, exactly the session of a single prompt.
#if canImport(FoundationModels)
import FoundationModels
#else
import FoundationModelsStandIn
#endif

enum Conversation {
  static func session(_ request: BoundaryRequest) -> LanguageModelSession {
    let model = Generation.model(request)
    guard let history = request.history, !history.isEmpty else {
      return LanguageModelSession(model: model, tools: [], instructions: request.instructions)
    }
    var entries: [Transcript.Entry] = []
    if let instructions = request.instructions {
      entries.append(.instructions(Transcript.Instructions(segments: segments(instructions), toolDefinitions: [])))
    }
    for turn in history {
      if turn.role == "user" {
        entries.append(.prompt(Transcript.Prompt(segments: segments(turn.text))))
      } else {
        entries.append(.response(Transcript.Response(assetIDs: [], segments: segments(turn.text))))
      }
    }
    return LanguageModelSession(model: model, tools: [], transcript: Transcript(entries: entries))
  }

  private static func segments(_ text: String) -> [Transcript.Segment] {
    [.text(Transcript.TextSegment(content: text))]
  }
}
