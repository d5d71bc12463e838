// The one JSON string writer of the Swift side, compiled into the shim (answer documents) and
// into the Linux stand-in (the request documents it hands its backend).

// Appends `text` as a JSON string: quotation mark, reverse solidus and control characters
// escaped, every other character as it is.
func appendJSONString(_ out: inout String, _ text: String) {
  out += "\""
  for scalar in text.unicodeScalars {
    switch scalar {
    case "\"": out += "\\\""
    case "\\": out += "\\\\"
    case "\n": out += "\\n"
    case "\r": out += "\\r"
    case "\t": out += "\\t"
    default:
      if scalar.value < 0x20 {
        let hex = String(scalar.value, radix: 16)
        out += "\\u" + String(repeating: "0", count: 4 - hex.count) + hex
      } else {
        out.unicodeScalars.append(scalar)
      }
    }
  }
  out += "\""
}
