// Calls the types test expects `tsc --strict` to refuse, one per line it names.
import * as ta from '../index.js';

export async function misuse(): Promise<void> {
  await ta.generate('p', { useCase: 'chat' });
  await ta.generate('p', { guardrails: 'strict' });
  await ta.generate(42);
  await ta.generate('p', { sampling: 'Greedy' });
  const text: number = await ta.generate('p');
  await ta.probe({ executable: 7 });
  await ta.generate('p', { sampling: { mode: 'random', sead: 7 } });
}
