// The stand-in's session (FM/languagemodelsession): each respond writes one request document and
// has the registered backend answer it; a failure it names is thrown as the framework would.
#if !os(Linux)
#error("FoundationModelsStandIn is the Linux stand-in; on Apple platforms build against FoundationModels")
#endif


// FM/tool: the shim passes no tools.
public protocol Tool: Sendable {}

// FM/generatedcontent
public struct GeneratedContent: Sendable {
  // FM/generatedcontent/jsonstring
  public let jsonString: String
}

public final class LanguageModelSession: @unchecked Sendable {
  let model: SystemLanguageModel
  let instructions: String?
  let turns: [(role: String, text: String)]
  public private(set) var isResponding = false

  // FM/languagemodelsession/init(model:tools:instructions:)
  public init(model: SystemLanguageModel = .default, tools: [any Tool] = [], instructions: String? = nil) {
    self.model = model
    self.instructions = instructions
    self.turns = []
  }

  // FM/languagemodelsession/init(model:tools:transcript:)
  public init(model: SystemLanguageModel = .default, tools: [any Tool] = [], transcript: Transcript) {
    self.model = model
    (self.instructions, self.turns) = transcript.backendParts
  }

  // FM/languagemodelsession/response
  public struct Response<Content>: Sendable where Content: Sendable {
    public let content: Content
    public let rawContent: GeneratedContent
  }

  // FM/languagemodelsession/respond(to:options:)
  @discardableResult
  nonisolated(nonsending) public final func respond(
    to prompt: String, options: GenerationOptions = GenerationOptions(sampling: nil)
  ) async throws -> Response<String> {
    let text = try await answer(prompt: prompt, schema: nil, includeSchemaInPrompt: false, options: options)
    return Response(content: text, rawContent: GeneratedContent(jsonString: text))
  }

  // FM/languagemodelsession/respond(to:schema:includeschemainprompt:options:)
  @discardableResult
  nonisolated(nonsending) public final func respond(
    to prompt: String, schema: GenerationSchema, includeSchemaInPrompt: Bool = true,
    options: GenerationOptions = GenerationOptions(sampling: nil)
  ) async throws -> Response<GeneratedContent> {
    let json = try await answer(prompt: prompt, schema: schema, includeSchemaInPrompt: includeSchemaInPrompt,
                                options: options)
    let content = GeneratedContent(jsonString: json)
    return Response(content: content, rawContent: content)
  }

  private func answer(prompt: String, schema: GenerationSchema?, includeSchemaInPrompt: Bool,
                      options: GenerationOptions) async throws -> String {
    return try Backend.respond(
      try documentFor(prompt: prompt, schema: schema, includeSchemaInPrompt: includeSchemaInPrompt, options: options))
  }

  func documentFor(prompt: String, schema: GenerationSchema?, includeSchemaInPrompt: Bool,
                   options: GenerationOptions) throws -> String {
    try RequestWriter.document(
      model: model, instructions: instructions, turns: turns, prompt: prompt, options: options,
      schema: schema.map { ($0, includeSchemaInPrompt) })
  }

  // FM/languagemodelsession/generationerror (not frozen)
  public enum GenerationError: Error {  // LocalizedError in the SDK; the shim reads no message
    case exceededContextWindowSize(Context)
    case assetsUnavailable(Context)
    case guardrailViolation(Context)
    case unsupportedGuide(Context)
    case unsupportedLanguageOrLocale(Context)
    case decodingFailure(Context)
    case rateLimited(Context)
    case concurrentRequests(Context)
    case refusal(Refusal, Context)
#if TARNWICK_STANDIN_FUTURE
    // A case a later framework adds: only in the stand-in built for the shim's tests.
    case futureFailure(Context)
#endif

    public struct Context: Sendable {
      public let debugDescription: String
      public init(debugDescription: String) { self.debugDescription = debugDescription }
    }

    // FM/languagemodelsession/generationerror/refusal
    public struct Refusal: Sendable {}
  }
}
