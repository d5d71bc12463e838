// The boundary's streaming call: the generation runs on a detached task with `streamResponse`,
// and the caller's thread, blocked in the call, hands each snapshot to the C callback. Snapshots
// are cumulative and the last one is the whole answer, so every snapshot but the last is passed
// on. A callback that says stop cancels the task.
#if canImport(FoundationModels)
import FoundationModels
#else
import FoundationModelsStandIn
#endif
import Dispatch
#if os(macOS)
internal import CoreFoundation
#endif

@_cdecl("tarnwick_fm_stream")
public func tarnwick_fm_stream(
  _ request: UnsafePointer<CChar>?, _ requestLength: Int,
  _ snapshot: (@convention(c) (UnsafeMutableRawPointer?, UnsafePointer<CChar>?, Int) -> Int32)?,
  _ context: UnsafeMutableRawPointer?, _ answerLength: UnsafeMutablePointer<Int>?
) -> UnsafeMutablePointer<CChar>? {
  let read = request.flatMap { BoundaryRequest.read(UnsafeRawBufferPointer(start: $0, count: requestLength)) }
  guard let read else { return boundaryAnswer(.failure(.other), length: answerLength) }
  let outcome = Relay().run(read) { text in
    guard let snapshot else { return true }
    var bytes = Array(text.utf8)
    return bytes.withUnsafeMutableBufferPointer { buffer in
      buffer.baseAddress!.withMemoryRebound(to: CChar.self, capacity: max(buffer.count, 1)) {
        snapshot(context, $0, buffer.count) != 0
      }
    }
  }
  return boundaryAnswer(outcome, length: answerLength)
}

// Hands snapshots from the generating task to the blocked caller one at a time: the task waits
// until the caller has passed each on, so the caller sees every one, in order, on its own thread.
private final class Relay: @unchecked Sendable {
  private let lock = DispatchSemaphore(value: 1)
  private let wake = DispatchSemaphore(value: 0)
  private let taken = DispatchSemaphore(value: 0)
  private var pending: String?
  private var outcome: Generation.Outcome?

  func run(_ request: BoundaryRequest, deliver: (String) -> Bool) -> Generation.Outcome {
    let task = Task.detached { [self] in
      let result = await Generation.stream(request) { self.post($0) }
      finish(result)
    }
    var stopped = false
    while true {
      waitForWake()
      lock.wait()
      let snapshot = pending
      let ended = outcome
      pending = nil
      lock.signal()
      if let snapshot {
        if !stopped && !deliver(snapshot) {
          stopped = true
          task.cancel()
        }
        taken.signal()
      } else if let ended {
        return stopped ? .failure(.unknown) : ended
      }
    }
  }

  private func post(_ snapshot: String) {
    lock.wait()
    pending = snapshot
    lock.signal()
    wake.signal()
    taken.wait()
  }

  private func finish(_ result: Generation.Outcome) {
    lock.wait()
    outcome = result
    lock.signal()
    wake.signal()
  }

  // Whether the framework needs the main run loop is unknown, so on macOS the wait keeps it turning.
  private func waitForWake() {
#if os(macOS)
    while wake.wait(timeout: .now() + .milliseconds(20)) == .timedOut {
      _ = CFRunLoopRunInMode(CFRunLoopMode.defaultMode, 0, true)
    }
#else
    wake.wait()
#endif
  }
}

extension Generation {
  // One streamed generation: every snapshot but the last goes to `post`; the last is the answer,
  // unless the generation then fails, when it was a partial answer like the others.
  static func stream(_ request: BoundaryRequest, post: (String) -> Void) async -> Outcome {
    var last: String?
    do {
      let session = Conversation.session(request)
      let options = generationOptions(request)
      if let description = request.schema {
        let schema = try SchemaBuilder.schema(description)
        let snapshots = session.streamResponse(
          to: request.prompt, schema: schema, includeSchemaInPrompt: request.includeSchemaInPrompt ?? true,
          options: options)
        for try await snapshot in snapshots {
          if let last { post(last) }
          last = snapshot.content.jsonString
        }
      } else {
        for try await snapshot in session.streamResponse(to: request.prompt, options: options) {
          if let last { post(last) }
          last = snapshot.content
        }
      }
      try Task.checkCancellation()
      guard let answer = last else { return .failure(.other) }
      return .text(answer)
    } catch {
      if let last, !Task.isCancelled { post(last) }
      return .failure(failureName(error))
    }
  }
}
