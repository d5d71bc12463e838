// The stand-in's streamed responses (FM/languagemodelsession/streamresponse): the backend's
// snapshots as an asynchronous sequence, then the whole answer as the last snapshot, as the
// framework's final snapshot is the complete content.
#if !os(Linux)
#error("FoundationModelsStandIn is the Linux stand-in; on Apple platforms build against FoundationModels")
#endif

internal import Glibc

public typealias StandInSnapshot = @convention(c) (UnsafeMutableRawPointer?, UnsafePointer<CChar>?, Int) -> Int32
public typealias StandInStream = @convention(c) (
  UnsafePointer<CChar>?, Int, StandInSnapshot?, UnsafeMutableRawPointer?, UnsafeMutablePointer<Int>?
) -> UnsafeMutablePointer<CChar>?

// Registered once, before the first call into the stand-in; read-only afterwards.
nonisolated(unsafe) private var registeredStream: StandInStream?

// Registers the streaming backend; without one, a stream gives the whole answer only.
@_cdecl("tarnwick_standin_register_stream")
public func tarnwick_standin_register_stream(_ stream: StandInStream?) {
  registeredStream = stream
}

extension LanguageModelSession {
  // FM/languagemodelsession/responsestream
  public struct ResponseStream<Content: Sendable>: AsyncSequence, Sendable {
    public typealias Element = Snapshot

    // FM/languagemodelsession/responsestream/snapshot: `content` is the partially generated
    // content, which for String and GeneratedContent is the type itself.
    public struct Snapshot: Sendable {
      public let content: Content
      public let rawContent: GeneratedContent
    }

    let snapshots: AsyncThrowingStream<Snapshot, any Swift.Error>

    public func makeAsyncIterator() -> AsyncThrowingStream<Snapshot, any Swift.Error>.AsyncIterator {
      snapshots.makeAsyncIterator()
    }
  }

  // FM/languagemodelsession/streamresponse(to:options:)
  public final func streamResponse(
    to prompt: String, options: GenerationOptions = GenerationOptions(sampling: nil)
  ) -> ResponseStream<String> {
    stream(prompt: prompt, schema: nil, includeSchemaInPrompt: false, options: options) {
      ResponseStream<String>.Snapshot(content: $0, rawContent: GeneratedContent(jsonString: $0))
    }
  }

  // FM/languagemodelsession/streamresponse(to:schema:includeschemainprompt:options:)
  public final func streamResponse(
    to prompt: String, schema: GenerationSchema, includeSchemaInPrompt: Bool = true,
    options: GenerationOptions = GenerationOptions(sampling: nil)
  ) -> ResponseStream<GeneratedContent> {
    stream(prompt: prompt, schema: schema, includeSchemaInPrompt: includeSchemaInPrompt, options: options) {
      let content = GeneratedContent(jsonString: $0)
      return ResponseStream<GeneratedContent>.Snapshot(content: content, rawContent: content)
    }
  }

  private func stream<Content: Sendable>(
    prompt: String, schema: GenerationSchema?, includeSchemaInPrompt: Bool, options: GenerationOptions,
    snapshot: @escaping @Sendable (String) -> ResponseStream<Content>.Snapshot
  ) -> ResponseStream<Content> {
    let request = Result {
      try documentFor(prompt: prompt, schema: schema, includeSchemaInPrompt: includeSchemaInPrompt, options: options)
    }
    let snapshots = AsyncThrowingStream<ResponseStream<Content>.Snapshot, any Swift.Error> { continuation in
      let generation = Task.detached {
        do {
          let text = try StreamingBackend.stream(try request.get()) { continuation.yield(snapshot($0)) }
          continuation.yield(snapshot(text))
          continuation.finish()
        } catch {
          continuation.finish(throwing: error)
        }
      }
      continuation.onTermination = { _ in generation.cancel() }
    }
    return ResponseStream(snapshots: snapshots)
  }
}

// The backend's streaming call: each snapshot handed to `deliver` while it blocks; the generation
// stops once the task is cancelled.
enum StreamingBackend {
  private final class Delivery {
    let deliver: (String) -> Void
    init(_ deliver: @escaping (String) -> Void) { self.deliver = deliver }
  }

  static func stream(_ request: String, deliver: @escaping (String) -> Void) throws -> String {
    guard let stream = registeredStream else { return try Backend.respond(request) }
    let delivery = Delivery(deliver)
    var length = 0
    var bytes = Array(request.utf8)
    let answer = withExtendedLifetime(delivery) {
      bytes.withUnsafeMutableBufferPointer { buffer in
        buffer.baseAddress!.withMemoryRebound(to: CChar.self, capacity: buffer.count) {
          stream($0, buffer.count, { context, text, count in
            if Task.isCancelled { return 0 }
            let delivery = Unmanaged<Delivery>.fromOpaque(context!).takeUnretainedValue()
            let bytes = UnsafeRawBufferPointer(start: text, count: count)
            delivery.deliver(String(decoding: bytes, as: UTF8.self))
            return Task.isCancelled ? 0 : 1
          }, Unmanaged.passUnretained(delivery).toOpaque(), &length)
        }
      }
    }
    if Task.isCancelled {
      if let answer { Backend.release(answer) }
      throw CancellationError()
    }
    return try Backend.read(answer, length: length)
  }
}
