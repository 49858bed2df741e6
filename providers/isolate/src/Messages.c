#include "Messages.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* Joins parts: those at even places are the message's own words, written in UTF-8 and
 * converted to the host's code page; those at odd places are names the caller gave
 * (paths, function names, numbers), in that code page already, kept as they are. */
static char* Compose(const char* const* parts, int count) {
  char* converted[8];
  size_t size = 1;
  char* text = NULL;
  int index;
  int complete = 1;
  for (index = 0; index < count; ++index) {
    converted[index] = index % 2 == 0 ? IsoMessageText(parts[index]) : NULL;
    if (index % 2 == 0 && converted[index] == NULL) complete = 0;
    size += strlen(index % 2 == 0 && converted[index] != NULL ? converted[index] : parts[index]);
  }
  if (complete) text = (char*)malloc(size);
  if (text != NULL) {
    text[0] = '\0';
    for (index = 0; index < count; ++index) strcat(text, index % 2 == 0 ? converted[index] : parts[index]);
  }
  for (index = 0; index < count; index += 2) free(converted[index]);
  return text;
}

#define COMPOSE(...)                                     \
  do {                                                   \
    const char* const parts[] = {__VA_ARGS__};           \
    return Compose(parts, sizeof parts / sizeof *parts); \
  } while (0)

char* IsoMissingLibPathMessage(void) {
  COMPOSE("隔离加解密组件的配置缺少IsolatedLibPath参数，不知道要运行哪个加解密组件。");
}

char* IsoBadTimeoutMessage(const char* value) {
  COMPOSE("隔离加解密组件的IsolatedTimeout参数[", value, "]不是有效的毫秒数。");
}

char* IsoHostNotStartedMessage(const char* hostPath) { COMPOSE("无法启动加解密组件宿主程序[", hostPath, "]。"); }

char* IsoNotLoadedMessage(const char* providerPath) { COMPOSE("加载加解密组件[", providerPath, "]失败！"); }

char* IsoNotSupportedMessage(void) { COMPOSE("加解密组件不支持该功能。"); }

char* IsoRaisedMessage(const char* name) { COMPOSE("调用加解密组件[", name, "]发生异常。"); }

char* IsoExitedMessage(const char* providerPath, const char* function, unsigned long code) {
  char number[24];
  snprintf(number, sizeof number, "%lu", code);
  COMPOSE("加解密组件[", providerPath, "]在", function, "中结束了自己的进程（退出码", number, "）。");
}

char* IsoTimedOutMessage(const char* providerPath, const char* function, long long timeoutMs) {
  char number[24];
  snprintf(number, sizeof number, "%lld", timeoutMs);
  COMPOSE("加解密组件[", providerPath, "]的", function, "超过了", number, "毫秒的时限，已被终止。");
}

char* IsoBrokenMessage(const char* providerPath) {
  COMPOSE("加解密组件[", providerPath, "]的宿主进程中断了通信，已被终止。");
}

char* IsoOutOfBoundsMessage(const char* providerPath) {
  COMPOSE("加解密组件[", providerPath, "]的宿主进程应答越界，已被终止。");
}

char* IsoNoSequenceMessage(void) { COMPOSE("隔离加解密组件没有进行中的调用：InitCrypt未成功。"); }

char* IsoRequestTooLongMessage(void) { COMPOSE("参数过长，隔离加解密组件无法转交（上限4 MiB）。"); }

char* IsoTooManySequencesMessage(void) { COMPOSE("隔离加解密组件同时进行的调用过多。"); }
