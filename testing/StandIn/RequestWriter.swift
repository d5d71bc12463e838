// Writes what a stand-in session was asked as one boundary request document, the schema tree
// turned back into its canonical description (docs/framework-boundary.md).
#if !os(Linux)
#error("FoundationModelsStandIn is the Linux stand-in; on Apple platforms build against FoundationModels")
#endif

internal import TarnwickFrameworkBoundary

enum RequestWriter {
  static func document(model: SystemLanguageModel, instructions: String?,
                       turns: [(role: String, text: String)] = [], prompt: String,
                       options: GenerationOptions,
                       schema: (GenerationSchema, includeInPrompt: Bool)?) throws -> String {
    var out = "{\"version\":1,\"use_case\":"
    appendJSONString(&out, model.useCase.wireName)
    out += ",\"guardrails\":"
    appendJSONString(&out, model.guardrails.wireName)
    if let instructions {
      out += ",\"instructions\":"
      appendJSONString(&out, instructions)
    }
    if !turns.isEmpty {
      out += ",\"history\":["
      for (index, turn) in turns.enumerated() {
        out += index == 0 ? "{\"role\":" : ",{\"role\":"
        appendJSONString(&out, turn.role)
        out += ",\"text\":"
        appendJSONString(&out, turn.text)
        out += "}"
      }
      out += "]"
    }
    out += ",\"prompt\":"
    appendJSONString(&out, prompt)
    out += ",\"options\":"
    appendOptions(&out, options)
    if let (schema, includeInPrompt) = schema {
      out += ",\"schema\":{\"root\":"
      try appendNode(&out, schema.root)
      out += ",\"dependencies\":["
      for (index, dependency) in schema.dependencies.enumerated() {
        if index > 0 { out += "," }
        try appendNode(&out, dependency)
      }
      out += "]},\"include_schema_in_prompt\":"
      out += includeInPrompt ? "true" : "false"
    }
    out += "}"
    return out
  }

  private static func appendOptions(_ out: inout String, _ options: GenerationOptions) {
    var members: [String] = []
    if let sampling = options.sampling {
      switch sampling.mode {
      case .greedy:
        members.append("\"sampling\":{\"mode\":\"greedy\"}")
      case .top(let k, let seed):
        members.append("\"sampling\":{\"mode\":\"random_top\",\"top\":\(k)" + seedMember(seed) + "}")
      case .probabilityThreshold(let p, let seed):
        members.append("\"sampling\":{\"mode\":\"random_probability_threshold\",\"probability_threshold\":"
                       + number(p) + seedMember(seed) + "}")
      }
    }
    if let temperature = options.temperature { members.append("\"temperature\":" + number(temperature)) }
    if let tokens = options.maximumResponseTokens { members.append("\"maximum_response_tokens\":\(tokens)") }
    out += "{" + members.joined(separator: ",") + "}"
  }

  private static func seedMember(_ seed: UInt64?) -> String {
    seed.map { ",\"seed\":\($0)" } ?? ""
  }

  // Shortest round-trip form, always with a fraction or an exponent.
  static func number(_ value: Double) -> String {
    guard value.isFinite else { return "null" }
    let text = "\(value)"
    return text.contains(where: { $0 == "." || $0 == "e" }) ? text : text + ".0"
  }

  private static func appendBound(_ out: inout String, _ bound: GuideBound) {
    switch bound {
    case .integer(let value): out += "\(value)"
    case .number(let value): out += number(value)
    }
  }

  private static func appendNamed(_ out: inout String, _ name: String, _ description: String?) {
    out += "{\"name\":"
    appendJSONString(&out, name)
    out += ",\"description\":"
    if let description { appendJSONString(&out, description) } else { out += "null" }
  }

  private static func appendNode(_ out: inout String, _ schema: DynamicGenerationSchema) throws {
    switch schema.node {
    case .reference(let name):
      out += "{\"ref\":"
      appendJSONString(&out, name)
      out += "}"
    case .choices(let name, let description, let choices):
      appendNamed(&out, name, description)
      out += ",\"choices\":["
      for (index, choice) in choices.enumerated() {
        if index > 0 { out += "," }
        appendJSONString(&out, choice)
      }
      out += "]}"
    case .anyOf(let name, let description, let alternatives):
      appendNamed(&out, name, description)
      out += ",\"anyOf\":["
      for (index, alternative) in alternatives.enumerated() {
        if index > 0 { out += "," }
        try appendNode(&out, alternative)
      }
      out += "]}"
    case .object(let name, let description, let properties):
      appendNamed(&out, name, description)
      out += ",\"properties\":["
      for (index, property) in properties.enumerated() {
        if index > 0 { out += "," }
        out += "{\"name\":"
        appendJSONString(&out, property.name)
        out += ",\"description\":"
        if let description = property.description { appendJSONString(&out, description) } else { out += "null" }
        out += property.isOptional ? ",\"optional\":true,\"schema\":" : ",\"optional\":false,\"schema\":"
        try appendNode(&out, property.schema)
        out += "}"
      }
      out += "]}"
    case .array(let element, let minimum, let maximum):
      out += "{\"arrayOf\":"
      try appendNode(&out, element)
      out += ",\"minimumElements\":" + (minimum.map { "\($0)" } ?? "null")
      out += ",\"maximumElements\":" + (maximum.map { "\($0)" } ?? "null") + "}"
    case .scalar(let type, let guides):
      out += "{\"type\":\"" + type + "\",\"guides\":["
      for (index, guide) in guides.enumerated() {
        if index > 0 { out += "," }
        try appendGuide(&out, guide)
      }
      out += "]}"
    }
  }

  private static func appendGuide(_ out: inout String, _ guide: GuideForm) throws {
    switch guide {
    case .constant(let value):
      out += "{\"constant\":"
      appendJSONString(&out, value)
      out += "}"
    case .anyOf(let values):
      out += "{\"anyOf\":["
      for (index, value) in values.enumerated() {
        if index > 0 { out += "," }
        appendJSONString(&out, value)
      }
      out += "]}"
    case .pattern(let text):
      guard let text else {
        throw Backend.generationFailure(.unsupportedGuide, "the stand-in cannot write this regular expression back")
      }
      out += "{\"pattern\":"
      appendJSONString(&out, plainPunctuation(text))
      out += "}"
    case .minimum(let bound):
      out += "{\"minimum\":"
      appendBound(&out, bound)
      out += "}"
    case .maximum(let bound):
      out += "{\"maximum\":"
      appendBound(&out, bound)
      out += "}"
    case .range(let low, let high):
      out += "{\"range\":["
      appendBound(&out, low)
      out += ","
      appendBound(&out, high)
      out += "]}"
    }
  }

  // Swift prints a compiled pattern with every ASCII punctuation character escaped (`\-`, `\}`);
  // the request dialect escapes only its metacharacters, so the others lose their backslash.
  static func plainPunctuation(_ pattern: String) -> String {
    let metacharacters: Set<Character> = ["\\", ".", "*", "+", "?", "(", ")", "[", "]", "{", "}", "|", "^", "$"]
    var out = ""
    var escaped = false
    for character in pattern {
      if escaped {
        escaped = false
        if character.isASCII, character.isPunctuation || character.isSymbol, !metacharacters.contains(character) {
          out.append(character)
        } else {
          out.append("\\")
          out.append(character)
        }
      } else if character == "\\" {
        escaped = true
      } else {
        out.append(character)
      }
    }
    if escaped { out.append("\\") }
    return out
  }
}
