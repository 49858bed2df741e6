#include "ParamText.h"

#include <stdlib.h>
#include <string.h>

#include "platform/IsolatePlatform.h"

static char Upper(char c) { return c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c; }

static int IsTrimmed(unsigned char c) { return c <= 0x20; }

/* Whether an entry name= starts at at (letter case ignored). */
static int EntryAt(const char* at, const char* end, const char* name, size_t nameLength) {
  size_t index;
  if ((size_t)(end - at) < nameLength + 1 || at[nameLength] != '=') return 0;
  for (index = 0; index < nameLength; ++index) {
    if (Upper(at[index]) != Upper(name[index])) return 0;
  }
  return 1;
}

/* Turns "&eq%" back into '=' and "&lim%" into ';', in that order, as the writer escaped
 * '=' before ';'. */
static size_t Unescape(char* text, size_t length) {
  static const char* const kEscapes[2] = {"&eq%", "&lim%"};
  static const char kPlain[2] = {'=', ';'};
  int round;
  for (round = 0; round < 2; ++round) {
    const size_t escapeLength = strlen(kEscapes[round]);
    size_t from = 0;
    size_t to = 0;
    while (from < length) {
      if (length - from >= escapeLength && memcmp(text + from, kEscapes[round], escapeLength) == 0) {
        text[to++] = kPlain[round];
        from += escapeLength;
      } else {
        text[to++] = text[from++];
      }
    }
    length = to;
  }
  text[length] = '\0';
  return length;
}

char* IsoParamValue(const char* text, size_t length, const char* name) {
  const size_t nameLength = strlen(name);
  const char* begin = text;
  const char* end = text + length;
  const char* valueStart = NULL;
  const char* valueEnd;
  const char* at;
  char* value;
  while (begin < end && IsTrimmed((unsigned char)*begin)) ++begin;
  while (end > begin && IsTrimmed((unsigned char)end[-1])) --end;
  /* An entry starts the text or follows a ';'. The names this provider reads need no
   * escapes. */
  for (at = begin; at < end && valueStart == NULL; ++at) {
    if ((at == begin || at[-1] == ';') && EntryAt(at, end, name, nameLength)) valueStart = at + nameLength + 1;
  }
  if (valueStart == NULL) valueStart = end;
  valueEnd = valueStart;
  while (valueEnd < end && *valueEnd != ';') ++valueEnd;
  value = (char*)malloc((size_t)(valueEnd - valueStart) + 1);
  if (value == NULL) return NULL;
  memcpy(value, valueStart, (size_t)(valueEnd - valueStart));
  Unescape(value, (size_t)(valueEnd - valueStart));
  return value;
}

void IsoWriteMessage(char* buffer, size_t size, const char* message) {
  static const char kKey[] = "ResultMsgStr=";
  const size_t messageLength = strlen(message);
  size_t out = sizeof kKey - 1;
  size_t at = 0;
  memcpy(buffer, kKey, out);
  /* Character by character, so that a cut never falls inside one. ';' and '=' are
   * never trail bytes, in GBK as in UTF-8. */
  while (at < messageLength) {
    const size_t step = IsoCharacterLength(message + at, messageLength - at);
    const char* piece = message + at;
    size_t pieceLength = step;
    if (*piece == '=' || *piece == ';') {
      piece = *piece == '=' ? "&eq%" : "&lim%";
      pieceLength = strlen(piece);
    }
    if (out + pieceLength + 1 > size) break;
    memcpy(buffer + out, piece, pieceLength);
    out += pieceLength;
    at += step;
  }
  buffer[out] = '\0';
}
