/* libsorvane: the GPS control as a C interface, for hosts in any language.
 *
 * A control is an object with a table of functions in front (the dispatch
 * object). Create one with sorvane_create (this library) or through the
 * per-user registration with sorvane_create_instance / sorvane_create_by_progid,
 * then call its members by DISPID with sorvane_invoke. Member names and
 * DISPIDs come from sorvane_get_dispid / sorvane_get_name; the whole interface
 * is printed by sorvane_type_library.
 *
 * Strings are UTF-8. A string result is allocated by the library and freed by
 * the caller with sorvane_variant_clear; string arguments stay the caller's.
 * Results are HRESULT-style codes: 0 success, 1 "false", negative failure. */
#ifndef SORVANE_H
#define SORVANE_H

#include <stddef.h>
#include <stdint.h>

#include "control/export.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t SorvaneResult;

#define SORVANE_S_OK 0
#define SORVANE_S_FALSE 1
#define SORVANE_E_NOINTERFACE ((SorvaneResult)0x80004002u)
#define SORVANE_E_POINTER ((SorvaneResult)0x80004003u)
#define SORVANE_E_INVALIDARG ((SorvaneResult)0x80070057u)
#define SORVANE_E_OUTOFMEMORY ((SorvaneResult)0x8007000Eu)
#define SORVANE_DISP_E_MEMBERNOTFOUND ((SorvaneResult)0x80020003u)
#define SORVANE_DISP_E_TYPEMISMATCH ((SorvaneResult)0x80020005u)
#define SORVANE_DISP_E_UNKNOWNNAME ((SorvaneResult)0x80020006u)
#define SORVANE_DISP_E_OVERFLOW ((SorvaneResult)0x8002000Au)
#define SORVANE_DISP_E_BADPARAMCOUNT ((SorvaneResult)0x8002000Eu)
#define SORVANE_CLASS_E_NOAGGREGATION ((SorvaneResult)0x80040110u)
#define SORVANE_CLASS_E_CLASSNOTAVAILABLE ((SorvaneResult)0x80040111u)
#define SORVANE_REGDB_E_CLASSNOTREG ((SorvaneResult)0x80040154u)
#define SORVANE_CO_E_CLASSSTRING ((SorvaneResult)0x800401F3u)
#define SORVANE_SELFREG_E_TYPELIB ((SorvaneResult)0x80040200u)
#define SORVANE_SELFREG_E_CLASS ((SorvaneResult)0x80040201u)

typedef struct SorvaneGuid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
} SorvaneGuid;

/* Initialisers for the identities of the module. */
#define SORVANE_LIBID_SORVANELIB                           \
    {                                                      \
        0xCA49C26Eu, 0x8FB3, 0x4E1B, {                     \
            0x81, 0x02, 0xA9, 0x79, 0x12, 0x7F, 0x51, 0x73 \
        }                                                  \
    }
#define SORVANE_DIID_DSORVANE                              \
    {                                                      \
        0x84689633u, 0x94FB, 0x4413, {                     \
            0xB7, 0xD6, 0x03, 0x4F, 0x2B, 0xB2, 0xC7, 0x41 \
        }                                                  \
    }
#define SORVANE_DIID_DSORVANEEVENTS                        \
    {                                                      \
        0x9235432Eu, 0xBAAB, 0x4B05, {                     \
            0xA3, 0x43, 0x25, 0x63, 0xBC, 0x87, 0xF7, 0x49 \
        }                                                  \
    }
#define SORVANE_CLSID_SORVANE                              \
    {                                                      \
        0x914DF45Eu, 0x484F, 0x41AD, {                     \
            0xA0, 0x2C, 0x17, 0xBF, 0x23, 0x18, 0xAD, 0x63 \
        }                                                  \
    }
#define SORVANE_CLSID_SORVANEPROPPAGE                      \
    {                                                      \
        0x90B1BA73u, 0xE030, 0x4E60, {                     \
            0xBD, 0xE3, 0x3F, 0x82, 0x31, 0x29, 0x4B, 0x98 \
        }                                                  \
    }
#define SORVANE_IID_IUNKNOWN                               \
    {                                                      \
        0x00000000u, 0x0000, 0x0000, {                     \
            0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46 \
        }                                                  \
    }
#define SORVANE_IID_ICLASSFACTORY                          \
    {                                                      \
        0x00000001u, 0x0000, 0x0000, {                     \
            0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46 \
        }                                                  \
    }
#define SORVANE_IID_IDISPATCH                              \
    {                                                      \
        0x00020400u, 0x0000, 0x0000, {                     \
            0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46 \
        }                                                  \
    }

