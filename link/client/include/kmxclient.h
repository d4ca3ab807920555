/* kmxclient: the KMX C API. Client programs reach the UT through the link
 * server of a serial port: a connection carries commands to the UT and brings
 * back its replies; registrations deliver the UT's asynchronous data (log
 * packets, plug-in data, alerts, last gasp records) and link state changes to
 * callbacks.
 *
 * Results: 1 (or a handle) on success, 0 (or NULL) on failure. The reason for
 * a failure is kept per calling thread: KMXGetLastError() returns its code,
 * KMXGetErrorDesc() its text, and for code 29 KMXGetLastUTErrorInfo() the
 * UT's own error code and text. Every call except those three first resets
 * the calling thread's error to 0.
 *
 * Handles are opaque. Each call checks its handle against the library's
 * registry before using it, so a closed or foreign handle gets error 1
 * instead of a crash. Closing a connection also closes its registrations.
 *
 * Threads: every function may be called from any thread. Commands on one
 * connection run one at a time; commands on different connections run in
 * parallel. A command waits for its reply without a time limit (the UT's
 * time limits are the server's), but never for a server that has ended: the
 * call then fails with a receive error.
 *
 * Callbacks run on the library's listening thread, one at a time for the
 * whole process, while the connection's registrations are locked. A callback
 * may call commands and close handles of its own connection, but must not
 * wait for another thread that is registering, closing handles, or creating
 * or destroying connections in the same process. Data pointers passed to a
 * callback are valid only during the call. Once KMXCloseHandle on a
 * registration (or on its connection) has returned, its callback is not
 * called again.
 */
#ifndef KMXCLIENT_H
#define KMXCLIENT_H

#include <stdint.h>

#if defined(__GNUC__)
#define KMXCLIENT_API __attribute__((visibility("default")))
#else
#define KMXCLIENT_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

#ifndef KMX_BUFFER_DEFINED
#define KMX_BUFFER_DEFINED
/* A (pointer, length) pair. */
typedef struct KMXBuffer {
  void* data;
  uint32_t length;
} KMXBuffer;
#endif

/* ---- error codes ------------------------------------------------------------ */

#define KMX_ERR_NONE 0u
#define KMX_ERR_INVALID_HANDLE 1u
#define KMX_ERR_INVALID_ASYNC_TYPE 2u
#define KMX_ERR_INVALID_CALLBACK 3u
#define KMX_ERR_INVALID_PRIORITY 4u
#define KMX_ERR_INVALID_MAX_PACKETS 5u
#define KMX_ERR_NOT_REGISTERED 6u
#define KMX_ERR_ALREADY_REGISTERED 7u
#define KMX_ERR_INVALID_BAUD_RATE 8u
#define KMX_ERR_INVALID_ARGUMENTS 9u
#define KMX_ERR_CREATE_MUTEX 10u
#define KMX_ERR_CREATE_PROCESS 11u
#define KMX_ERR_NO_MEMORY 12u
#define KMX_ERR_IPC_CREATE 13u
#define KMX_ERR_IPC_OPEN 14u
#define KMX_ERR_IPC_SEND 15u
#define KMX_ERR_IPC_SENDV 16u
#define KMX_ERR_IPC_RECEIVE 17u
#define KMX_ERR_IPC_RECEIVEV 18u
#define KMX_ERR_IPC_PEEK 19u
#define KMX_ERR_SERVER_SHUTTING_DOWN 20u
#define KMX_ERR_SERVER_FULL 21u
#define KMX_ERR_SERVER_IO_DRIVER 22u
#define KMX_ERR_STARTUP_FAILED 23u
#define KMX_ERR_INVALID_RESPONSE 24u
#define KMX_ERR_UNKNOWN_RESPONSE 25u
#define KMX_ERR_UT_RESPONSE_UNUSABLE 26u
#define KMX_ERR_UT_RESPONSE_TOO_BIG 27u
#define KMX_ERR_REQUEST_FAILED 28u
#define KMX_ERR_UT_ERROR 29u
#define KMX_ERR_UT_TIMEOUT 30u
#define KMX_ERR_LINK_DOWN 31u
#define KMX_ERR_LINK_NOT_MADE 32u
#define KMX_ERR_RESERVED_33 33u
#define KMX_ERR_XMODEM_INIT 34u
#define KMX_ERR_XMODEM_TRANSMISSION 35u
#define KMX_ERR_XMODEM_UT_CANCELLED 36u
#define KMX_ERR_XMODEM_ALREADY 37u
#define KMX_ERR_XMODEM_NOT_ACTIVE 38u
#define KMX_ERR_XMODEM_STATE 39u
#define KMX_ERR_XMODEM_NOT_OWNER 40u
#define KMX_ERR_XMODEM_OTHER 41u
#define KMX_ERR_UT_RESPONSE_SIZE 42u
#define KMX_ERR_XMODEM_CANCELLED 43u
#define KMX_ERR_PORT_NOT_OPENED 44u
#define KMX_ERR_ALREADY_OPENED 45u
#define KMX_ERR_NOT_SUPPORTED 46u

