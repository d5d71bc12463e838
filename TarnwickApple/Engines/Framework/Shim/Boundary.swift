// The C functions of FrameworkBoundary.h (the streaming one is in Streaming.swift). Each call blocks its caller (the C++ main thread,
// outside Swift's pool) while the generation runs on a detached task; nothing here traps.
#if canImport(FoundationEssentials)
internal import FoundationEssentials
#else
internal import Foundation
#endif
import Dispatch
#if canImport(Glibc)
internal import Glibc
#elseif canImport(Darwin)
internal import Darwin
#endif
#if os(macOS)
internal import CoreFoundation
#endif
internal import TarnwickFrameworkBoundary

@_cdecl("tarnwick_fm_availability")
public func tarnwick_fm_availability() -> Int32 {
  Generation.availabilityCode()
}

@_cdecl("tarnwick_fm_respond")
public func tarnwick_fm_respond(
  _ request: UnsafePointer<CChar>?, _ requestLength: Int, _ answerLength: UnsafeMutablePointer<Int>?
) -> UnsafeMutablePointer<CChar>? {
  let read = request.flatMap { BoundaryRequest.read(UnsafeRawBufferPointer(start: $0, count: requestLength)) }
  let outcome = read.map(waitFor) ?? .failure(.other)
  return allocate(answerDocument(outcome), length: answerLength)
}

// An answer document for the caller to release with tarnwick_fm_free.
func boundaryAnswer(_ outcome: Generation.Outcome, length: UnsafeMutablePointer<Int>?) -> UnsafeMutablePointer<CChar>? {
  allocate(answerDocument(outcome), length: length)
}

@_cdecl("tarnwick_fm_free")
public func tarnwick_fm_free(_ answer: UnsafeMutablePointer<CChar>?) {
  free(answer)
}

// Written by the task, read by the caller after the semaphore: the semaphore orders the two.
private final class OutcomeBox: @unchecked Sendable {
  var outcome = Generation.Outcome.failure(.other)
}

// Runs the generation on a detached task and blocks until it has ended. Whether the framework
// needs the main run loop is unknown, so on macOS the wait keeps it turning.
private func waitFor(_ request: BoundaryRequest) -> Generation.Outcome {
  let box = OutcomeBox()
  let done = DispatchSemaphore(value: 0)
  Task.detached {
    box.outcome = await Generation.run(request)
    done.signal()
  }
#if os(macOS)
  while done.wait(timeout: .now() + .milliseconds(20)) == .timedOut {
    _ = CFRunLoopRunInMode(CFRunLoopMode.defaultMode, 0, true)
  }
#else
  done.wait()
#endif
  return box.outcome
}

private func answerDocument(_ outcome: Generation.Outcome) -> String {
  switch outcome {
  case .text(let text): return "{\"version\":1,\"text\":" + jsonString(text) + "}"
  case .failure(let failure):
    return "{\"version\":1,\"failure\":" + jsonString(String(cString: tarnwick_fm_failure_name(failure))) + "}"
  }
}

// The answer in memory the caller frees with tarnwick_fm_free: the bytes, then a NUL.
private func allocate(_ document: String, length: UnsafeMutablePointer<Int>?) -> UnsafeMutablePointer<CChar>? {
  var utf8 = Array(document.utf8)
  utf8.append(0)
  guard let memory = malloc(utf8.count) else { return nil }
  utf8.withUnsafeBytes { memory.copyMemory(from: $0.baseAddress!, byteCount: $0.count) }
  length?.pointee = utf8.count - 1
  return memory.assumingMemoryBound(to: CChar.self)
}

// A JSON string literal of `text`.
private func jsonString(_ text: String) -> String {
  var out = ""
  appendJSONString(&out, text)
  return out
}
