/* kmxipc: message queues between processes on one machine.
 *
 * An IPC object is a named block of shared memory holding a fixed number of
 * mailbox slots and a fixed pool of fixed-size message buffers, guarded by one
 * named mutex. A mailbox is a named FIFO queue of whole messages inside an IPC
 * object, with a named event (a pollable file descriptor) that is signalled
 * exactly while the queue holds messages.
 *
 * Every function reports failure by its result (0 or NULL) and by the calling
 * thread's last-error value (GetLastError(), from libkmxplatform): the library
 * code below in the upper 16 bits, ORed with the low 16 bits of the last-error
 * value that was current before, so a failing system call's code survives in
 * the low half. Success leaves the last-error value alone.
 */
#ifndef KMXIPC_H
#define KMXIPC_H

#include <stdint.h>

#if defined(__GNUC__)
#define KMXIPC_API __attribute__((visibility("default")))
#else
#define KMXIPC_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

#ifndef KMX_BUFFER_DEFINED
#define KMX_BUFFER_DEFINED
/* A (pointer, length) pair: one piece of a gathered send or scattered receive. */
typedef struct KMXBuffer {
  void* data;
  uint32_t length;
} KMXBuffer;
#endif

/* Longest IPC object or mailbox name, in characters. */
#define IPC_MAX_NAME_LENGTH 32u

/* Mailbox modes. Mode 0 is accepted at creation and allows neither. */
#define IPC_MODE_NONE 0u
#define IPC_MODE_SEND 1u
#define IPC_MODE_RECEIVE 2u
#define IPC_MODE_SEND_RECEIVE 3u

/* Time-out value that waits without limit. */
#define IPC_INFINITE (-1)

/* Error codes (upper 16 bits of the last-error value). */
#define IPC_ERR_MAPPING_CREATE 0xE0010000u    /* mapping not created, or the name exists */
#define IPC_ERR_MAP 0xE0020000u               /* block not mapped */
#define IPC_ERR_UNMAP 0xE0030000u             /* block not unmapped */
#define IPC_ERR_MUTEX_CREATE 0xE0040000u      /* mutex not created */
#define IPC_ERR_MUTEX_OPEN 0xE0050000u        /* mutex not opened */
#define IPC_ERR_MUTEX_RELEASE 0xE0060000u     /* mutex not released */
#define IPC_ERR_EVENT_CREATE 0xE0070000u      /* mailbox event not created */
#define IPC_ERR_EVENT_OPEN 0xE0080000u        /* mailbox event not opened */
#define IPC_ERR_EVENT_SET 0xE0090000u         /* mailbox event not set */
#define IPC_ERR_EVENT_RESET 0xE00A0000u       /* mailbox event not reset */
#define IPC_ERR_WAIT_ONE 0xE00B0000u          /* waiting for one mailbox (or the mutex) failed */
#define IPC_ERR_WAIT_MANY 0xE00C0000u         /* waiting for several mailboxes failed */
#define IPC_ERR_MAPPING_OPEN 0xE00D0000u      /* mapping not opened */
#define IPC_ERR_CLOSE_HANDLE 0xE00E0000u      /* a handle could not be closed */
#define IPC_ERR_INVALID_ARGUMENT 0xE0100000u  /* bad name, size, count, mode or time-out */
#define IPC_ERR_NOT_MAILBOX 0xE0110000u       /* not a mailbox handle (of this IPC object) */
#define IPC_ERR_NOT_IPC 0xE0120000u           /* not an IPC handle */
#define IPC_ERR_NO_DESCRIPTOR 0xE0130000u     /* no free message buffer */
#define IPC_ERR_NO_SLOT 0xE0140000u           /* no free mailbox slot */
#define IPC_ERR_NO_MEMORY 0xE0150000u         /* out of local memory */
#define IPC_ERR_MAILBOX_NOT_FOUND 0xE0160000u /* no mailbox of that name */
#define IPC_ERR_MAILBOX_FULL 0xE0170000u      /* queued messages equal the capacity */
#define IPC_ERR_MODE 0xE0180000u              /* the mailbox's mode forbids the operation */
#define IPC_ERR_BUFFER_TOO_SMALL 0xE0190000u  /* receive buffer smaller than the message */
#define IPC_ERR_SUSPENDED 0xE01A0000u         /* mailbox suspended */
#define IPC_ERR_TIMEOUT 0xE0200000u           /* nothing arrived within the time-out */
#define IPC_ERR_LOCK_TIMEOUT 0xE0210000u      /* mutex not obtained within the lock time-out */
#define IPC_ERR_EMPTY 0xE0300000u             /* signalled, but the queue was empty */
#define IPC_ERR_CORRUPT 0xE0400000u /* the shared block holds an impossible link or count */