/* Variant type codes. */
#define SORVANE_VT_EMPTY 0
#define SORVANE_VT_I2 2
#define SORVANE_VT_I4 3
#define SORVANE_VT_R8 5
#define SORVANE_VT_BSTR 8
#define SORVANE_VT_BOOL 11
#define SORVANE_VT_BYREF 0x4000

/* Invoke flags. */
#define SORVANE_DISPATCH_METHOD 1
#define SORVANE_DISPATCH_PROPERTYGET 2
#define SORVANE_DISPATCH_PROPERTYPUT 4

typedef struct SorvaneVariant {
    uint16_t vt;
    uint16_t reserved1;
    uint16_t reserved2;
    uint16_t reserved3;
    union {
        int16_t iVal;
        int32_t lVal;
        double dblVal;
        int16_t boolVal; /* -1 true, 0 false */
        char* bstrVal;   /* UTF-8, NUL-terminated */
        int16_t* piVal;  /* SORVANE_VT_BYREF | SORVANE_VT_I2 */
        int32_t* plVal;  /* SORVANE_VT_BYREF | SORVANE_VT_I4 */
        double* pdblVal; /* SORVANE_VT_BYREF | SORVANE_VT_R8 */
    } u;
} SorvaneVariant;

typedef struct SorvaneRect {
    int32_t left;
    int32_t top;
    int32_t right;  /* exclusive */
    int32_t bottom; /* exclusive */
} SorvaneRect;

/* An event: DISPID 1 Receiving (long nReceived, long nTotal), DISPID 2
 * NMEAReceived (short valid, double lat, double lon, double alt, long t,
 * double vel, short dir). Arguments come in parameter order. Receiving runs on
 * the thread that called the transfer, NMEAReceived on the receiver's thread. */
typedef void (*SorvaneEventCallback)(void* user, int32_t dispid, const SorvaneVariant* args,
                                     int32_t argCount);
/* A failure message ("Memory allocation", "Can't create MapDatum object"). */
typedef void (*SorvaneMessageCallback)(void* user, const char* text, const char* caption);

typedef struct SorvaneCtrl SorvaneCtrl;
typedef struct SorvaneCtrlVtbl {
    SorvaneResult (*QueryInterface)(SorvaneCtrl* self, const SorvaneGuid* iid, void** object);
    uint32_t (*AddRef)(SorvaneCtrl* self);
    uint32_t (*Release)(SorvaneCtrl* self);
    SorvaneResult (*GetTypeInfoCount)(SorvaneCtrl* self, uint32_t* count);
    SorvaneResult (*GetIDOfName)(SorvaneCtrl* self, const char* name, int32_t* dispid);
    /* args in parameter order; argErr (may be NULL) receives the index of a bad argument. */
    SorvaneResult (*Invoke)(SorvaneCtrl* self, int32_t dispid, uint16_t flags, SorvaneVariant* args,
                            int32_t argCount, SorvaneVariant* result, uint32_t* argErr);
    SorvaneResult (*Advise)(SorvaneCtrl* self, SorvaneEventCallback callback, void* user,
                            uint32_t* cookie);
    SorvaneResult (*Unadvise)(SorvaneCtrl* self, uint32_t cookie);
    /* The 28-byte persisted properties. */
    SorvaneResult (*Save)(SorvaneCtrl* self, uint8_t* buffer, size_t size, int32_t clearDirty);
    SorvaneResult (*Load)(SorvaneCtrl* self, const uint8_t* data, size_t size);
    SorvaneResult (*InitNew)(SorvaneCtrl* self);
    SorvaneResult (*IsDirty)(SorvaneCtrl* self); /* S_OK when modified, S_FALSE when not */
    /* Design-time picture into 32-bit ARGB pixels, rows of width pixels. */
    SorvaneResult (*Draw)(SorvaneCtrl* self, uint32_t* pixels, int32_t width, int32_t height,
                          const SorvaneRect* bounds);
} SorvaneCtrlVtbl;
struct SorvaneCtrl {
    const SorvaneCtrlVtbl* lpVtbl;
};

#define SORVANE_PERSISTED_SIZE 28

typedef struct SorvaneClassFactory SorvaneClassFactory;
typedef struct SorvaneClassFactoryVtbl {
    SorvaneResult (*QueryInterface)(SorvaneClassFactory* self, const SorvaneGuid* iid,
                                    void** object);
    uint32_t (*AddRef)(SorvaneClassFactory* self);
    uint32_t (*Release)(SorvaneClassFactory* self);
    SorvaneResult (*CreateInstance)(SorvaneClassFactory* self, void* outer, const SorvaneGuid* iid,
                                    void** object);
    SorvaneResult (*LockServer)(SorvaneClassFactory* self, int32_t lock);
} SorvaneClassFactoryVtbl;
struct SorvaneClassFactory {
    const SorvaneClassFactoryVtbl* lpVtbl;
};

