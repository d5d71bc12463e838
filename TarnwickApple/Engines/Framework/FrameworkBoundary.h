/* The C boundary between the framework engine (C++) and the shim that calls the platform's
 * on-device model framework. Plain C: the shim implements these four functions; the engine
 * calls them. The documents that cross are described in docs/framework-boundary.md. Swift
 * imports this header as the module TarnwickFrameworkBoundary (module.modulemap beside it). */
#ifndef TARNWICK_APPLE_FRAMEWORK_BOUNDARY_H
#define TARNWICK_APPLE_FRAMEWORK_BOUNDARY_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The "version" member of both documents. A side that receives another version treats the
 * document as broken. */
#define TARNWICK_FM_BOUNDARY_VERSION 1

/* Availability codes. Pinned: never renumbered. Any value not listed here means unavailable
 * for a reason the engine does not know. Swift reads them through module.modulemap. */
#define TARNWICK_FM_AVAILABLE 0
#define TARNWICK_FM_DEVICE_NOT_ELIGIBLE 1
#define TARNWICK_FM_APPLE_INTELLIGENCE_NOT_ENABLED 2
#define TARNWICK_FM_MODEL_NOT_READY 3
#define TARNWICK_FM_UNAVAILABLE_OTHER 4

/* The failure names of the answer document, the one list both sides read: each is the
 * enumerator tarnwick_fm_failure_<name> (Swift: .<name>) and the string "<name>". Only the
 * names cross, so the enumerators' numbers are not pinned. First the framework's
 * GenerationError cases, each named as the case it stands for: */
#define TARNWICK_FM_GENERATION_FAILURES(X) \
  X(exceededContextWindowSize)             \
  X(assetsUnavailable)                     \
  X(guardrailViolation)                    \
  X(unsupportedGuide)                      \
  X(unsupportedLanguageOrLocale)           \
  X(decodingFailure)                       \
  X(rateLimited)                           \
  X(concurrentRequests)                    \
  X(refusal)

/* then the boundary's own: "other" is any other case of GenerationError, and every broken
 * document; "schema" is GenerationSchema.SchemaError; "unknown" is a failure that is neither. */
#define TARNWICK_FM_FAILURES(X)      \
  TARNWICK_FM_GENERATION_FAILURES(X) \
  X(other)                           \
  X(schema)                          \
  X(unknown)

/* Closed for Swift, so that a switch over the failures names every one of them. */
#if defined(__has_attribute)
#if __has_attribute(enum_extensibility)
#define TARNWICK_FM_CLOSED_ENUM __attribute__((enum_extensibility(closed)))
#endif
#endif
#ifndef TARNWICK_FM_CLOSED_ENUM
#define TARNWICK_FM_CLOSED_ENUM
#endif

#define TARNWICK_FM_FAILURE_ENUMERATOR(name) tarnwick_fm_failure_##name,
typedef enum TARNWICK_FM_CLOSED_ENUM tarnwick_fm_failure : int32_t {
  TARNWICK_FM_FAILURES(TARNWICK_FM_FAILURE_ENUMERATOR)
} tarnwick_fm_failure;
#undef TARNWICK_FM_FAILURE_ENUMERATOR

#define TARNWICK_FM_FAILURE_ONE(name) +1
enum { TARNWICK_FM_FAILURE_COUNT = 0 TARNWICK_FM_FAILURES(TARNWICK_FM_FAILURE_ONE) };
#undef TARNWICK_FM_FAILURE_ONE

/* The name a failure is written as, NUL-terminated static text. */
static inline const char *tarnwick_fm_failure_name(tarnwick_fm_failure failure) {
#define TARNWICK_FM_FAILURE_NAME(name) \
  case tarnwick_fm_failure_##name:     \
    return #name;
  switch (failure) { TARNWICK_FM_FAILURES(TARNWICK_FM_FAILURE_NAME) }
#undef TARNWICK_FM_FAILURE_NAME
  return "other";
}

/* Finds the failure named by exactly the `length` bytes at `name` (case-sensitive): stores it
 * in `*failure` and returns 1, or returns 0 when no failure has that name. */
static inline int tarnwick_fm_failure_named(const char *name, size_t length, tarnwick_fm_failure *failure) {
  for (int32_t i = 0; i < TARNWICK_FM_FAILURE_COUNT; ++i) {
    const char *candidate = tarnwick_fm_failure_name((tarnwick_fm_failure)i);
    size_t at = 0;
    while (at < length && candidate[at] != '\0' && candidate[at] == name[at]) ++at;
    if (at == length && candidate[at] == '\0') {
      *failure = (tarnwick_fm_failure)i;
      return 1;
    }
  }
  return 0;
}

/* The default model's availability, read once. Never fails; blocks only as long as the
 * framework takes to answer. */
int32_t tarnwick_fm_availability(void);

/* One generation. `request` points to `request_length` bytes of UTF-8 JSON (the request
 * document; not NUL-terminated). Blocks the calling thread until the generation has ended.
 * Returns the answer document, UTF-8 JSON allocated by the callee, and stores its length in
 * `*answer_length`; the bytes are followed by a NUL that the length does not count. Returns
 * NULL only when no answer could be allocated. The caller releases the answer with
 * tarnwick_fm_free and nothing else. */
char *tarnwick_fm_respond(const char *request, size_t request_length, size_t *answer_length);

/* Receives one snapshot of a streamed answer: the whole answer so far (for structured output the
 * partial content's JSON text), `length` bytes of UTF-8, not NUL-terminated, valid only during
 * the call. Returns nonzero to go on, 0 to stop the generation. */
typedef int32_t (*tarnwick_fm_snapshot_fn)(void *context, const char *snapshot, size_t length);

/* One streamed generation: as tarnwick_fm_respond, and while it blocks it calls `snapshot` with
 * `context` for each snapshot, on the calling thread, one call at a time, never after it has
 * returned. Once `snapshot` returns 0 it is not called again, the generation is cancelled, and
 * the answer (still to be released) says nothing the caller needs to read. */
char *tarnwick_fm_stream(const char *request, size_t request_length, tarnwick_fm_snapshot_fn snapshot,
                         void *context, size_t *answer_length);

/* Releases an answer returned by tarnwick_fm_respond or tarnwick_fm_stream. NULL is allowed and
 * does nothing. */
void tarnwick_fm_free(char *answer);

#ifdef __cplusplus
}
#endif

#endif /* TARNWICK_APPLE_FRAMEWORK_BOUNDARY_H */
