// The stand-in's dynamic schemas, guides and assembled schema (FM/dynamicgenerationschema,
// FM/generationguide, FM/generationschema): each keeps what it was built from, so the stand-in
// can describe the tree it was given.
#if !os(Linux)
#error("FoundationModelsStandIn is the Linux stand-in; on Apple platforms build against FoundationModels")
#endif


// FM/generable: the stand-in needs only the four scalar conformances the shim uses.
public protocol Generable {}
extension String: Generable {}
extension Int: Generable {}
extension Double: Generable {}
extension Bool: Generable {}

// A guide's bound as the description writes it.
enum GuideBound: Sendable {
  case integer(Int)
  case number(Double)
}

enum GuideForm: Sendable {
  case constant(String)
  case anyOf([String])
  case pattern(String?)  // nothing: a regular expression the stand-in cannot write back
  case minimum(GuideBound)
  case maximum(GuideBound)
  case range(GuideBound, GuideBound)
}

// FM/generationguide
public struct GenerationGuide<Value> {
  let form: GuideForm
}

extension GenerationGuide where Value == String {
  public static func constant(_ value: String) -> GenerationGuide<String> { .init(form: .constant(value)) }
  public static func anyOf(_ values: [String]) -> GenerationGuide<String> { .init(form: .anyOf(values)) }
  public static func pattern<Output>(_ regex: Regex<Output>) -> GenerationGuide<String> {
    .init(form: .pattern(regex._literalPattern))
  }
}

extension GenerationGuide where Value == Int {
  public static func minimum(_ value: Int) -> GenerationGuide<Int> { .init(form: .minimum(.integer(value))) }
  public static func maximum(_ value: Int) -> GenerationGuide<Int> { .init(form: .maximum(.integer(value))) }
  public static func range(_ range: ClosedRange<Int>) -> GenerationGuide<Int> {
    .init(form: .range(.integer(range.lowerBound), .integer(range.upperBound)))
  }
}

extension GenerationGuide where Value == Double {
  public static func minimum(_ value: Double) -> GenerationGuide<Double> { .init(form: .minimum(.number(value))) }
  public static func maximum(_ value: Double) -> GenerationGuide<Double> { .init(form: .maximum(.number(value))) }
  public static func range(_ range: ClosedRange<Double>) -> GenerationGuide<Double> {
    .init(form: .range(.number(range.lowerBound), .number(range.upperBound)))
  }
}

// FM/dynamicgenerationschema
public struct DynamicGenerationSchema: Sendable {
  indirect enum Node: Sendable {
    case reference(String)
    case choices(name: String, description: String?, choices: [String])
    case anyOf(name: String, description: String?, alternatives: [DynamicGenerationSchema])
    case object(name: String, description: String?, properties: [Property])
    case array(element: DynamicGenerationSchema, minimum: Int?, maximum: Int?)
    case scalar(type: String, guides: [GuideForm])
  }
  let node: Node

  // FM/dynamicgenerationschema/property
  public struct Property: Sendable {
    let name: String
    let description: String?
    let schema: DynamicGenerationSchema
    let isOptional: Bool

    public init(name: String, description: String? = nil, schema: DynamicGenerationSchema, isOptional: Bool = false) {
      self.name = name
      self.description = description
      self.schema = schema
      self.isOptional = isOptional
    }
  }

  public init(name: String, description: String? = nil, properties: [DynamicGenerationSchema.Property]) {
    node = .object(name: name, description: description, properties: properties)
  }

  public init(name: String, description: String? = nil, anyOf choices: [DynamicGenerationSchema]) {
    node = .anyOf(name: name, description: description, alternatives: choices)
  }

  public init(name: String, description: String? = nil, anyOf choices: [String]) {
    node = .choices(name: name, description: description, choices: choices)
  }

  public init(arrayOf itemSchema: DynamicGenerationSchema, minimumElements: Int? = nil, maximumElements: Int? = nil) {
    node = .array(element: itemSchema, minimum: minimumElements, maximum: maximumElements)
  }

  public init(referenceTo name: String) {
    node = .reference(name)
  }

  public init<Value>(type: Value.Type, guides: [GenerationGuide<Value>] = []) where Value: Generable {
    let name: String
    switch type {
    case is String.Type: name = "string"
    case is Int.Type: name = "integer"
    case is Double.Type: name = "number"
    case is Bool.Type: name = "boolean"
    default: name = "unsupported"  // not a description type: the backend answers "other"
    }
    node = .scalar(type: name, guides: guides.map(\.form))
  }
}

// FM/generationschema
public struct GenerationSchema: Sendable {
  let root: DynamicGenerationSchema
  let dependencies: [DynamicGenerationSchema]

  // FM/generationschema/init(root:dependencies:): throws SchemaError here, before any
  // generation, "if there are schemas with naming conflicts or references to undefined types".
  public init(root: DynamicGenerationSchema, dependencies: [DynamicGenerationSchema]) throws {
    var assembly = Assembly()
    for node in [root] + dependencies { try assembly.walk(node) }
    try assembly.resolveReferences()
    self.root = root
    self.dependencies = dependencies
  }

  // One walk over the trees: named forms by name, references collected, what one node shows
  // refused at once. Names compare as Swift strings do, by canonical equivalence.
  private struct Assembly {
    var named: Set<String> = []
    var references: [String] = []

    mutating func walk(_ schema: DynamicGenerationSchema) throws {
      switch schema.node {
      case .reference(let name):
        references.append(name)
      case .choices(let name, _, let choices):
        try record(name)
        if choices.isEmpty { throw SchemaError.emptyTypeChoices(schema: name, context: .init(debugDescription: "no choices")) }
      case .anyOf(let name, _, let alternatives):
        try record(name)
        if alternatives.isEmpty {
          throw SchemaError.emptyTypeChoices(schema: name, context: .init(debugDescription: "no alternatives"))
        }
        for alternative in alternatives { try walk(alternative) }
      case .object(let name, _, let properties):
        try record(name)
        var seen: Set<String> = []
        for property in properties {
          guard seen.insert(property.name).inserted else {
            throw SchemaError.duplicateProperty(schema: name, property: property.name,
                                                context: .init(debugDescription: "a property named twice"))
          }
          try walk(property.schema)
        }
      case .array(let element, _, _):
        try walk(element)
      case .scalar:
        break
      }
    }

    private mutating func record(_ name: String) throws {
      guard named.insert(name).inserted else {
        throw SchemaError.duplicateType(schema: nil, type: name, context: .init(debugDescription: "a type named twice"))
      }
    }

    // Every reference names a named form somewhere in the schema; all that do not are listed.
    func resolveReferences() throws {
      let undefined = references.filter { !named.contains($0) }
      if !undefined.isEmpty {
        throw SchemaError.undefinedReferences(schema: nil, references: undefined,
                                              context: .init(debugDescription: "references to undefined types"))
      }
    }
  }

  // FM/generationschema/schemaerror
  public enum SchemaError: Error {  // LocalizedError in the SDK; the shim reads no message
    case duplicateType(schema: String?, type: String, context: Context)
    case duplicateProperty(schema: String, property: String, context: Context)
    case emptyTypeChoices(schema: String, context: Context)
    case undefinedReferences(schema: String?, references: [String], context: Context)

    public struct Context: Sendable {
      public let debugDescription: String
      public init(debugDescription: String) { self.debugDescription = debugDescription }
    }
  }
}
