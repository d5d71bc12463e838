"""Calls the typing test expects `mypy --strict` to refuse, one per line it names."""

import tarnwick_apple as ta

ta.generate("p", use_case="chat")
ta.generate("p", guardrails="strict")
ta.generate(42)
ta.generate("p", sampling="Greedy")
text: int = ta.generate("p")
ta.probe(executable=7)