/* ---- values ------------------------------------------------------------------ */

/* Client-visible link states; also the bits of a state mask. */
#define KMX_LINK_NONE 0u
#define KMX_LINK_UP 1u
#define KMX_LINK_ESTABLISHING 2u
#define KMX_LINK_DOWN 4u

/* Baud-rate mask bits (KMXGetAvailableBaudRates and ...OnCOMPort). */
#define KMX_RATE_9600 1u
#define KMX_RATE_19200 2u
#define KMX_RATE_38400 4u
#define KMX_RATE_57600 8u
#define KMX_RATE_115200 16u

/* Sizes of the fixed blocks and records. */
#define KMX_VERSION_INFO_SIZE 83u
#define KMX_MEM_POOLS_INFO_SIZE 24u
#define KMX_LOG_STATUS_RECORD_SIZE 28u

/* Registration priorities run from -1 to 2, maximum queued packets from -1
 * to 65535; -1 in a change keeps the server's value. */
#define KMX_PRIORITY_MIN (-1)
#define KMX_PRIORITY_MAX 2
#define KMX_MAX_PACKETS_MIN (-1)
#define KMX_MAX_PACKETS_MAX 65535

/* Asynchronous ids: log codes run from 0 to 127, plug-in and alert ids from
 * 0 to 255 (the UT carries each in one byte). Other values are refused with
 * error 9 before anything is sent. */
#define KMX_LOG_CODE_MAX 127u
#define KMX_PLUGIN_ID_MAX 255u
#define KMX_ALERT_ID_MAX 255u

/* ---- records in caller memory ----------------------------------------------- */

/* KMXGetStatusData: one record per selector. `data` is a zero-initialised
 * block of `length` bytes allocated with malloc (NULL when the length is 0);
 * the caller releases it with free(). `reserved` is left unchanged. */
typedef struct KMXStatusRecord {
  uint16_t length;
  uint8_t reserved[2];
  void* data;
} KMXStatusRecord;

/* KMXGetTestModeState: the caller fills itemId, the call fills value. */
typedef struct KMXTestModeRecord {
  uint8_t itemId;
  uint8_t reserved[3];
  uint32_t value;
} KMXTestModeRecord;

/* KMXGetLinkStats: the low byte of logCode is the log code; counter is the
 * number of its log packets lost. */
typedef struct KMXLinkStatsRecord {
  uint32_t logCode;
  uint32_t counter;
} KMXLinkStatsRecord;

/* KMXGetLogStatusData: the first byte is the log code on input; the whole
 * record is overwritten by the UT's log status. */
typedef struct KMXLogStatusRecord {
  uint8_t bytes[KMX_LOG_STATUS_RECORD_SIZE];
} KMXLogStatusRecord;

/* ---- callbacks ---------------------------------------------------------------- */

/* Plug-in data (id: plug-in id) and alerts (id: alert id). */
typedef void (*KMXDataCallback)(uint32_t id, const void* data, uint32_t length, void* userData);
/* Log data: log code, the packet's sequence number, its two header words, and
 * the log data. */
typedef void (*KMXLogDataCallback)(uint32_t logCode, uint8_t sequence, uint32_t header1,
                                   uint32_t header2, const void* data, uint32_t length,
                                   void* userData);
/* Link state changes: the new client-visible link state. */
typedef void (*KMXStateChangeCallback)(uint32_t linkState, void* userData);
/* Last gasp records, short form (KMXOpenLastGaspData): the record's text. */
typedef void (*KMXLastGaspCallback)(const char* text, void* userData);
/* Last gasp records, long form (KMXOpenNewLastGaspData): the time stamp's
 * high and low words (both 0 for a record of the UT's older form), and the
 * record's text. */
typedef void (*KMXNewLastGaspCallback)(uint32_t timeStampHigh, uint32_t timeStampLow,
                                       const char* text, void* userData);

/* ---- exports, in ordinal order ----------------------------------------------- */

/* 1. Closes a connection or a registration. */
KMXCLIENT_API int KMXCloseHandle(void* handle);
/* 2. Connects to the link server of the serial device `driverName` (for
 * example "COM1"), starting the server when none runs for it. */
