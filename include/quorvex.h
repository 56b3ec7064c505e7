/* Quorvex search engine, exported for host processes (libquorvex.so).
 *
 * A host calls Init(k) once (again to start over), then ComputeOneIteration
 * as often as it likes with the same k. Neither function seeds the random
 * generator: a host that wants draws of its own calls SeedRandom first, or
 * every process draws the same bases. The functions work on files in the
 * current directory: DATABASE.TXT, DATA<k>.TXT and DATA<k>.BIN are read by
 * Init, DATA<k>.TXT is appended to whenever the best-size table improves.
 *
 * The library keeps one search per process, in global state: it is not
 * reentrant. Call all four functions from one thread (the generator belongs
 * to the thread that seeds it). */
#ifndef QUORVEX_H
#define QUORVEX_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define QUORVEX_EXPORT __attribute__((visibility("default")))

/* Prepares the store for power k. Returns 0 when the store is ready. */
QUORVEX_EXPORT int32_t Init(int32_t power);

/* Seeds the random generator of the calling thread (its state before any
 * seeding is 1). */
QUORVEX_EXPORT void SeedRandom(uint32_t seed);

/* Chooses the lattice reduction of the iterations that follow, in this and
 * every other thread, as quorvex --reducer does: "BKZ_XD" (NTL's, the
 * default), "BKZ_FP" (NTL's in doubles), "BKZ_FP_PRUNED" (the same with NTL's
 * pruned enumeration) or "FPLLL_BKZ2" (fplll's BKZ 2.0), in any letter case.
 * A lattice one of the last three fails on (an error, lost precision, or far
 * more steps than its size calls for) is reduced again with BKZ_XD. Returns
 * 0, or -1 for a name it does not know, which changes nothing. */
QUORVEX_EXPORT int32_t SetReducer(const char* name);

/* Runs one search iteration. workTerms 0 means the larger of maxBase and
 * blockSize, capped at 200. Returns 1, or 0 when an argument is outside what
 * the engine can hold (the reason is printed). */
QUORVEX_EXPORT int32_t ComputeOneIteration(int32_t power, int32_t maxBase, int32_t blockSize,
                                           int32_t workTerms);

#ifdef __cplusplus
}
#endif

#endif
