// A caller typed as a user of the client writes it; the types test runs `tsc --strict` on it.
import * as ta from '../index.js';

interface Person { name: string }

export async function calls(): Promise<void> {
  const text: string = await ta.generate('p', { useCase: 'content_tagging', maxTokens: 3, timeout: 2.5, retries: 2 });
  const person: Person = await ta.generate<Person>('p', { schema: { type: 'object' }, sampling: { mode: 'random', seed: 7n } });
  const probe: ta.Probe = await ta.probe({ executable: 'tarnwick_apple' });
  const reason: 'MODEL_NOT_READY' | 'DEVICE_NOT_ELIGIBLE' | 'APPLE_INTELLIGENCE_NOT_ENABLED' | 'UNKNOWN' | null = probe.reason;
  try {
    await ta.generate('p', { guardrails: 'permissive_content_transformations', sampling: 'greedy' });
  } catch (error) {
    if (error instanceof ta.SidecarNotFoundError) console.log(error.code, error.path);
    if (error instanceof ta.SchemaViolationError) console.log(error.path, error.note?.detail, error.attempts);
  }
  console.log(text, person.name, reason);
}
