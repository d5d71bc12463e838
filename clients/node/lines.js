// Reading what the sidecar writes: one line as a JSON object, and an answer's text as the JSON
// its schema asks for. Anything else is a ProtocolError.
import { ProtocolError } from './errors.js';

// One line's text as a JSON object.
export function parsedLine(text) {
  let line;
  try {
    line = JSON.parse(text);
  } catch (error) {
    throw new ProtocolError(`the sidecar's line is not JSON: ${error.message}`);
  }
  if (line === null || typeof line !== 'object' || Array.isArray(line)) throw new ProtocolError('the sidecar\'s line is not a JSON object');
  return line;
}

// A structured answer's text as its JSON value.
export function parsedAnswer(text) {
  try {
    return JSON.parse(text);
  } catch (error) {
    throw new ProtocolError(`the answer is not the JSON its schema asks for: ${error.message}`);
  }
}
