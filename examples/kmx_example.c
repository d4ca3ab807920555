/* A tour of the client library: connect to the UT on a port, show the link
 * state, the version block, the link statistics and a memory region, then
 * listen to log data, alerts and link state changes for a few seconds and
 * report what arrived and what was dropped.
 *
 * Usage: kmx_example PORT [SECONDS]
 */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "kmxclient.h"

#define LOG_CODE 3u
#define ALERT_ID 1u

static unsigned logPackets;
static unsigned alerts;

static void fail(const char* what) {
  uint16_t code = KMXGetLastError();
  fprintf(stderr, "%s failed: error %u, %s\n", what, code, KMXGetErrorDesc(code));
  if (code == KMX_ERR_UT_ERROR) {
    char text[256];
    uint16_t length = sizeof text;
    int16_t utCode = KMXGetLastUTErrorInfo(text, &length);
    fprintf(stderr, "  the UT said %d: %s\n", utCode, text);
  }
}

static const char* stateName(uint32_t state) {
  switch (state) {
    case 1: return "up";
    case 2: return "being established";
    case 4: return "down";
    default: return "none yet";
  }
}

static void onState(uint32_t state, void* userData) {
  (void)userData;
  printf("  link state: %s\n", stateName(state));
}

static void onLog(uint32_t logCode, uint8_t sequence, uint32_t header1, uint32_t header2,
                  const void* data, uint32_t length, void* userData) {
  (void)data;
  (void)userData;
  if (logPackets++ < 5) {
    printf("  log %u: sequence %u, header %08x %08x, %u data bytes\n", logCode, sequence, header1,
           header2, length);
  }
}

static void onAlert(uint32_t id, const void* data, uint32_t length, void* userData) {
  (void)userData;
  const uint8_t* bytes = data;
  ++alerts;
  printf("  alert %u:", id);
  for (uint32_t i = 0; i < length; ++i) printf(" %02x", bytes[i]);
  printf("\n");
}

static void printHex(const uint8_t* bytes, uint32_t length) {
  for (uint32_t i = 0; i < length; ++i) printf("%02x%s", bytes[i], (i + 1) % 16 == 0 ? "\n  " : " ");
  printf("\n");
}

static uint32_t le32(const uint8_t* p) {
  return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: %s PORT [SECONDS]\n", argv[0]);
    return 2;
  }
  const char* port = argv[1];
  const int seconds = argc > 2 ? atoi(argv[2]) : 5;

  printf("Connecting to the UT on %s\n", port);
  void* connection = KMXCreateConnection(port, 115200);
  if (connection == NULL) {
    fail("KMXCreateConnection");
    return 1;
  }
  uint32_t state = 0;
  if (!KMXOpenConnection(connection, 10, onState, 1 | 2 | 4, &state, NULL)) {
    fail("KMXOpenConnection");
    KMXCloseHandle(connection);
    return 1;
  }
  printf("Link state: %s\n", stateName(state));
  if (state != 1) {
    fprintf(stderr, "The link to the UT did not come up.\n");
    KMXCloseHandle(connection);
    return 1;
  }

  uint8_t version[83];
  if (KMXGetKMXVersionInfo(connection, version)) {
    printf("Version block (83 bytes):\n  ");
    printHex(version, sizeof version);
  } else {
    fail("KMXGetKMXVersionInfo");
  }

  uint32_t crc = 0, overflows = 0, escapes = 0, retransmissions = 0;
  const uint8_t codes[1] = {LOG_CODE};
  KMXLinkStatsRecord lost[1];
  if (KMXGetLinkStats(connection, &crc, &overflows, &escapes, &retransmissions, 1, codes, lost, 0)) {
    printf("Link statistics: %u CRC errors, %u overflows, %u bad escapes, %u retransmissions\n", crc,
           overflows, escapes, retransmissions);
  } else {
    fail("KMXGetLinkStats");
  }

  /* The version block's bytes 31-38 give the address and size of the UT's
   * symbol information: read its first bytes. */
  uint32_t address = le32(&version[31]), size = le32(&version[35]);
  uint8_t region[64];
  uint32_t take = size < sizeof region ? size : (uint32_t)sizeof region;
  if (take > 0 && KMXReadRegion(connection, 0, address, take, 0, region)) {
    printf("Memory at 0x%08x (%u of %u bytes):\n  ", address, take, size);
    printHex(region, take);
  } else if (take > 0) {
    fail("KMXReadRegion");
  }

  void* logs = KMXOpenAsyncData(connection, LOG_CODE, onLog, NULL);
  void* alertRegistration = KMXOpenAlertData(connection, ALERT_ID, onAlert, NULL);
  if (logs == NULL) fail("KMXOpenAsyncData");
  if (alertRegistration == NULL) fail("KMXOpenAlertData");
  printf("Listening to log code %u and alert %u for %d s\n", LOG_CODE, ALERT_ID, seconds);
  for (int i = 0; i < seconds * 10; ++i) {
    struct timespec tenth = {0, 100 * 1000 * 1000};
    nanosleep(&tenth, NULL);
  }

  uint32_t mine = 0, all = 0;
  if (KMXGetAsyncDropPktCnts(connection, &mine, &all)) {
    printf("Received %u log packets and %u alerts; dropped %u for this client, %u for all\n", logPackets,
           alerts, mine, all);
  }
  if (KMXGetLinkStats(connection, &crc, &overflows, &escapes, &retransmissions, 1, codes, lost, 0)) {
    printf("Log packets lost on the way from the UT: %u\n", lost[0].counter);
  }
  KMXCloseHandle(connection);  /* also ends its registrations */
  printf("Closed.\n");
  return 0;
}
