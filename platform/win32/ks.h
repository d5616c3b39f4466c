// Kernel build: kernel-streaming records, constants and property tables from the platform's
// ks.h and ksmedia.h.
//
// The published headers declare each GUID as an external constant resolved from a static
// library. The driver builds its format, category and property tables as constant data
// (no code may run to initialise them in a driver image), so each GUID it names is redefined
// here as a constant expression from the headers' own STATIC_ initialisers.
#pragma once

#include "platform/win32/kernel.h"

// ksmedia.h names TCHAR in a record the driver never uses; the kernel is Unicode throughout.
typedef WCHAR TCHAR;

#include <ks.h>
#include <ksmedia.h>

// DirectShow's RGB24 subtype (uuids.h, a user-mode header): 24-bit BI_RGB pictures.
#ifndef STATIC_MEDIASUBTYPE_RGB24
#define STATIC_MEDIASUBTYPE_RGB24 \
    0xE436EB7DL, 0x524F, 0x11CE, 0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70
#endif
#ifndef STATIC_MEDIASUBTYPE_RGB32
#define STATIC_MEDIASUBTYPE_RGB32 \
    0xE436EB7EL, 0x524F, 0x11CE, 0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70
#endif

#define VEXACAM_CONSTANT_GUID(name) inline constexpr GUID VexacamConstantGuid_##name = {STATIC_##name}

VEXACAM_CONSTANT_GUID(KSDATAFORMAT_TYPE_VIDEO);
VEXACAM_CONSTANT_GUID(MEDIASUBTYPE_RGB24);
VEXACAM_CONSTANT_GUID(MEDIASUBTYPE_RGB32);
VEXACAM_CONSTANT_GUID(KSDATAFORMAT_SPECIFIER_VIDEOINFO);
VEXACAM_CONSTANT_GUID(KSCATEGORY_VIDEO);
VEXACAM_CONSTANT_GUID(KSCATEGORY_CAPTURE);
VEXACAM_CONSTANT_GUID(PINNAME_VIDEO_CAPTURE);
VEXACAM_CONSTANT_GUID(KSMEDIUMSETID_Standard);
VEXACAM_CONSTANT_GUID(KSPROPSETID_Connection);
VEXACAM_CONSTANT_GUID(KSPROPTYPESETID_General);
VEXACAM_CONSTANT_GUID(PROPSETID_VIDCAP_DROPPEDFRAMES);
VEXACAM_CONSTANT_GUID(PROPSETID_VIDCAP_VIDEOCONTROL);
VEXACAM_CONSTANT_GUID(PROPSETID_VIDCAP_VIDEOPROCAMP);

#undef KSDATAFORMAT_TYPE_VIDEO
#undef MEDIASUBTYPE_RGB24
#undef MEDIASUBTYPE_RGB32
#undef KSDATAFORMAT_SPECIFIER_VIDEOINFO
#undef KSCATEGORY_VIDEO
#undef KSCATEGORY_CAPTURE
#undef PINNAME_VIDEO_CAPTURE
#undef KSMEDIUMSETID_Standard
#undef KSPROPSETID_Connection
#undef KSPROPTYPESETID_General
#undef PROPSETID_VIDCAP_DROPPEDFRAMES
#undef PROPSETID_VIDCAP_VIDEOCONTROL
#undef PROPSETID_VIDCAP_VIDEOPROCAMP

#define KSDATAFORMAT_TYPE_VIDEO VexacamConstantGuid_KSDATAFORMAT_TYPE_VIDEO
#define MEDIASUBTYPE_RGB24 VexacamConstantGuid_MEDIASUBTYPE_RGB24
#define MEDIASUBTYPE_RGB32 VexacamConstantGuid_MEDIASUBTYPE_RGB32
#define KSDATAFORMAT_SPECIFIER_VIDEOINFO VexacamConstantGuid_KSDATAFORMAT_SPECIFIER_VIDEOINFO
#define KSCATEGORY_VIDEO VexacamConstantGuid_KSCATEGORY_VIDEO
#define KSCATEGORY_CAPTURE VexacamConstantGuid_KSCATEGORY_CAPTURE
#define PINNAME_VIDEO_CAPTURE VexacamConstantGuid_PINNAME_VIDEO_CAPTURE
#define KSMEDIUMSETID_Standard VexacamConstantGuid_KSMEDIUMSETID_Standard
#define KSPROPSETID_Connection VexacamConstantGuid_KSPROPSETID_Connection
#define KSPROPTYPESETID_General VexacamConstantGuid_KSPROPTYPESETID_General
#define PROPSETID_VIDCAP_DROPPEDFRAMES VexacamConstantGuid_PROPSETID_VIDCAP_DROPPEDFRAMES
#define PROPSETID_VIDCAP_VIDEOCONTROL VexacamConstantGuid_PROPSETID_VIDCAP_VIDEOCONTROL
#define PROPSETID_VIDCAP_VIDEOPROCAMP VexacamConstantGuid_PROPSETID_VIDCAP_VIDEOPROCAMP

// The published layouts the driver's format and property records rely on.
static_assert(sizeof(KSDATAFORMAT) == 64);
static_assert(sizeof(KS_VIDEOINFOHEADER) == 88);
static_assert(sizeof(KS_DATARANGE_VIDEO) == 296);
static_assert(sizeof(KS_DATAFORMAT_VIDEOINFOHEADER) == 152);
static_assert(sizeof(KSSTREAM_HEADER) == 48);
static_assert(sizeof(KS_FRAME_INFO) == 64);
static_assert(sizeof(KSPROPERTY) == 24);
static_assert(sizeof(KSPROPERTY_VIDEOPROCAMP_S) == 40);
static_assert(sizeof(KSPROPERTY_DROPPEDFRAMES_CURRENT_S) == 48);
static_assert(sizeof(KSALLOCATOR_FRAMING) == 24);
