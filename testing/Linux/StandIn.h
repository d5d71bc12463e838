/* How C++ hands the Linux stand-in framework its backend: three callbacks, registered before
 * main runs. The respond callback answers one boundary request document with an answer
 * document in malloc'd memory (NUL after the counted bytes), released by the release callback. */
#ifndef TARNWICK_APPLE_STAND_IN_H
#define TARNWICK_APPLE_STAND_IN_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t (*tarnwick_standin_availability_fn)(void);
typedef char *(*tarnwick_standin_respond_fn)(const char *request, size_t request_length, size_t *answer_length);
typedef void (*tarnwick_standin_free_fn)(char *answer);

/* Implemented in Swift by the stand-in. A null callback unregisters the backend. */
void tarnwick_standin_register(tarnwick_standin_availability_fn availability,
                               tarnwick_standin_respond_fn respond, tarnwick_standin_free_fn release);

/* The streaming backend: answers like the respond callback, handing each snapshot of the answer
 * to `snapshot` with `context` while it blocks, and stopping once that returns 0. Implemented in
 * Swift by the stand-in; a null callback unregisters it (streams then give the whole answer). */
typedef int32_t (*tarnwick_standin_snapshot_fn)(void *context, const char *snapshot, size_t length);
typedef char *(*tarnwick_standin_stream_fn)(const char *request, size_t request_length,
                                            tarnwick_standin_snapshot_fn snapshot, void *context,
                                            size_t *answer_length);
void tarnwick_standin_register_stream(tarnwick_standin_stream_fn stream);

#ifdef __cplusplus
}
#endif

#endif /* TARNWICK_APPLE_STAND_IN_H */
