/* The C interface of a language resource library (libVEXRes<LANG>.so).
 *
 * Every resource library exports exactly these three functions. The script
 * server and the service tool load a library with dlopen by file name and
 * take all user-visible texts and the loader program from it. Texts are
 * UTF-8 and owned by the library: they stay valid while it is loaded. */
#ifndef VEXRES_H
#define VEXRES_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Binary resource that holds the loader program sent into the UT's RAM
 * before a software image (layout in vexres_loader_image.h). */
#define VEXRES_TYPE_FLASH "FLASH"
#define VEXRES_ID_LOADER 176u

/* String numbers with a fixed role outside the message texts. */
#define VEXRES_STR_COMPANY 61304u        /* company part of the tool's settings key */
#define VEXRES_STR_SCRIPT_VERSION 61444u /* the script object's version text */

/* The UTF-8 text of string `id`, or null when the library has none. */
const char* VexResString(uint32_t id);

/* 1 with *data and *size set to the bytes of resource (type, id); 0 when the
 * library has no such resource or an argument is null (then *data and *size,
 * where given, are cleared). The type is compared ignoring ASCII case. */
int VexResBinary(const char* type, uint32_t id, const void** data, uint32_t* size);

/* The library's language code: "ENU", "ESN", "FRA" or "PTB". */
const char* VexResLanguage(void);

typedef const char* (*VexResStringFn)(uint32_t id);
typedef int (*VexResBinaryFn)(const char* type, uint32_t id, const void** data, uint32_t* size);
typedef const char* (*VexResLanguageFn)(void);

#ifdef __cplusplus
}
#endif

#endif /* VEXRES_H */
