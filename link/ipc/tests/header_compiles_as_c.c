/* The public header is plain C: this file fails to build otherwise. */
#include "kmxipc.h"

int kmxipc_header_is_c(void);
int kmxipc_header_is_c(void) {
  KMXBuffer piece = {0, 0};
  KMXSecurityAttributes attributes = {sizeof attributes, 0600, 0700, 0};
  return (int)(piece.length + attributes.objectMode != 0600u);
}
