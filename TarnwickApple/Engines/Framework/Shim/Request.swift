// The request document as the shim reads it (docs/framework-boundary.md): session settings,
// prompt, options and, for structured output, the schema's canonical description.
#if canImport(FoundationEssentials)
internal import FoundationEssentials
#else
internal import Foundation
#endif

struct BoundaryRequest: Decodable, Sendable {
  let version: Int
  let useCase: String
  let guardrails: String
  let instructions: String?
  let history: [Turn]?
  let prompt: String
  let options: Options
  let schema: SchemaDescription?
  let includeSchemaInPrompt: Bool?

  enum CodingKeys: String, CodingKey {
    case version, guardrails, instructions, history, prompt, options, schema
    case useCase = "use_case"
    case includeSchemaInPrompt = "include_schema_in_prompt"
  }

  struct Turn: Decodable, Sendable {
    let role: String
    let text: String
  }

  struct Options: Decodable, Sendable {
    let sampling: Sampling?
    let temperature: Double?
    let maximumResponseTokens: Int?

    enum CodingKeys: String, CodingKey {
      case sampling, temperature
      case maximumResponseTokens = "maximum_response_tokens"
    }
  }

  struct Sampling: Decodable, Sendable {
    let mode: String
    let top: Int?
    let probabilityThreshold: Double?
    let seed: UInt64?  // JSONDecoder reads all 64 bits exactly

    enum CodingKeys: String, CodingKey {
      case mode, top, seed
      case probabilityThreshold = "probability_threshold"
    }
  }
}

struct SchemaDescription: Decodable, Sendable {
  let root: Node
  let dependencies: [Node]
}

// One node of the description, in the forms the boundary document lists.
indirect enum Node: Decodable, Sendable {
  case reference(String)
  case choices(name: String, description: String?, choices: [String])
  case anyOf(name: String, description: String?, alternatives: [Node])
  case object(name: String, description: String?, properties: [Property])
  case array(element: Node, minimum: Int?, maximum: Int?)
  case scalar(type: String, guides: [Guide])

  struct Property: Decodable, Sendable {
    let name: String
    let description: String?
    let optional: Bool
    let schema: Node
  }

  enum CodingKeys: String, CodingKey {
    case ref, name, description, choices, anyOf, properties, arrayOf, minimumElements, maximumElements, type, guides
  }

  init(from decoder: any Decoder) throws {
    let c = try decoder.container(keyedBy: CodingKeys.self)
    if let name = try c.decodeIfPresent(String.self, forKey: .ref) {
      self = .reference(name)
    } else if c.contains(.arrayOf) {
      self = .array(element: try c.decode(Node.self, forKey: .arrayOf),
                    minimum: try c.decodeIfPresent(Int.self, forKey: .minimumElements),
                    maximum: try c.decodeIfPresent(Int.self, forKey: .maximumElements))
    } else if let type = try c.decodeIfPresent(String.self, forKey: .type) {
      self = .scalar(type: type, guides: try c.decode([Guide].self, forKey: .guides))
    } else {
      let name = try c.decode(String.self, forKey: .name)
      let description = try c.decodeIfPresent(String.self, forKey: .description)
      if let choices = try c.decodeIfPresent([String].self, forKey: .choices) {
        self = .choices(name: name, description: description, choices: choices)
      } else if let alternatives = try c.decodeIfPresent([Node].self, forKey: .anyOf) {
        self = .anyOf(name: name, description: description, alternatives: alternatives)
      } else {
        self = .object(name: name, description: description,
                       properties: try c.decode([Property].self, forKey: .properties))
      }
    }
  }
}

// A bound as written: an integer, or a number with a fraction.
enum Bound: Decodable, Sendable {
  case integer(Int)
  case number(Double)

  init(from decoder: any Decoder) throws {
    let c = try decoder.singleValueContainer()
    if let value = try? c.decode(Int.self) {
      self = .integer(value)
    } else {
      self = .number(try c.decode(Double.self))
    }
  }
}

enum Guide: Decodable, Sendable {
  case constant(String)
  case pattern(String)
  case minimum(Bound)
  case maximum(Bound)
  case range(Bound, Bound)

  enum CodingKeys: String, CodingKey { case constant, pattern, minimum, maximum, range }

  init(from decoder: any Decoder) throws {
    let c = try decoder.container(keyedBy: CodingKeys.self)
    if let value = try c.decodeIfPresent(String.self, forKey: .constant) {
      self = .constant(value)
    } else if let text = try c.decodeIfPresent(String.self, forKey: .pattern) {
      self = .pattern(text)
    } else if let bound = try c.decodeIfPresent(Bound.self, forKey: .minimum) {
      self = .minimum(bound)
    } else if let bound = try c.decodeIfPresent(Bound.self, forKey: .maximum) {
      self = .maximum(bound)
    } else {
      let bounds = try c.decode([Bound].self, forKey: .range)
      guard bounds.count == 2 else {
        throw DecodingError.dataCorruptedError(forKey: .range, in: c, debugDescription: "a range has two bounds")
      }
      self = .range(bounds[0], bounds[1])
    }
  }
}

extension BoundaryRequest {
  // The document, or nothing when it is not one this shim reads.
  static func read(_ bytes: UnsafeRawBufferPointer) -> BoundaryRequest? {
    guard let request = try? JSONDecoder().decode(BoundaryRequest.self, from: Data(bytes)),
          request.version == 1,
          ["general", "content_tagging"].contains(request.useCase),
          ["default", "permissive_content_transformations"].contains(request.guardrails),
          request.options.sampling?.isWellFormed ?? true,
          (request.history ?? []).allSatisfy({ ["user", "assistant"].contains($0.role) }),
          (request.schema == nil) == (request.includeSchemaInPrompt == nil) else { return nil }
    return request
  }
}

extension BoundaryRequest.Sampling {
  var isWellFormed: Bool {
    switch mode {
    case "greedy": return true
    case "random_top": return top != nil
    case "random_probability_threshold": return probabilityThreshold != nil
    default: return false
    }
  }
}