KMXCLIENT_API void* KMXCreateConnection(const char* driverName, uint32_t baudRate);
/* 3. Asynchronous messages the server dropped because this client's mailbox
 * was full, and for all clients together. Both are 0 after a failure. */
KMXCLIENT_API int KMXGetAsyncDropPktCnts(void* connection, uint32_t* droppedForClient,
                                         uint32_t* droppedForAll);
/* 4. Status data for `count` selectors; see KMXStatusRecord. */
KMXCLIENT_API int KMXGetStatusData(void* connection, uint32_t count, const uint32_t* selectors,
                                   KMXStatusRecord* records);
/* 5. Test-mode item values; see KMXTestModeRecord. */
KMXCLIENT_API int KMXGetTestModeState(void* connection, uint32_t count,
                                      KMXTestModeRecord* records);
/* 6. Registers for log data of one log code (0 to 127). */
KMXCLIENT_API void* KMXOpenAsyncData(void* connection, uint32_t logCode,
                                     KMXLogDataCallback callback, void* userData);
/* 7. Asks the server to bring the link to the UT up, waiting at most
 * `timeoutSeconds` (0: answer at once; 0xFFFF: until it is up), and reports
 * the link state. With a callback, link state changes whose bit is set in
 * `stateMask` are delivered to it. Allowed once per connection. */
KMXCLIENT_API int KMXOpenConnection(void* connection, uint16_t timeoutSeconds,
                                    KMXStateChangeCallback callback, uint32_t stateMask,
                                    uint32_t* linkState, void* userData);
/* 8. Registers for last gasp records, short callback form. */
KMXCLIENT_API void* KMXOpenLastGaspData(void* connection, KMXLastGaspCallback callback,
                                        void* userData);
/* 9. Registers for the data of one plug-in (id 0 to 255). */
KMXCLIENT_API void* KMXOpenPlugin(void* connection, uint32_t pluginId, KMXDataCallback callback,
                                  void* userData);
/* 10. Reads an NV item; `length` (optional) gets the number of bytes read. */
KMXCLIENT_API int KMXReadNVItemData(void* connection, uint32_t item, uint32_t index,
                                    void* buffer, uint32_t bufferSize, uint32_t* length);
/* 11. Reads `length` bytes of UT memory (in chunks of at most 256). */
KMXCLIENT_API int KMXReadRegion(void* connection, uint8_t region, uint32_t address,
                                uint32_t length, uint32_t qualifier, void* buffer);
/* 12. Sends an operation command. `replyLength` holds the reply buffer's size
 * on input and the number of reply bytes on output (0 after a failure). */
KMXCLIENT_API int KMXSendOprCmd(void* connection, uint8_t operation, const void* data,
                                uint32_t dataLength, void* reply, uint32_t* replyLength);
/* 13. Changes the priority and queue limit of a plug-in or log registration. */
KMXCLIENT_API int KMXSetAsyncDataParams(void* registration, int32_t priority,
                                        int32_t maxPackets);
/* 14. Test-mode control: `buffer` holds `length` bytes of data on input and
 * receives at most `length` bytes of reply; `outLength` (optional) gets their
 * number. */
KMXCLIENT_API int KMXTestModeControl(void* connection, uint8_t command, uint32_t parameter,
                                     void* buffer, uint16_t length, uint16_t* outLength);
/* 15. Writes an NV item. */
KMXCLIENT_API int KMXWriteNVItemData(void* connection, uint32_t item, uint32_t index,
                                     const void* data, uint32_t length);
/* 16. Writes UT memory. */
KMXCLIENT_API int KMXWriteRegion(void* connection, uint8_t region, uint32_t address,
                                 uint32_t length, uint32_t qualifier, const void* data);
/* 17. Sends data to the plug-in of a plug-in registration. */
KMXCLIENT_API int KMXWriteToPlugin(void* registration, const void* data, uint32_t length);
/* 18. The UT's version block, KMX_VERSION_INFO_SIZE bytes. */
KMXCLIENT_API int KMXGetKMXVersionInfo(void* connection, uint8_t* versionInfo);
/* 19. One Xmodem step; data goes out only with subcommand 1. */
KMXCLIENT_API int KMXXmodemCmd(void* connection, int32_t subcommand, uint32_t parameter,
                               uint32_t dataLength, const void* data);
/* 20. Log status of `count` log codes; see KMXLogStatusRecord. */
KMXCLIENT_API int KMXGetLogStatusData(void* connection, uint32_t count,
                                      KMXLogStatusRecord* records);
/* 21. Link statistics: the four counters (each optional) and one record per
 * listed log code. A non-zero `reset` clears what was read. */