/* The property page, as data a host can show. Sizes in dialog units. */
typedef struct SorvanePropPageInfo {
    const char* caption;
    int32_t width;
    int32_t height;
    const char* fontName;
    int32_t fontPoints;
    int32_t textLeft;
    int32_t textTop;
    int32_t textWidth;
    int32_t textHeight;
    const char* text;
} SorvanePropPageInfo;

typedef struct SorvanePropPage SorvanePropPage;
typedef struct SorvanePropPageVtbl {
    SorvaneResult (*QueryInterface)(SorvanePropPage* self, const SorvaneGuid* iid, void** object);
    uint32_t (*AddRef)(SorvanePropPage* self);
    uint32_t (*Release)(SorvanePropPage* self);
    SorvaneResult (*GetPageInfo)(SorvanePropPage* self, SorvanePropPageInfo* info);
} SorvanePropPageVtbl;
struct SorvanePropPage {
    const SorvanePropPageVtbl* lpVtbl;
};

/* The module's exports. */
SORVANE_API SorvaneResult DllRegisterServer(void);
SORVANE_API SorvaneResult DllUnregisterServer(void);
SORVANE_API SorvaneResult DllGetClassObject(const SorvaneGuid* clsid, const SorvaneGuid* iid,
                                            void** object);
SORVANE_API SorvaneResult DllCanUnloadNow(void);

/* A control of this library (reference count 1). NULL when memory runs out. */
SORVANE_API SorvaneCtrl* sorvane_create(void);
/* A control through the registration file ($XDG_DATA_HOME/sorvane/), from the
 * registered library's class factory, else from this library. */
SORVANE_API SorvaneResult sorvane_create_instance(const SorvaneGuid* clsid, SorvaneCtrl** control);
SORVANE_API SorvaneResult sorvane_create_by_progid(const char* progid, SorvaneCtrl** control);
/* Releases the caller's reference. */
SORVANE_API void sorvane_destroy(SorvaneCtrl* control);

SORVANE_API SorvaneResult sorvane_invoke(SorvaneCtrl* control, int32_t dispid, uint16_t flags,
                                         SorvaneVariant* args, int32_t argCount,
                                         SorvaneVariant* result);
/* -1 for an unknown name; names compare without regard to case. */
SORVANE_API int32_t sorvane_get_dispid(const char* name);
/* NULL for an unknown DISPID. */
SORVANE_API const char* sorvane_get_name(int32_t dispid);
SORVANE_API int32_t sorvane_get_event_dispid(const char* name);
SORVANE_API const char* sorvane_get_event_name(int32_t dispid);
/* Number of parameters of a member, -1 for an unknown DISPID. */
SORVANE_API int32_t sorvane_get_param_count(int32_t dispid);

SORVANE_API SorvaneResult sorvane_connect(SorvaneCtrl* control, SorvaneEventCallback callback,
                                          void* user, uint32_t* cookie);
SORVANE_API SorvaneResult sorvane_disconnect(SorvaneCtrl* control, uint32_t cookie);

/* NULL restores the default (standard error). */
SORVANE_API void sorvane_set_message_handler(SorvaneMessageCallback callback, void* user);

SORVANE_API void sorvane_variant_init(SorvaneVariant* v);
/* Frees a string the variant owns and leaves it empty. */
SORVANE_API void sorvane_variant_clear(SorvaneVariant* v);

/* The interface description (identities, members, events, version data). */
SORVANE_API const char* sorvane_type_library(void);
/* Path of the registration file; returns its length (copies at most size - 1 bytes). */
SORVANE_API size_t sorvane_registration_path(char* buffer, size_t size);

/* Kinds of names for sorvane_receiver_name. */
#define SORVANE_NAME_WAYPOINT 0 /* a waypoint's or a route waypoint's name */
#define SORVANE_NAME_ROUTE 1    /* a route's name */

/* The name a receiver of the control's current product will hold after an
 * upload, as a download then reads it back (without the padding of its
 * field): cut to the record's length, upper-cased or put into the receiver's
 * character set, as the control's store and the upload leave it. UTF-8 in
 * and out. Copies at most size - 1 bytes and a NUL into buffer (which may be
 * NULL when size is 0) and stores the full length in *length.
 * SORVANE_E_INVALIDARG for another kind, or a control of another library or
 * without its store. */
