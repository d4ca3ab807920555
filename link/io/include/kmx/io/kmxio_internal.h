/* Functions of libkmxio beyond the KMXIO API, for the suite's own link
 * server: output that never waits, with a descriptor that tells when the
 * port can take more, and a read that leaves the read event unsignalled
 * when it emptied the port. They take the same handles and report failures
 * the same way (result 0, or null or -1, with the reason in the thread's
 * last-error value). */
#ifndef KMX_IO_KMXIO_INTERNAL_H
#define KMX_IO_KMXIO_INTERNAL_H

#include "kmxio.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Writes as much of `data` as the port takes at once, without waiting, and
 * stores the count in *taken (on a simulator port whole DATA messages of at
 * most 4096 bytes). 1 on success, even when nothing was taken; 0 when the
 * port has failed (a dead line, a simulator that hung up). */
KMXIO_API int kmxio_write_now(void* handle, const void* data, uint32_t length, uint32_t* taken);

/* A descriptor that polls readable (POLLIN) while the port can take more
 * output, or has hung up. -1 on failure. It belongs to the handle. */
KMXIO_API int kmxio_write_event(void* handle);

/* Like KMXIOReadData, but after bytes the read event stays signalled only
 * while more may wait; a read that emptied the port resets it, so the
 * caller needs no empty read to clear it. */
KMXIO_API const uint8_t* kmxio_read_available(void* handle, uint32_t* length);

/* 1 while the read event is signalled by the driver itself rather than by
 * the port descriptor: after kmxio_read_available, more may wait (the read
 * stopped before it emptied the port, or the driver holds data). Costs no
 * system call. 0 otherwise, and for an unknown handle (EBADF). */
KMXIO_API int kmxio_read_pending(void* handle);

#ifdef __cplusplus
}
#endif

#endif
