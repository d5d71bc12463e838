// Rebuilds the framework's generation schema from its canonical description, node for node,
// with the framework's own initialisers; nothing is translated again.
#if canImport(FoundationModels)
import FoundationModels
#else
import FoundationModelsStandIn
#endif

enum SchemaBuilder {
  // Throws the framework's SchemaError when the tree does not assemble.
  static func schema(_ description: SchemaDescription) throws -> GenerationSchema {
    try GenerationSchema(root: node(description.root), dependencies: description.dependencies.map(node))
  }

  static func node(_ node: Node) -> DynamicGenerationSchema {
    switch node {
    case .reference(let name):
      return DynamicGenerationSchema(referenceTo: name)
    case .choices(let name, let description, let choices):
      return DynamicGenerationSchema(name: name, description: description, anyOf: choices)
    case .anyOf(let name, let description, let alternatives):
      return DynamicGenerationSchema(name: name, description: description, anyOf: alternatives.map(self.node))
    case .object(let name, let description, let properties):
      return DynamicGenerationSchema(name: name, description: description, properties: properties.map {
        DynamicGenerationSchema.Property(name: $0.name, description: $0.description,
                                         schema: self.node($0.schema), isOptional: $0.optional)
      })
    case .array(let element, let minimum, let maximum):
      return DynamicGenerationSchema(arrayOf: self.node(element), minimumElements: minimum, maximumElements: maximum)
    case .scalar(let type, let guides):
      return scalar(type, guides)
    }
  }

  private static func scalar(_ type: String, _ guides: [Guide]) -> DynamicGenerationSchema {
    switch type {
    case "integer": return DynamicGenerationSchema(type: Int.self, guides: guides.flatMap(integerGuides))
    case "number": return DynamicGenerationSchema(type: Double.self, guides: guides.flatMap(numberGuides))
    case "boolean": return DynamicGenerationSchema(type: Bool.self)
    default: return DynamicGenerationSchema(type: String.self, guides: guides.compactMap(stringGuide))
    }
  }

  // A pattern Swift's Regex refuses is dropped, as the translator drops one ICU refuses.
  private static func stringGuide(_ guide: Guide) -> GenerationGuide<String>? {
    switch guide {
    case .constant(let value): return .constant(value)
    case .pattern(let text): return (try? Regex(text)).map { .pattern($0) }
    case .minimum, .maximum, .range: return nil
    }
  }

  // Integer guides hold integers: a minimum with a fraction rounds up, a maximum down, which
  // keeps exactly the integers the bound allows. A range that holds no integer after rounding
  // (or would not form a ClosedRange) becomes its two ends, which still allow nothing.
  private static func integerGuides(_ guide: Guide) -> [GenerationGuide<Int>] {
    switch guide {
    case .constant, .pattern: return []
    case .minimum(let bound): return lowest(bound)
    case .maximum(let bound): return highest(bound)
    case .range(let low, let high):
      if let lower = integerAtOrAbove(low), let upper = integerAtOrBelow(high), lower <= upper {
        return [.range(lower...upper)]
      }
      return lowest(low) + highest(high)
    }
  }

  // A bound beyond every Int allows no Int at all: said as a minimum above a maximum.
  private static var nothing: [GenerationGuide<Int>] { [.minimum(Int.max), .maximum(Int.min)] }

  private static func lowest(_ bound: Bound) -> [GenerationGuide<Int>] {
    integerAtOrAbove(bound).map { [.minimum($0)] } ?? nothing
  }

  private static func highest(_ bound: Bound) -> [GenerationGuide<Int>] {
    integerAtOrBelow(bound).map { [.maximum($0)] } ?? nothing
  }

  // The smallest Int at or above the bound; nothing when it lies above every Int.
  private static func integerAtOrAbove(_ bound: Bound) -> Int? {
    switch bound {
    case .integer(let value): return value
    case .number(let value):
      let rounded = value.rounded(.up)
      if rounded.isNaN || rounded >= 0x1p63 { return nil }
      return rounded < -0x1p63 ? Int.min : Int(rounded)
    }
  }

  // The largest Int at or below the bound; nothing when it lies below every Int.
  private static func integerAtOrBelow(_ bound: Bound) -> Int? {
    switch bound {
    case .integer(let value): return value
    case .number(let value):
      let rounded = value.rounded(.down)
      if rounded.isNaN || rounded < -0x1p63 { return nil }
      return rounded >= 0x1p63 ? Int.max : Int(rounded)
    }
  }

  private static func numberGuides(_ guide: Guide) -> [GenerationGuide<Double>] {
    switch guide {
    case .constant, .pattern: return []
    case .minimum(let bound): return [.minimum(double(bound))]
    case .maximum(let bound): return [.maximum(double(bound))]
    case .range(let low, let high):
      let (lower, upper) = (double(low), double(high))
      // ClosedRange traps on inverted bounds; the two ends say the same.
      if lower <= upper { return [.range(lower...upper)] }
      return [.minimum(lower), .maximum(upper)]
    }
  }

  private static func double(_ bound: Bound) -> Double {
    switch bound {
    case .integer(let value): return Double(value)
    case .number(let value): return value
    }
  }
}