/* Mask that selects the library code from a last-error value. */
#define IPC_ERR_CODE_MASK 0xFFFF0000u

/* What get_security_attributes points to. Named objects live in a runtime
 * directory of mode 0700 and are created with mode 0600, whether or not the
 * attributes are ready: only the user who started the link can reach them. */
typedef struct KMXSecurityAttributes {
  uint32_t length;        /* sizeof(KMXSecurityAttributes) */
  uint32_t objectMode;    /* 0600 */
  uint32_t directoryMode; /* 0700 */
  int inheritHandle;      /* 0: never inherited */
} KMXSecurityAttributes;

/* IPC objects. lockTimeout: milliseconds to wait for the object's mutex in
 * every later call, -1 for no limit. */
KMXIPC_API void* IPC_create(const char* name, uint32_t mailboxCount, uint32_t messageCount,
                            uint32_t maxMessageSize, int32_t lockTimeout);
KMXIPC_API void* IPC_open(const char* name, int32_t lockTimeout);
/* Also closes any mailbox handles of this IPC handle that are still open; once
 * the mutex could not be had for one of them, the rest are let go without
 * waiting for it again (their slots stay referenced). */
KMXIPC_API int IPC_close(void* ipc);

/* Mailboxes. mode: IPC_MODE_*. */
KMXIPC_API void* IPC_create_mailbox(const char* name, uint32_t mode, uint32_t capacity, void* ipc);
KMXIPC_API void* IPC_open_mailbox(const char* name, uint32_t mode, void* ipc);
KMXIPC_API int IPC_close_mailbox(void* mbox, void* ipc);

/* Queues one copy of the message in each of the n mailboxes, in order; stops
 * at the first mailbox that cannot take it (the ones before keep their copy). */
KMXIPC_API int IPC_send(const void* data, uint32_t length, uint32_t n, void* const* mboxes,
                        void* ipc);
KMXIPC_API int IPC_sendv(const KMXBuffer* pairs, uint32_t pairCount, uint32_t n,
                         void* const* mboxes, void* ipc);

/* Waits up to timeout ms (-1: no limit) until one of the n mailboxes holds a
 * message, then takes (receive, receivev) or copies (peek) its oldest one.
 * Peek cuts the message to bufSize and reports the number of bytes copied. */
KMXIPC_API int IPC_receive(void* buf, uint32_t bufSize, uint32_t* outLength, int32_t timeout,
                           uint32_t n, void* const* mboxes, void* ipc);
KMXIPC_API int IPC_receive_peek(void* buf, uint32_t bufSize, uint32_t* outLength, int32_t timeout,
                                uint32_t n, void* const* mboxes, uint32_t* outIndex, void* ipc);
KMXIPC_API int IPC_receivev(KMXBuffer* pairs, uint32_t pairCount, int32_t timeout, uint32_t n,
                            void* const* mboxes, void* ipc);

/* Waits like a receive, then reports each mailbox's queued and open counts
 * (either array may be NULL); lockFlag nonzero reads them under the mutex. */
KMXIPC_API int IPC_select(uint32_t n, void* const* mboxes, uint32_t* queued, uint32_t* openCounts,
                          int lockFlag, int32_t timeout, void* ipc);

/* The mailboxes' events as pollable descriptors (readable while non-empty).
 * They belong to the mailbox handles: do not close them. */
KMXIPC_API int IPC_get_mailbox_handles(uint32_t n, void* const* mboxes, int* outEvents);

KMXIPC_API int IPC_suspend_mailbox(uint32_t n, void* const* mboxes, uint32_t flag, void* ipc);
KMXIPC_API int IPC_mailbox_state(uint32_t n, void* const* mboxes, uint32_t* capacities,
                                 uint32_t* queued, uint32_t* openCounts, uint32_t* suspended,
                                 void* ipc);

/* Process-wide security attributes, reference counted: every init counts one
 * reference, every free drops one; the last free releases them. */
KMXIPC_API int init_security_attributes(void);
KMXIPC_API void* get_security_attributes(void); /* a KMXSecurityAttributes*, or NULL */
KMXIPC_API void free_security_attributes(void);

#ifdef __cplusplus
}
#endif

#endif /* KMXIPC_H */