SORVANE_API SorvaneResult sorvane_receiver_name(SorvaneCtrl* control, int32_t kind,
                                                const char* name, char* buffer, size_t size,
                                                size_t* length);

SORVANE_API SorvaneResult sorvane_save(SorvaneCtrl* control, uint8_t* buffer, size_t size);
SORVANE_API SorvaneResult sorvane_load(SorvaneCtrl* control, const uint8_t* data, size_t size);
SORVANE_API SorvaneResult sorvane_reset(SorvaneCtrl* control);
SORVANE_API SorvaneResult sorvane_draw(SorvaneCtrl* control, uint32_t* pixels, int32_t width,
                                       int32_t height, const SorvaneRect* bounds);

/* ---- The position receiver beyond the automation members -------------------
 *
 * StartNMEAReceiving reads positions from the source chosen here: the serial
 * port of CommPort at BaudRate (the default), or a running gpsd, the system's
 * GPS daemon. Whatever the source, NMEAReceived and the 24-entry satellite
 * methods behave as before; these functions add each fix with its quality,
 * every satellite in view with its constellation, the source's status, and
 * the lines as they came. The control answers them through an interface of
 * its own (SORVANE_IID_SORVANERECEIVER); a control without it gives
 * SORVANE_E_NOINTERFACE. */

#define SORVANE_IID_SORVANERECEIVER                        \
    {                                                      \
        0x1EA26B17u, 0x9058, 0x4B1C, {                     \
            0x8E, 0xB6, 0x02, 0x4A, 0x55, 0xFF, 0x6F, 0xF3 \
        }                                                  \
    }

#define SORVANE_SOURCE_SERIAL 0
#define SORVANE_SOURCE_GPSD 1
#define SORVANE_GPSD_DEFAULT_PORT 2947

/* Constellations. */
#define SORVANE_GNSS_UNKNOWN 0
#define SORVANE_GNSS_GPS 1
#define SORVANE_GNSS_GLONASS 2
#define SORVANE_GNSS_GALILEO 3
#define SORVANE_GNSS_BEIDOU 4
#define SORVANE_GNSS_QZSS 5
#define SORVANE_GNSS_NAVIC 6
#define SORVANE_GNSS_SBAS 7

/* States of the source. */
#define SORVANE_RECEIVER_STOPPED 0    /* not started, or stopped */
#define SORVANE_RECEIVER_CONNECTING 1 /* on its way to gpsd */
#define SORVANE_RECEIVER_RUNNING 2    /* reading */
#define SORVANE_RECEIVER_FAILED 3     /* could not start: see errorCode and message */
#define SORVANE_RECEIVER_ENDED 4      /* the line hung up, or gpsd went away */

typedef struct SorvaneFix {
    int32_t valid;          /* 1: a fix (status A and mode not N; gpsd: a 2D or 3D fix) */
    double latitude;        /* degrees WGS 84 as the receiver sends them, south negative */
    double longitude;       /* degrees, west negative */
    double altitude;        /* metres above mean sea level; -9999.0 when none came */
    double time;            /* seconds since 1970-01-01 UTC with their fraction; 0 when unknown */
    double speed;           /* km/h */
    double course;          /* degrees from true north */
    int32_t quality;        /* GGA fix quality: 0 none, 1 GNSS, 2 differential, 4 RTK fixed,
                               5 RTK float, 6 estimated, ... */
    int32_t satellitesUsed; /* -1 when unknown */
    double hdop;            /* 0 when unknown */
    int32_t mode;           /* 1 no fix, 2 2D, 3 3D; 0 when unknown */
} SorvaneFix;

typedef struct SorvaneSatellite {
    int32_t constellation; /* SORVANE_GNSS_... */
    int32_t prn;           /* the number the source gives it (NMEA numbering) */
    int32_t number;        /* its number within its constellation */
    int32_t elevation;     /* degrees */
    int32_t azimuth;       /* degrees */
    int32_t snr;           /* dB-Hz; 0 when not tracked */
    int32_t used;          /* 1 when the fix uses it */
    int32_t signal;        /* NMEA 4.10 signal ID; 0 when not given */
} SorvaneSatellite;

typedef struct SorvaneReceiverStatus {
    int32_t source;     /* SORVANE_SOURCE_... */
    int32_t state;      /* SORVANE_RECEIVER_... */
    int32_t errorCode;  /* errno of a failure; 0 when none */
    int32_t noDevice;   /* 1 while gpsd has no receiver */
    uint64_t bytes;     /* read from the port or the daemon */
    uint64_t sentences; /* sentences (gpsd: reports) taken */
    uint64_t rejected;  /* lines thrown away: no '$', too long, a wrong checksum */
    char message[256];  /* what happened, in English; empty while all is well */
} SorvaneReceiverStatus;

