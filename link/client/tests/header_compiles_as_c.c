/* The public header is plain C: this file fails to build otherwise. */
#include "kmxclient.h"

int kmxclient_header_is_c(void);
int kmxclient_header_is_c(void) {
  KMXStatusRecord status = {0, {0, 0}, 0};
  KMXTestModeRecord mode = {1, {0, 0, 0}, 2};
  KMXDataCallback callback = 0;
  return (int)(status.length + mode.value) + (callback == 0);
}