KMXCLIENT_API int KMXGetLinkStats(void* connection, uint32_t* crcErrors,
                                  uint32_t* receiveOverflows, uint32_t* badEscapes,
                                  uint32_t* retransmissions, uint32_t count,
                                  const uint8_t* logCodes, KMXLinkStatsRecord* records,
                                  uint32_t reset);
/* 22. The list dimension of an NV item (the item number travels as 16 bits). */
KMXCLIENT_API int KMXGetNVItemListDimension(void* connection, uint32_t item,
                                            uint16_t* dimension);
/* 23. Registers for last gasp records, long callback form. A connection has
 * one last gasp registration: calling 8 or 23 again changes its callback and
 * returns the same handle. */
KMXCLIENT_API void* KMXOpenNewLastGaspData(void* connection, KMXNewLastGaspCallback callback,
                                           void* userData);
/* 24. Changes the priority and queue limit of the connection's registration
 * for a log code. */
KMXCLIENT_API int KMXSetLogDataParams(void* connection, uint32_t logCode, int32_t priority,
                                      int32_t maxPackets);
/* 25. The calling thread's error code. */
KMXCLIENT_API uint16_t KMXGetLastError(void);
/* 26. The text of an error code ("Invalid error code" from 47 on). */
KMXCLIENT_API const char* KMXGetErrorDesc(uint16_t code);
/* 27. After error 29: copies at most *length - 1 characters of the UT's
 * error text and a NUL into `buffer`, sets *length to the text's full length
 * including its NUL, and returns the UT's error code (35 for a code of 35 or
 * more). Returns 36 with *length 0 when the thread has no error record.
 * After error 44 from KMXCreateConnection (a port that does not exist or may
 * not be opened) the text names the port, the reason and the remedy, and the
 * code is 0. */
KMXCLIENT_API int16_t KMXGetLastUTErrorInfo(char* buffer, uint16_t* length);
/* 28. The UT's memory pool information, KMX_MEM_POOLS_INFO_SIZE bytes. */
KMXCLIENT_API int KMXGetMemPoolsInfo(void* connection, uint8_t* info);
/* 29. Sends the security password; `result` (optional) gets the UT's answer. */
KMXCLIENT_API int KMXSendSecurityPassword(void* connection, const char* password,
                                          uint8_t* result);
/* 30. Sends the service programming code; `result` (optional) gets the UT's
 * answer. */
KMXCLIENT_API int KMXSendSPCode(void* connection, const char* code, uint8_t* result);
/* 31. Registers for one alert id. */
KMXCLIENT_API void* KMXOpenAlertData(void* connection, uint8_t alertId, KMXDataCallback callback,
                                     void* userData);
/* 32. Cancels an Xmodem step that another thread waits for; reads no reply. */
KMXCLIENT_API int KMXCancelXmodemBlockingCall(void* connection);
/* 33. The baud rates the server's serial driver offers (KMX_RATE_* mask). */
KMXCLIENT_API int KMXGetAvailableBaudRates(void* connection, uint32_t* rates);
/* 34. The baud rates of a port that no server owns, asked of the serial
 * driver directly. */
KMXCLIENT_API int KMXGetAvailableBaudRatesOnCOMPort(const char* portName, uint32_t* rates);
/* 35. Registers a link state change callback (NULL callback: returns NULL
 * and sets no error). */
KMXCLIENT_API void* KMXOpenStateChangeData(void* connection, KMXStateChangeCallback callback,
                                           void* userData);
/* 36. Not supported: fails with error 46 whatever it is given. */
KMXCLIENT_API int KMXSetAKey(void* connection, uint8_t selector, uint16_t value,
                             uint32_t keyHigh, uint32_t keyLow);
/* 37. A-key verification; `result` (optional) gets the UT's verdict. */
KMXCLIENT_API int KMXVerifyAKey(void* connection, uint8_t selector, uint16_t value,
                                uint32_t keyHigh, uint32_t keyLow, uint32_t* result);
/* 38. Sets the server's DTR line: 1 on, any other value off. */
KMXCLIENT_API int KMXSetDTRState(void* connection, uint32_t state);
/* 39. Deletes an NV list element. */
KMXCLIENT_API int KMXDeleteNVItemData(void* connection, uint32_t item, uint32_t index);
/* 40. Inserts an NV list element. */
KMXCLIENT_API int KMXInsertNVItemData(void* connection, uint32_t item, uint32_t index,
                                      const void* data, uint32_t length);

#ifdef __cplusplus
}
#endif

#endif /* KMXCLIENT_H */
