/* The few parameter-string operations the isolating provider needs: it reads its own
 * settings from InitCrypt's text and writes its messages as ResultMsgStr. */
#ifndef QORV_ISOLATE_PARAM_TEXT_H
#define QORV_ISOLATE_PARAM_TEXT_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The unescaped value of the first entry name (letter case ignored) in the text's first
 * length bytes: a malloc'd text, empty when there is none; null when memory ran out. */
char* IsoParamValue(const char* text, size_t length, const char* name);

/* Writes "ResultMsgStr=" and the escaped message into buffer (size bytes, zero
 * terminated, cut between characters of the message's code page when too long). */
void IsoWriteMessage(char* buffer, size_t size, const char* message);

#ifdef __cplusplus
}
#endif

#endif
