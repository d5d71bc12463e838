// The stand-in's session (FM/languagemodelsession): each respond writes one request document and
// has the registered backend answer it; a failure it names is thrown as the framework would.
// Its initialisers and respond overloads are the 26 SDK's that a String or a Prompt reaches, so
// a call that would pick another overload there picks it here too.
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

// FM/prompt
public struct Prompt: Sendable {
  let text: String
  public init(_ text: String) { self.text = text }
}

// FM/instructions
public struct Instructions: Sendable {
  let text: String
  public init(_ text: String) { self.text = text }
}

public final class LanguageModelSession: @unchecked Sendable {
  let model: SystemLanguageModel
  let instructions: String?
  let turns: [(role: String, text: String)]
  public private(set) var isResponding = false

  // FM/languagemodelsession/init(model:tools:instructions:), the String form the SDK disfavours.
  @_disfavoredOverload
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

  // The same with Instructions.
  public init(model: SystemLanguageModel = .default, tools: [any Tool] = [], instructions: Instructions? = nil) {
    self.model = model
    self.instructions = instructions?.text
    self.turns = []
  }

  // FM/languagemodelsession/response: not Sendable in the SDK.
  public struct Response<Content> {
    public let content: Content
    public let rawContent: GeneratedContent
  }

  // FM/languagemodelsession/respond(to:options:)
  @discardableResult
  nonisolated(nonsending) public final func respond(
    to prompt: Prompt, options: GenerationOptions = GenerationOptions()
  ) async throws -> Response<String> {
    let text = try await answer(prompt: prompt.text, schema: nil, includeSchemaInPrompt: false, options: options)
    return Response(content: text, rawContent: GeneratedContent(jsonString: text))
  }

  @discardableResult
  nonisolated(nonsending) public final func respond(
    to prompt: String, options: GenerationOptions = GenerationOptions()
  ) async throws -> Response<String> {
    try await respond(to: Prompt(prompt), options: options)
  }

  // FM/languagemodelsession/respond(to:schema:includeschemainprompt:options:)
  @discardableResult
  nonisolated(nonsending) public final func respond(
    to prompt: Prompt, schema: GenerationSchema, includeSchemaInPrompt: Bool = true,
    options: GenerationOptions = GenerationOptions()
  ) async throws -> Response<GeneratedContent> {
    let json = try await answer(prompt: prompt.text, schema: schema, includeSchemaInPrompt: includeSchemaInPrompt,
                                options: options)
    let content = GeneratedContent(jsonString: json)
    return Response(content: content, rawContent: content)
  }

  @discardableResult
  nonisolated(nonsending) public final func respond(
    to prompt: String, schema: GenerationSchema, includeSchemaInPrompt: Bool = true,
    options: GenerationOptions = GenerationOptions()
  ) async throws -> Response<GeneratedContent> {
    try await respond(to: Prompt(prompt), schema: schema, includeSchemaInPrompt: includeSchemaInPrompt, options: options)
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

  // FM/languagemodelsession/generationerror (not frozen). Inside this class `Error` is the 27
  // SDK's nested type, so the protocol is spelled in full.
  public enum GenerationError: Swift.Error {  // LocalizedError in the SDK; the shim reads no message
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
