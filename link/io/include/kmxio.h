/* kmxio: the serial port driver of the UT link.
 *
 * A port is opened by device name (see KMXIOOpenDriver) and used without
 * blocking: KMXIOReadData returns what has arrived, and the read event tells
 * the caller when to call it again. Results are 1 for success and 0 for
 * failure unless said otherwise; a failing call leaves the reason (an errno
 * value) in the thread's last-error value (GetLastError of libkmxplatform).
 * A handle is used by one thread at a time; the read event may be waited on by
 * another thread. A handle that is null, closed or not from KMXIOOpenDriver is
 * refused with the failure result. */
#ifndef KMXIO_H
#define KMXIO_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define KMXIO_API __attribute__((visibility("default")))
#else
#define KMXIO_API
#endif

/* Baud-rate mask bits, as reported by KMXIOGetAvailableBaudRates. */
#define KMXIO_BAUD_9600 0x01u
#define KMXIO_BAUD_19200 0x02u
#define KMXIO_BAUD_38400 0x04u
#define KMXIO_BAUD_57600 0x08u
#define KMXIO_BAUD_115200 0x10u

/* Opens the port `portName` with a read buffer of `bufferSize` bytes (0 is
 * allowed: such a port reads nothing). The name D is looked up as the entry D
 * of the port directory ($KMX_PORT_DIR, a link to a tty or a UT simulator
 * socket), then as /dev/D, then, for COMn, as /dev/ttyS<n-1>; a name with a
 * '/' is used as a path. The port starts at 9600 bit/s, 8 data bits, no
 * parity, one stop bit, DTR and RTS on, and its read event signalled. Returns
 * null on any failure. */
KMXIO_API void* KMXIOOpenDriver(const char* portName, uint32_t bufferSize);

/* Closes the port and frees the handle. Always 1 (also for null). */
KMXIO_API int KMXIOCloseDriver(void* handle);

/* Writes `length` bytes; 1 only if all of them were written. */
KMXIO_API int KMXIOWriteData(void* handle, const void* data, uint32_t length);

/* Returns the driver's read buffer holding the bytes that arrived (count in
 * *length), or null with *length 0 when nothing had arrived. The buffer stays
 * valid until the next call on the same handle. */
KMXIO_API const uint8_t* KMXIOReadData(void* handle, uint32_t* length);

/* A descriptor that polls readable (POLLIN) while the read event is
 * signalled: after the open, after every read that returned bytes, and while
 * bytes wait to be read. A read that finds nothing resets it. -1 on failure.
 * The descriptor belongs to the handle; do not close it. */
KMXIO_API int KMXIOGetReadEventHandle(void* handle);

/* Sets 9600, 19200, 38400, 57600 or 115200 bit/s. 0, with the rate kept, for
 * any other value or when the port refuses. */
KMXIO_API int KMXIOSetBaudRate(void* handle, uint32_t rate);

/* The rate last set successfully (0 on a bad handle). */
KMXIO_API uint32_t KMXIOGetBaudRate(void* handle);

/* The port's mask of settable rates (KMXIO_BAUD_* bits; 0 on a bad handle). */
KMXIO_API uint32_t KMXIOGetAvailableBaudRates(void* handle);

/* 1 if `rate` is one of the five rates above, else 0. The port itself is not
 * consulted, so the handle may be null. */
KMXIO_API int KMXIOCheckBaudRate(void* handle, uint32_t rate);

/* 1 if CTS is on. A line without modem status lines reads as on; a modem
 * status that cannot be read, or a simulator that hung up, reads as off. */
KMXIO_API int KMXIOCheckCTS(void* handle);

/* RTS on for state 1, off for any other value. */
KMXIO_API int KMXIOSetRTSstate(void* handle, uint32_t state);

/* DTR on for state 1, off for any other value. */
KMXIO_API int KMXIOSetDTRstate(void* handle, uint32_t state);

#ifdef __cplusplus
}
#endif

#endif /* KMXIO_H */
