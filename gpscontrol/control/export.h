#pragma once
/* Marks what libsorvane exports; everything else stays inside it. */
#if defined(__GNUC__)
#define SORVANE_API __attribute__((visibility("default")))
#else
#define SORVANE_API
#endif