#define SORVANE_RECEIVER_EVENT_FIX 1        /* fix: once per position cycle */
#define SORVANE_RECEIVER_EVENT_SATELLITES 2 /* the satellite list changed */
#define SORVANE_RECEIVER_EVENT_STATUS 3     /* status: its state, device or message changed */
#define SORVANE_RECEIVER_EVENT_SENTENCE               \
    4 /* sentence: a line as it came, without its end \
         (gpsd: a JSON report) */
typedef struct SorvaneReceiverEvent {
    int32_t kind;
    const SorvaneFix* fix;
    const SorvaneReceiverStatus* status;
    const char* sentence;
} SorvaneReceiverEvent;
/* On the receiver's thread; a start that fails at once reports its status on
 * the thread of StartNMEAReceiving. */
typedef void (*SorvaneReceiverCallback)(void* user, const SorvaneReceiverEvent* event);

typedef struct SorvaneReceiver SorvaneReceiver;
typedef struct SorvaneReceiverVtbl {
    SorvaneResult (*QueryInterface)(SorvaneReceiver* self, const SorvaneGuid* iid, void** object);
    uint32_t (*AddRef)(SorvaneReceiver* self);
    uint32_t (*Release)(SorvaneReceiver* self);
    SorvaneResult (*SetSource)(SorvaneReceiver* self, int32_t source, const char* host,
                               int32_t port);
    SorvaneResult (*GetSource)(SorvaneReceiver* self, int32_t* source, char* host, size_t hostSize,
                               int32_t* port);
    SorvaneResult (*GetStatus)(SorvaneReceiver* self, SorvaneReceiverStatus* status);
    SorvaneResult (*GetLastFix)(SorvaneReceiver* self, SorvaneFix* fix);
    SorvaneResult (*GetSatellites)(SorvaneReceiver* self, SorvaneSatellite* satellites,
                                   int32_t capacity, int32_t* count);
    SorvaneResult (*Advise)(SorvaneReceiver* self, SorvaneReceiverCallback callback, void* user,
                            uint32_t* cookie);
    SorvaneResult (*Unadvise)(SorvaneReceiver* self, uint32_t cookie);
} SorvaneReceiverVtbl;
struct SorvaneReceiver {
    const SorvaneReceiverVtbl* lpVtbl;
};

/* The source the next StartNMEAReceiving starts. gpsd: host NULL or "" for
 * localhost (at most 255 bytes), port 0 for 2947. SORVANE_E_INVALIDARG for
 * another source or a port outside 0 to 65535. */
SORVANE_API SorvaneResult sorvane_receiver_set_source(SorvaneCtrl* control, int32_t source,
                                                      const char* host, int32_t port);
/* Each output may be NULL; host gets at most hostSize - 1 bytes. */
SORVANE_API SorvaneResult sorvane_receiver_get_source(SorvaneCtrl* control, int32_t* source,
                                                      char* host, size_t hostSize, int32_t* port);
/* Stopped while no receiver runs. */
SORVANE_API SorvaneResult sorvane_receiver_status(SorvaneCtrl* control,
                                                  SorvaneReceiverStatus* status);
/* The last fix of the running receiver; SORVANE_S_FALSE (and zeros) before its first. */
SORVANE_API SorvaneResult sorvane_receiver_last_fix(SorvaneCtrl* control, SorvaneFix* fix);
/* Every satellite in view, each once: *count gets how many there are, at
 * most capacity of them are copied (satellites may be NULL for capacity 0). */
SORVANE_API SorvaneResult sorvane_receiver_satellites(SorvaneCtrl* control,
                                                      SorvaneSatellite* satellites,
                                                      int32_t capacity, int32_t* count);
/* Receiver events to callback until disconnected; as sorvane_connect. */
SORVANE_API SorvaneResult sorvane_receiver_connect(SorvaneCtrl* control,
                                                   SorvaneReceiverCallback callback, void* user,
                                                   uint32_t* cookie);
SORVANE_API SorvaneResult sorvane_receiver_disconnect(SorvaneCtrl* control, uint32_t cookie);
/* "GPS", "GLONASS", "Galileo", "BeiDou", "QZSS", "NavIC", "SBAS" or "unknown". */
SORVANE_API const char* sorvane_constellation_name(int32_t constellation);

#ifdef __cplusplus
}
#endif

#endif /* SORVANE_H */
